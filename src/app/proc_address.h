// Typed lookup of an exported function, for entry points that may be missing on older systems.
#pragma once

#include <windows.h>

template <typename Fn>
Fn procAddress(HMODULE module, const char* name) {
    if (!module) return nullptr;
    // Through void* so that the cast between function types draws no warning.
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
