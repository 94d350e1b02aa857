// DDrawManager's off-screen surfaces and its explicit restore.

#include <cstring>

#include "diag/log.h"
#include "display/ddraw_manager_win32.h"
#include "display/ddraw_util_win32.h"

using ddraw_util::Expired;
using ddraw_util::Pause;
using ddraw_util::ZeroDesc;

bool DDrawManager::Restore() {
    // Restored memory may lie elsewhere: nothing is drawn through a recorded address
    // until GetBackBuffer has locked the buffer again.
    UnlockBackBuffer();
    stale[0] = stale[1] = true;
    if (primary == nullptr || primary->Restore() != DD_OK) {
        ErrorMsg("[DDrawManager::Restore] Unable to restore surfaces", LOG_ERROR);
        return false;
    }
    ClearRestored();
    ErrorMsg("[DDrawManager::Restore] Surfaces restored", LOG_INFO);
    return true;
}

int32_t DDrawManager::AddOffSurface(int32_t w, int32_t h) {
    if (!ready || offCount >= kMaxOffSurfaces) return -1;
    const int32_t index = offCount;
    if (!CreateOffSurface(index, w, h)) return -1;
    offWidths[index] = w;
    offHeights[index] = h;
    return index;
}

bool DDrawManager::CreateOffSurface(int32_t index, int32_t w, int32_t h) {
    if (!ready) return false;
    // The table is filled without gaps: a slot ahead of offCount would be overwritten by a
    // later AddOffSurface, one outside the table written past, one in use leaked.
    if (index < 0 || index > offCount || index >= kMaxOffSurfaces || offSurfaces[index] != nullptr) {
        ErrorMsg("[DDrawManager::CreateOffSurface] Invalid surface index", LOG_ERROR);
        return false;
    }
    IDirectDrawSurface*& surface = offSurfaces[index];
    ZeroDesc(offDesc);
    offDesc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    offDesc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    offDesc.dwHeight = static_cast<DWORD>(h);
    offDesc.dwWidth = static_cast<DWORD>(w);
    if (directDraw->CreateSurface(&offDesc, &surface, nullptr) != DD_OK) {
        surface = nullptr;
        ErrorMsg("[DDrawManager::CreateOffSurface] Unable to create surface", LOG_ERROR);
        return false;
    }
    ++offCount;

    DDCOLORKEY key;
    key.dwColorSpaceLowValue = key.dwColorSpaceHighValue = colorType == kColor555 ? kMagenta555 : kMagenta565;
    if (surface->SetColorKey(DDCKEY_SRCBLT, &key) != DD_OK) {
        ErrorMsg("[DDrawManager::CreateOffSurface] Unable to set color key", LOG_ERROR);
        return false;
    }

    DDSCAPS surfaceCaps;
    std::memset(&surfaceCaps, 0, sizeof surfaceCaps);
    const bool known = surface->GetCaps(&surfaceCaps) == DD_OK;
    if (known && (surfaceCaps.dwCaps & DDSCAPS_LOCALVIDMEM) != 0) {
        ErrorMsg("[DDrawManager::CreateOffSurface] Surface in local video memory", LOG_SPAM);
        return true;
    }
    surface->Release();
    surface = nullptr;
    --offCount;
    if (!known) {
        ErrorMsg("[DDrawManager::CreateOffSurface] Unable to get surface capabilities", LOG_ERROR);
    } else {
        ErrorMsg("[DDrawManager::CreateOffSurface] Offscreen surface not in video RAM -> Releasing surface", LOG_INFO);
    }
    return false;
}

bool DDrawManager::BltOffSurface(int32_t x, int32_t y, int32_t index) {
    if (!ready || index < 0 || index >= kMaxOffSurfaces || offSurfaces[index] == nullptr) return false;
    IDirectDrawSurface* surface = offSurfaces[index];
    RECT source = {0, 0, offWidths[index], offHeights[index]};
    // The device waits out a busy blitter itself (DDBLTFAST_WAIT); anything else is
    // retried for a while, not for ever: a blit that cannot succeed (a lost back buffer
    // before the next Present, a rectangle off the buffer) must not stop the caller.
    const DWORD start = GetTickCount();
    for (;;) {
        const HRESULT hr = backBuffer->BltFast(static_cast<DWORD>(x), static_cast<DWORD>(y), surface, &source,
                                               DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT);
        if (hr == DD_OK) return true;
        if (hr == DDERR_SURFACELOST && surface->IsLost() != DD_OK) surface->Restore();
        if (Expired(start, options.offWaitMs)) {
            ErrorMsg("[DDrawManager::BltOffSurface] Unable to blit surface", LOG_WARNING);
            return false;
        }
        Pause();
    }
}

// Locks the whole surface into offDesc, waiting while it is busy or still drawing,
// until offWaitMs after start.
HRESULT DDrawManager::LockOff(IDirectDrawSurface* surface, DWORD start) {
    for (;;) {
        ZeroDesc(offDesc);
        const HRESULT hr = surface->Lock(nullptr, &offDesc, 0, nullptr);
        if (hr != DDERR_SURFACEBUSY && hr != DDERR_WASSTILLDRAWING) return hr;
        if (Expired(start, options.offWaitMs)) {
            ErrorMsg("[DDrawManager::LockOffSurface] Unable to lock surface", LOG_WARNING);
            return hr;
        }
        Pause();
    }
}

const SurfaceInfo* DDrawManager::LockOffSurface(int32_t index) {
    if (!ready || offCount < 1 || index < 0 || index >= offCount) return nullptr;
    IDirectDrawSurface* surface = offSurfaces[index];
    if (surface == nullptr) return nullptr;
    ZeroDesc(offDesc);
    if (surface->IsLost() != DD_OK) surface->Restore();
    const DWORD start = GetTickCount();
    HRESULT hr = LockOff(surface, start);
    if (hr == DDERR_SURFACELOST) {
        if (surface->Restore() != DD_OK) return nullptr;
        hr = LockOff(surface, start);
    }
    if (hr != DD_OK) return nullptr;
    offLock.pixels = static_cast<uint16_t*>(offDesc.lpSurface);
    offLock.width = offWidths[index];
    offLock.height = offHeights[index];
    offLock.pitch = offDesc.lPitch / 2;
    return &offLock;
}

void DDrawManager::UnlockOffSurface(int32_t index) {
    if (!ready || offCount < 1 || index < 0 || index >= offCount || offSurfaces[index] == nullptr) return;
    offSurfaces[index]->Unlock(nullptr);
}

bool DDrawManager::IsBltBusy() { return backBuffer != nullptr && backBuffer->GetBltStatus(DDGBS_ISBLTDONE) != DD_OK; }

void DDrawManager::ClearBackBuffer() {
    if (!ready) return;
    if (locked) {
        // Held for this frame (lockEachFrame): the device refuses a fill of a locked
        // surface, so clear it through the lock.
        const SurfaceInfo& b = buffers[current];
        for (int32_t y = 0; y < b.height; ++y)
            std::memset(b.pixels + static_cast<std::ptrdiff_t>(y) * b.pitch, 0, static_cast<size_t>(b.width) * 2);
        return;
    }
    FillBackBuffer();
}
