#include "SleepHook.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <psapi.h>
#include <string>
#include <vector>

namespace sleephook {
namespace {

using LoadLibraryAFn = HMODULE(WINAPI*)(LPCSTR name);

std::atomic<SleepFn> routed{nullptr};
std::atomic<ClockFn> routedClock{nullptr};

HMODULE Kernel32() {
    return ::GetModuleHandleA("kernel32.dll");
}

SleepFn SystemSleep() {
    static const auto real =
        reinterpret_cast<SleepFn>(reinterpret_cast<void*>(::GetProcAddress(Kernel32(), "Sleep")));
    return real;
}

using TickCountFn = ULONGLONG(WINAPI*)();

// kernel32's own clock: the build's modules, this one included, read the routed one.
TickCountFn SystemTickCount() {
    static const auto real = reinterpret_cast<TickCountFn>(
        reinterpret_cast<void*>(::GetProcAddress(Kernel32(), "GetTickCount64")));
    return real;
}

LoadLibraryAFn SystemLoadLibraryA() {
    static const auto real = reinterpret_cast<LoadLibraryAFn>(
        reinterpret_cast<void*>(::GetProcAddress(Kernel32(), "LoadLibraryA")));
    return real;
}

std::mutex& PatchLock() {
    static std::mutex lock;
    return lock;
}

void WINAPI RoutedSleep(DWORD ms) {
    routed.load()(ms);
}

ULONGLONG WINAPI RoutedTickCount() {
    const ClockFn clock = routedClock.load();
    return clock ? clock() : SystemTickCount()();
}

void PatchAll();

HMODULE WINAPI LoadAndRoute(LPCSTR name) {
    HMODULE module = SystemLoadLibraryA()(name);
    if (module)
        PatchAll();
    return module;
}

// Modules of the system (below the Windows folder) keep their own Sleep.
bool IsSystemModule(HMODULE module) {
    char windowsDir[MAX_PATH] = {};
    char path[MAX_PATH] = {};
    UINT dirLength = ::GetWindowsDirectoryA(windowsDir, MAX_PATH);
    if (dirLength == 0 || dirLength >= MAX_PATH || !::GetModuleFileNameA(module, path, MAX_PATH))
        return true;
    return ::_strnicmp(path, windowsDir, dirLength) == 0;
}

void Replace(IMAGE_THUNK_DATA* slot, void* function) {
    DWORD previous = 0;
    if (!::VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &previous))
        return;
    slot->u1.Function = reinterpret_cast<ULONG_PTR>(function);
    ::VirtualProtect(slot, sizeof *slot, previous, &previous);
}

// Points the module's imports of kernel32's Sleep and LoadLibraryA at the routing ones.
void Patch(HMODULE module) {
    auto* base = reinterpret_cast<BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE)
        return;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0)
        return;
    for (auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         dll->Name != 0; ++dll) {
        if (::_stricmp(reinterpret_cast<const char*>(base + dll->Name), "kernel32.dll") != 0 ||
            dll->OriginalFirstThunk == 0)
            continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            const char* name = reinterpret_cast<const char*>(
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)
                    ->Name);
            if (std::strcmp(name, "Sleep") == 0)
                Replace(slots, reinterpret_cast<void*>(&RoutedSleep));
            else if (std::strcmp(name, "GetTickCount64") == 0)
                Replace(slots, reinterpret_cast<void*>(&RoutedTickCount));
            else if (std::strcmp(name, "LoadLibraryA") == 0)
                Replace(slots, reinterpret_cast<void*>(&LoadAndRoute));
        }
    }
}

void PatchAll() {
    std::lock_guard<std::mutex> lock(PatchLock());
    std::vector<HMODULE> modules(256);
    DWORD needed = 0;
    for (;;) {
        DWORD size = static_cast<DWORD>(modules.size() * sizeof(HMODULE));
        if (!::EnumProcessModules(::GetCurrentProcess(), modules.data(), size, &needed))
            return;
        if (needed <= size)
            break;
        modules.resize(needed / sizeof(HMODULE));
    }
    modules.resize(needed / sizeof(HMODULE));
    for (HMODULE module : modules)
        if (!IsSystemModule(module))
            Patch(module);
}

} // namespace

void RouteSleep(SleepFn replacement) {
    SystemSleep();
    SystemLoadLibraryA();
    routed.store(replacement);
    PatchAll();
}

void RouteClock(ClockFn replacement) {
    SystemTickCount();
    routedClock.store(replacement);
}

ULONGLONG RealTickCount() {
    return SystemTickCount()();
}

void RealSleep(DWORD ms) {
    SystemSleep()(ms);
}

} // namespace sleephook
