#pragma once

#include <windows.h>

#include <ddraw.h>

#include <atomic>
#include <cstdint>

#include "display/surface_info.h"

// Where the DirectDraw object comes from. Points at the system's DirectDrawCreate;
// tests put doubles of the DirectDraw interfaces behind it.
using DirectDrawCreateProc = HRESULT(WINAPI*)(GUID* driver, IDirectDraw** directDraw, IUnknown* outer);
extern DirectDrawCreateProc directDrawCreate;

// How long the manager keeps retrying before it gives up; tests shorten them.
struct DDrawOptions {
    // A lock or a presentation during set-up.
    uint32_t captureTimeoutMs = 2000;
    // A flip or a lock before the render thread skips the frame.
    uint32_t frameWaitMs = 100;
    // An off-screen blit or lock.
    uint32_t offWaitMs = 100;
    // Lock the back buffer for every frame instead of drawing through recorded addresses
    // (set-up switches it on by itself when the memory moves between two locks).
    bool lockEachFrame = false;
};

// Owns everything the program holds of DirectDraw: the DirectDraw object, the primary
// surface, the back buffer (flip chain full-screen, off-screen surface windowed), the
// clipper of the windowed mode and the off-screen surface table.
//
// Frames are drawn straight into the back buffer's memory: its address is learnt by a
// lock at set-up, and learnt again after any restore, since restored memory may lie
// elsewhere. Where memory may only be touched while locked (lockEachFrame), the back
// buffer is locked by GetBackBuffer and unlocked by Present instead.
class DDrawManager {
public:
    static constexpr int kMaxOffSurfaces = 200;

    explicit DDrawManager(const DDrawOptions& options = DDrawOptions());
    ~DDrawManager();
    DDrawManager(const DDrawManager&) = delete;
    DDrawManager& operator=(const DDrawManager&) = delete;

    // The whole set-up; false (after logging why) on any failure, leaving what was
    // acquired for the destructor.
    bool CreateDirectDraw(HWND window, int32_t width, int32_t height, bool fullScreen);
    ColorType GetColorType() const { return colorType; }
    // Set-up switched the display mode; the destructor puts the desktop's back.
    bool DisplayModeSet() const { return displayModeSet != 0; }
    int32_t OffCount() const { return offCount; }
    // The visible surface, for looking at its pixels; owned by the manager.
    IDirectDrawSurface* PrimarySurface() const { return primary; }
    // Makes the desktop's own surface the visible one. Full-screen that may flip the chain
    // without a Present, so the next GetBackBuffer learns the buffers' memory again.
    void FlipToGDI();

    // The buffer to draw into, or nothing while not ready or while its memory cannot be
    // reached this frame (a flip that does not finish, a surface that will not lock or
    // restore). A lost chain is restored here, so frames can flow without a Present.
    const SurfaceInfo* GetBackBuffer();
    // 0 when the frame was shown, 1 when the call must be repeated.
    int32_t Present();

    // Restores the primary surface (full-screen: the whole flip chain). The recorded
    // buffer addresses are learnt again by the next GetBackBuffer. Call it from the
    // thread that draws, or while that thread is paused.
    bool Restore();

    // Off-screen surfaces in the card's local video memory with a magenta source colour
    // key, copied onto the back buffer by the hardware. AddOffSurface returns the new
    // surface's index, or -1. CreateOffSurface fills the next free slot (offCount) only.
    int32_t AddOffSurface(int32_t width, int32_t height);
    bool CreateOffSurface(int32_t index, int32_t width, int32_t height);
    // Copies the whole surface to (x, y) on the back buffer, leaving out its magenta
    // pixels. A lost surface is restored (its pixels are then undefined). False when the
    // index is not a surface, and (logged) when the copy still fails after offWaitMs.
    bool BltOffSurface(int32_t x, int32_t y, int32_t index);
    // Locks the surface and describes its memory (the description is the manager's and
    // changes with every lock); nothing when the index is not a surface in use or it
    // cannot be locked within offWaitMs. The surface stays locked until UnlockOffSurface.
    const SurfaceInfo* LockOffSurface(int32_t index);
    void UnlockOffSurface(int32_t index);
    // True while a blit onto the back buffer is still running.
    bool IsBltBusy();
    // Fills the back buffer with black.
    void ClearBackBuffer();

private:
    bool CaptureBuffers();
    HRESULT LockOff(IDirectDrawSurface* surface, DWORD start);
    bool PresentUntilShown();
    HRESULT LockBackBuffer(uint32_t timeoutMs, bool restoreLost, DWORD flags = 0);
    void RecordLocked();
    void UnlockBackBuffer();
    bool WaitForFlip();
    void RestoreLost();
    void FillBackBuffer();
    void ClearRestored();
    int32_t PresentFullScreen();
    int32_t PresentWindowed();

    const DDrawOptions options;
    bool lockEachFrame_;
    bool ready = false;  // set once CreateDirectDraw has captured the buffers
    uint8_t fullScreen = 0;
    int32_t width = 0;
    int32_t height = 0;
    ColorType colorType = kColor555;
    SurfaceInfo buffers[2];
    SurfaceInfo offLock;
    int32_t current = 0;
    IDirectDraw* directDraw = nullptr;
    IDirectDrawSurface* primary = nullptr;
    IDirectDrawSurface* backBuffer = nullptr;
    DDSURFACEDESC desc;
    DDSCAPS caps;
    int32_t offCount = 0;
    IDirectDrawSurface* offSurfaces[kMaxOffSurfaces] = {};
    DDSURFACEDESC offDesc;
    int32_t offWidths[kMaxOffSurfaces] = {};
    int32_t offHeights[kMaxOffSurfaces] = {};
    IDirectDrawClipper* clipper = nullptr;
    int32_t desktopWidth = 0;
    int32_t desktopHeight = 0;
    int32_t desktopBits = 0;
    uint8_t displayModeSet = 0;
    HWND window = nullptr;
    // buffers[i] may no longer describe the surface's memory (after a loss or restore).
    bool stale[2] = {true, true};
    // GetBackBuffer left the back buffer locked (lockEachFrame); Present unlocks it.
    bool locked = false;
    // Set by FlipToGDI on the window's thread, taken by the next GetBackBuffer.
    std::atomic<bool> gdiFlipped{false};
};
