// An impostor interface library that lacks one of the five link functions (the one named
// by LACKING_<name>). The link must refuse it before calling anything, so every function
// here aborts the test if it is reached.
#include <cstdlib>

// On Windows only what is marked is exported, as in the real library.
#ifdef _WIN32
#define IMPOSTOR_EXPORT __declspec(dllexport)
#else
#define IMPOSTOR_EXPORT
#endif

extern "C" {

#ifndef LACKING_KestravionUsbOpen
IMPOSTOR_EXPORT int KestravionUsbOpen() {
    std::abort();
}
#endif
#ifndef LACKING_KestravionUsbClose
IMPOSTOR_EXPORT int KestravionUsbClose() {
    std::abort();
}
#endif
#ifndef LACKING_KestravionExtInit
IMPOSTOR_EXPORT int KestravionExtInit() {
    std::abort();
}
#endif
#ifndef LACKING_KestravionExtCon
IMPOSTOR_EXPORT int KestravionExtCon() {
    std::abort();
}
#endif
#ifndef LACKING_KestravionExtSR
IMPOSTOR_EXPORT int KestravionExtSR(int, int, const char*, char*) {
    std::abort();
}
#endif
}
