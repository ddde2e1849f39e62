// An impostor interface library that lacks one of the five link functions (the one named
// by LACKING_<name>). The link must refuse it before calling anything, so every function
// here aborts the test if it is reached.
#include <cstdlib>

extern "C" {

#ifndef LACKING_KestravionUsbOpen
int KestravionUsbOpen() {
    std::abort();
}
#endif
#ifndef LACKING_KestravionUsbClose
int KestravionUsbClose() {
    std::abort();
}
#endif
#ifndef LACKING_KestravionExtInit
int KestravionExtInit() {
    std::abort();
}
#endif
#ifndef LACKING_KestravionExtCon
int KestravionExtCon() {
    std::abort();
}
#endif
#ifndef LACKING_KestravionExtSR
int KestravionExtSR(int, int, const char*, char*) {
    std::abort();
}
#endif
}
