#pragma once

// Small helpers shared by the display manager's source files.

#include <windows.h>

#include <ddraw.h>

#include <cstdint>
#include <cstring>

namespace ddraw_util {

// Retries give the device (and the rest of the machine) a moment instead of spinning.
inline void Pause() { Sleep(1); }

inline bool Expired(DWORD start, uint32_t timeoutMs) { return GetTickCount() - start >= timeoutMs; }

inline void ZeroDesc(DDSURFACEDESC& d) {
    std::memset(&d, 0, sizeof d);
    d.dwSize = sizeof d;
}

}  // namespace ddraw_util
