// The test double of libusb-1.0 (UsbDouble.cpp): what a test may ask it beyond libusb.
#pragma once

extern "C" {
// 1 while the kernel's serial driver holds the interface of the double's bridge `index`
// (as it does when a bridge is plugged in), 0 while it is detached.
int UsbDoubleKernelDriverAttached(int index);
}
