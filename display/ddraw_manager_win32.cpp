#include "display/ddraw_manager_win32.h"

#include <cstring>

#include "diag/log.h"
#include "display/ddraw_util_win32.h"
#include "display/glyph_blitter.h"

DirectDrawCreateProc directDrawCreate = DirectDrawCreate;

namespace {

using ddraw_util::Expired;
using ddraw_util::Pause;
using ddraw_util::ZeroDesc;

template <class T>
void ReleaseAndClear(T*& p) {
    if (p != nullptr) {
        p->Release();
        p = nullptr;
    }
}

}  // namespace

DDrawManager::DDrawManager(const DDrawOptions& opts) : options(opts), lockEachFrame_(opts.lockEachFrame) {
    ZeroDesc(desc);
    ZeroDesc(offDesc);
    std::memset(&caps, 0, sizeof caps);
    HWND desktop = GetDesktopWindow();
    HDC dc = GetDC(desktop);
    if (dc != nullptr) {
        desktopWidth = GetDeviceCaps(dc, HORZRES);
        desktopHeight = GetDeviceCaps(dc, VERTRES);
        desktopBits = GetDeviceCaps(dc, BITSPIXEL);
        ReleaseDC(desktop, dc);
    }
}

DDrawManager::~DDrawManager() {
    if (directDraw == nullptr) return;
    UnlockBackBuffer();
    for (IDirectDrawSurface*& s : offSurfaces) ReleaseAndClear(s);
    ReleaseAndClear(backBuffer);
    ReleaseAndClear(primary);
    ReleaseAndClear(clipper);
    if (fullScreen) directDraw->SetDisplayMode(desktopWidth, desktopHeight, desktopBits);
    ReleaseAndClear(directDraw);
}

bool DDrawManager::CreateDirectDraw(HWND win, int32_t w, int32_t h, bool full) {
    window = win;
    fullScreen = full ? 1 : 0;
    width = w;
    height = h;

    if (directDrawCreate(nullptr, &directDraw, nullptr) != DD_OK) {
        directDraw = nullptr;
        ErrorMsg(
            "Unable to initialize DirectDraw.\n\nMake sure you have DirectX installed, or go to\n"
            "http://www.microsoft.com/directx and download the latest version",
            LOG_ERROR);
        return false;
    }

    const DWORD level = fullScreen ? DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT : DDSCL_NORMAL;
    if (directDraw->SetCooperativeLevel(window, level) != DD_OK) {
        ErrorMsg("[DDrawManager::CreateDirectDraw] Unable to set Cooperative Mode", LOG_ERROR);
        return false;
    }

    if (fullScreen) {
        displayModeSet = 1;
        if (directDraw->SetDisplayMode(width, height, 16) != DD_OK) {
            displayModeSet = 0;
            ErrorMsg("Unable to set display mode. Try a diffrent resolution setting", LOG_ERROR);
            return false;
        }
    }

    ZeroDesc(desc);
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    if (fullScreen) {
        desc.dwFlags |= DDSD_BACKBUFFERCOUNT;
        desc.ddsCaps.dwCaps |= DDSCAPS_FLIP | DDSCAPS_COMPLEX;
        desc.dwBackBufferCount = 1;
    }
    if (directDraw->CreateSurface(&desc, &primary, nullptr) != DD_OK) {
        primary = nullptr;
        ErrorMsg("[DDrawManager::CreateDirectDraw] Unable to create primary surface", LOG_ERROR);
        return false;
    }

    ZeroDesc(desc);
    desc.dwFlags = DDSD_PIXELFORMAT;
    if (primary->GetSurfaceDesc(&desc) != DD_OK) {
        ErrorMsg("[DDrawManager::CreateDirectDraw] Unable to get pixel format", LOG_ERROR);
        return false;
    }
    switch (desc.ddpfPixelFormat.dwGBitMask >> 5) {
        case 0x1F:
            colorType = kColor555;
            ErrorMsg("[DDrawManager::CreateDirectDraw] Color type 5x5x5 detected", LOG_SPAM);
            break;
        case 0x3F:
            colorType = kColor565;
            ErrorMsg("[DDrawManager::CreateDirectDraw] Color type 5x6x5 detected", LOG_SPAM);
            break;
        default:
            ErrorMsg("[DDrawManager::CreateDirectDraw] Color mode not supported", LOG_PANIC);
            return false;
    }
    ::colorType = colorType;

    if (!fullScreen) {
        if (directDraw->CreateClipper(0, &clipper, nullptr) != DD_OK) {
            clipper = nullptr;
            ErrorMsg("[DDrawManager::CreateDirectDraw] Unable to create Clipper object", LOG_ERROR);
            return false;
        }
        if (clipper->SetHWnd(0, window) != DD_OK) {
            ErrorMsg("[DDrawManager::CreateDirectDraw] Clipper not assigned to hWnd", LOG_ERROR);
            return false;
        }
        if (primary->SetClipper(clipper) != DD_OK) {
            ErrorMsg("[DDrawManager::CreateDirectDraw] Clipper not set on primary surface", LOG_ERROR);
            return false;
        }
    }

    if (fullScreen) {
        std::memset(&caps, 0, sizeof caps);
        caps.dwCaps = DDSCAPS_BACKBUFFER;
        if (primary->GetAttachedSurface(&caps, &backBuffer) != DD_OK) {
            backBuffer = nullptr;
            ErrorMsg("[DDrawManager::CreateDirectDraw] Unable to create BackBuffer surface", LOG_ERROR);
            return false;
        }
    } else {
        ZeroDesc(desc);
        desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
        desc.dwWidth = width;
        desc.dwHeight = height;
        if (directDraw->CreateSurface(&desc, &backBuffer, nullptr) != DD_OK) {
            backBuffer = nullptr;
            ErrorMsg("[DDrawManager::CreateDirectDraw] Unable to create BackBuffer surface (not fullscreen)",
                     LOG_ERROR);
            return false;
        }
    }

    current = 0;
    if (!CaptureBuffers()) return false;
    ready = true;
    return true;
}

// Records both flip buffers' memory and clears both to black; full-screen, the four
// flips bring current back to 0. Gives up, logged, when the device keeps refusing.
bool DDrawManager::CaptureBuffers() {
    for (int pass = 0; pass < 2; ++pass) {
        const uint16_t* before = buffers[current].pixels;
        if (LockBackBuffer(options.captureTimeoutMs, true) != DD_OK) {
            ErrorMsg("[DDrawManager::CreateDirectDraw] Unable to lock BackBuffer surface", LOG_ERROR);
            return false;
        }
        RecordLocked();
        // Windowed, the one buffer is locked twice: if its memory moved in between, a
        // recorded address cannot be trusted and every frame is drawn under a lock.
        if (!fullScreen && pass == 1 && !lockEachFrame_ && buffers[current].pixels != before) {
            lockEachFrame_ = true;
            ErrorMsg("[DDrawManager::CreateDirectDraw] BackBuffer memory moves, locking it for every frame", LOG_INFO);
        }
        if (!lockEachFrame_) UnlockBackBuffer();
        if (!PresentUntilShown()) return false;
    }
    for (int pass = 0; pass < 2; ++pass) {
        FillBackBuffer();
        if (!PresentUntilShown()) return false;
    }
    return true;
}

void DDrawManager::FillBackBuffer() {
    if (backBuffer == nullptr) return;
    DDBLTFX fx;
    std::memset(&fx, 0, sizeof fx);
    fx.dwSize = sizeof fx;
    fx.dwFillColor = 0;
    backBuffer->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
}

// Restored memory holds anything: black is shown rather than that, should a presentation
// come before the next frame is drawn. Windowed, the primary is the desktop's and is left
// alone; full-screen both memories of the chain are cleared.
void DDrawManager::ClearRestored() {
    FillBackBuffer();
    if (!fullScreen) return;
    DDBLTFX fx;
    std::memset(&fx, 0, sizeof fx);
    fx.dwSize = sizeof fx;
    primary->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
}

bool DDrawManager::PresentUntilShown() {
    const DWORD start = GetTickCount();
    while (Present() != 0) {
        if (Expired(start, options.captureTimeoutMs)) {
            ErrorMsg("[DDrawManager::CreateDirectDraw] Unable to present BackBuffer surface", LOG_ERROR);
            return false;
        }
        Pause();
    }
    return true;
}

// Locks the whole back buffer into desc. A flip in progress or a busy surface is waited
// for; a lost surface is restored when restoreLost is set (set-up), otherwise reported
// so that the next Present restores it.
HRESULT DDrawManager::LockBackBuffer(uint32_t timeoutMs, bool restoreLost, DWORD flags) {
    const DWORD start = GetTickCount();
    for (;;) {
        ZeroDesc(desc);
        const HRESULT hr = backBuffer->Lock(nullptr, &desc, flags, nullptr);
        if (hr == DD_OK) {
            locked = true;
            return hr;
        }
        if (hr == DDERR_SURFACELOST) {
            if (!restoreLost) return hr;
            RestoreLost();
        } else if (!restoreLost && hr != DDERR_WASSTILLDRAWING && hr != DDERR_SURFACEBUSY) {
            return hr;
        }
        if (Expired(start, timeoutMs)) return hr;
        Pause();
    }
}

void DDrawManager::RecordLocked() {
    SurfaceInfo& b = buffers[current];
    b.pixels = static_cast<uint16_t*>(desc.lpSurface);
    b.width = width;
    b.height = height;
    b.pitch = desc.lPitch / 2;
    stale[current] = false;
}

void DDrawManager::UnlockBackBuffer() {
    if (!locked) return;
    locked = false;
    if (backBuffer != nullptr) backBuffer->Unlock(desc.lpSurface);
}

void DDrawManager::FlipToGDI() {
    if (directDraw == nullptr) return;
    directDraw->FlipToGDISurface();
    gdiFlipped.store(true);
}

// False when the previous flip is still being shown after frameWaitMs.
bool DDrawManager::WaitForFlip() {
    const DWORD start = GetTickCount();
    while (backBuffer->GetFlipStatus(DDGFS_ISFLIPDONE) == DDERR_WASSTILLDRAWING) {
        if (Expired(start, options.frameWaitMs)) return false;
        Pause();
    }
    return true;
}

const SurfaceInfo* DDrawManager::GetBackBuffer() {
    if (!ready) return nullptr;
    UnlockBackBuffer();  // a frame abandoned before its Present
    // When the desktop's memory was at the back, FlipToGDI flipped the chain: current no
    // longer names the buffer at the back.
    if (gdiFlipped.exchange(false)) stale[0] = stale[1] = true;
    if (!WaitForFlip()) return nullptr;
    // A lost surface's memory may already serve someone else: restore it here, since
    // nothing is presented while nothing can be drawn, and learn the address again.
    if (backBuffer->IsLost() != DD_OK) {
        RestoreLost();
        if (backBuffer->IsLost() != DD_OK) return nullptr;
    }
    if (lockEachFrame_ || stale[current]) {
        // A lock held for a whole frame must not take the system-wide lock with it: a
        // frame abandoned on a pause keeps it until the next one.
        if (LockBackBuffer(options.frameWaitMs, false, lockEachFrame_ ? DDLOCK_NOSYSLOCK : 0) != DD_OK) return nullptr;
        RecordLocked();
        if (!lockEachFrame_) UnlockBackBuffer();
    }
    return &buffers[current];
}

// A restored surface may have new memory: every recorded address becomes suspect.
// Full-screen the back buffer belongs to the primary's flip chain, which the platform
// restores only as a whole, through the primary.
void DDrawManager::RestoreLost() {
    stale[0] = stale[1] = true;
    if (primary->Restore() != DD_OK) return;
    if (!fullScreen) backBuffer->Restore();
    ClearRestored();
}

int32_t DDrawManager::Present() {
    UnlockBackBuffer();
    return fullScreen ? PresentFullScreen() : PresentWindowed();
}

int32_t DDrawManager::PresentFullScreen() {
    HRESULT hr = backBuffer->GetFlipStatus(DDGFS_ISFLIPDONE);
    if (hr != DD_OK) {
        if (hr == DDERR_SURFACELOST) RestoreLost();
        return 1;
    }
    hr = primary->Flip(nullptr, 0);
    if (hr == DD_OK) {
        current = (current + 1) % 2;
        return 0;
    }
    if (hr == DDERR_SURFACELOST) RestoreLost();
    return 1;
}

int32_t DDrawManager::PresentWindowed() {
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    RECT dst = {origin.x, origin.y, origin.x + width, origin.y + height};
    RECT src = {0, 0, width, height};
    const HRESULT hr = primary->Blt(&dst, backBuffer, &src, 0, nullptr);
    if (hr == DD_OK) return 0;
    if (hr == DDERR_SURFACELOST) RestoreLost();
    return 1;
}
