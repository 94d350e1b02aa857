#pragma once

// Test doubles of the DirectDraw interfaces the display manager uses. Each answer can be
// scripted; every call is written to a shared trace; surface memory moves on restore and
// the memory it leaves is poisoned, so a draw through an old address shows up later.
// The fixture owns the doubles: Release only counts, so a leak or an extra release is a
// reference count that does not end at 0.

#include <windows.h>

#include <ddraw.h>

#include "display/ddraw_manager_win32.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace fakes {

constexpr uint16_t kPoison = 0xBAD0;

struct Trace {
    std::vector<std::string> calls;
    void Add(const std::string& s) { calls.push_back(s); }
};

std::string Hex(DWORD v);

// Next scripted answer, or the standing one when the script has run out.
struct Script {
    std::deque<HRESULT> next;
    HRESULT standing = DD_OK;
    HRESULT Take() {
        if (next.empty()) return standing;
        const HRESULT hr = next.front();
        next.pop_front();
        return hr;
    }
};

class FakeClipper;

class FakeSurface : public IDirectDrawSurface {
public:
    FakeSurface(Trace& trace, std::string name, int width, int height, int pitchPixels, DWORD greenMask);

    // Memory the surface uses now; older blocks stay allocated, poisoned, for checks.
    uint16_t* Memory() { return blocks_.back().data(); }
    bool RetiredBlocksIntact() const;
    int Blocks() const { return static_cast<int>(blocks_.size()); }
    void Relocate();                      // as a restore may do
    void SwapMemory(FakeSurface& other);  // what a flip does to the chain's two surfaces

    std::string name;
    Trace& trace;
    int width, height, pitch;
    DWORD greenMask;
    LONG refs = 1;
    bool usedAfterRelease = false;
    bool lost = false;
    bool isLocked = false;
    // Surface memory may only be touched while locked: a change seen between an unlock
    // and the next lock, flip or blit counts as a violation.
    bool strictLocking = false;
    bool touchedWhileUnlocked = false;
    // Part of a flip chain but not its primary: Restore is refused, as the platform does.
    bool implicitlyCreated = false;
    // Memory moves whenever the surface is unlocked (the old block is poisoned).
    bool relocateOnUnlock = false;
    int flipBusyPolls = 0;            // GetFlipStatus answers "still drawing" this many more times
    bool gdiAtBack = false;           // primary of a chain: the desktop's memory is at the back
    FakeSurface* attached = nullptr;  // back buffer of a flip chain
    FakeSurface* chainPrimary = nullptr;
    FakeClipper* clipper = nullptr;
    Script lockScript, flipStatusScript, flipScript, bltScript, restoreScript, descScript, attachScript,
        setClipperScript;
    int locks = 0, unlocks = 0, flips = 0, restores = 0, blts = 0;
    RECT lastBltDst = {};
    bool lastBltHadDst = false;
    // timeGetTime of every flip and every blit into a window, and of every flip-status
    // poll (the start of a frame); read them once the drawing thread has ended.
    std::vector<DWORD> shownAt;
    std::vector<DWORD> flipPolledAt;
    std::atomic<int> shown{0};

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDirectDrawSurface: what the manager uses
    HRESULT STDMETHODCALLTYPE Blt(LPRECT dst, LPDIRECTDRAWSURFACE src, LPRECT srcRect, DWORD flags,
                                  LPDDBLTFX fx) override;
    HRESULT STDMETHODCALLTYPE Flip(LPDIRECTDRAWSURFACE target, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE GetAttachedSurface(LPDDSCAPS caps, LPDIRECTDRAWSURFACE* out) override;
    HRESULT STDMETHODCALLTYPE GetFlipStatus(DWORD flags) override;
    HRESULT STDMETHODCALLTYPE GetSurfaceDesc(LPDDSURFACEDESC desc) override;
    HRESULT STDMETHODCALLTYPE IsLost() override { return lost ? DDERR_SURFACELOST : DD_OK; }
    HRESULT STDMETHODCALLTYPE Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags, HANDLE event) override;
    HRESULT STDMETHODCALLTYPE Restore() override;
    HRESULT STDMETHODCALLTYPE SetClipper(LPDIRECTDRAWCLIPPER clipper) override;
    HRESULT STDMETHODCALLTYPE Unlock(LPVOID data) override;
    // the rest is never called
    HRESULT STDMETHODCALLTYPE AddAttachedSurface(LPDIRECTDRAWSURFACE) override { return Unused("AddAttached"); }
    HRESULT STDMETHODCALLTYPE AddOverlayDirtyRect(LPRECT) override { return Unused("AddOverlayDirtyRect"); }
    HRESULT STDMETHODCALLTYPE BltBatch(LPDDBLTBATCH, DWORD, DWORD) override { return Unused("BltBatch"); }
    HRESULT STDMETHODCALLTYPE BltFast(DWORD, DWORD, LPDIRECTDRAWSURFACE, LPRECT, DWORD) override {
        return Unused("BltFast");
    }
    HRESULT STDMETHODCALLTYPE DeleteAttachedSurface(DWORD, LPDIRECTDRAWSURFACE) override {
        return Unused("DeleteAttachedSurface");
    }
    HRESULT STDMETHODCALLTYPE EnumAttachedSurfaces(LPVOID, LPDDENUMSURFACESCALLBACK) override {
        return Unused("EnumAttachedSurfaces");
    }
    HRESULT STDMETHODCALLTYPE EnumOverlayZOrders(DWORD, LPVOID, LPDDENUMSURFACESCALLBACK) override {
        return Unused("EnumOverlayZOrders");
    }
    HRESULT STDMETHODCALLTYPE GetBltStatus(DWORD) override { return Unused("GetBltStatus"); }
    HRESULT STDMETHODCALLTYPE GetCaps(LPDDSCAPS) override { return Unused("GetCaps"); }
    HRESULT STDMETHODCALLTYPE GetClipper(LPDIRECTDRAWCLIPPER*) override { return Unused("GetClipper"); }
    HRESULT STDMETHODCALLTYPE GetColorKey(DWORD, LPDDCOLORKEY) override { return Unused("GetColorKey"); }
    HRESULT STDMETHODCALLTYPE GetDC(HDC*) override { return Unused("GetDC"); }
    HRESULT STDMETHODCALLTYPE GetOverlayPosition(LPLONG, LPLONG) override { return Unused("GetOverlayPosition"); }
    HRESULT STDMETHODCALLTYPE GetPalette(LPDIRECTDRAWPALETTE*) override { return Unused("GetPalette"); }
    HRESULT STDMETHODCALLTYPE GetPixelFormat(LPDDPIXELFORMAT) override { return Unused("GetPixelFormat"); }
    HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTDRAW, LPDDSURFACEDESC) override { return Unused("Initialize"); }
    HRESULT STDMETHODCALLTYPE ReleaseDC(HDC) override { return Unused("ReleaseDC"); }
    HRESULT STDMETHODCALLTYPE SetColorKey(DWORD, LPDDCOLORKEY) override { return Unused("SetColorKey"); }
    HRESULT STDMETHODCALLTYPE SetOverlayPosition(LONG, LONG) override { return Unused("SetOverlayPosition"); }
    HRESULT STDMETHODCALLTYPE SetPalette(LPDIRECTDRAWPALETTE) override { return Unused("SetPalette"); }
    HRESULT STDMETHODCALLTYPE UpdateOverlay(LPRECT, LPDIRECTDRAWSURFACE, LPRECT, DWORD, LPDDOVERLAYFX) override {
        return Unused("UpdateOverlay");
    }
    HRESULT STDMETHODCALLTYPE UpdateOverlayDisplay(DWORD) override { return Unused("UpdateOverlayDisplay"); }
    HRESULT STDMETHODCALLTYPE UpdateOverlayZOrder(DWORD, LPDIRECTDRAWSURFACE) override {
        return Unused("UpdateOverlayZOrder");
    }

private:
    HRESULT Unused(const char* what);
    void Call(const std::string& what);
    void CheckUntouched();
    std::vector<std::vector<uint16_t>> blocks_;
    std::vector<uint16_t> snapshot_;
};

class FakeClipper : public IDirectDrawClipper {
public:
    explicit FakeClipper(Trace& t) : trace(t) {}
    Trace& trace;
    LONG refs = 1;
    bool usedAfterRelease = false;
    Script setHWndScript;
    HWND window = nullptr;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE SetHWnd(DWORD flags, HWND hwnd) override;
    HRESULT STDMETHODCALLTYPE GetClipList(LPRECT, LPRGNDATA, LPDWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetHWnd(HWND*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTDRAW, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsClipListChanged(WINBOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetClipList(LPRGNDATA, DWORD) override { return E_NOTIMPL; }
};

class FakeDirectDraw : public IDirectDraw {
public:
    FakeDirectDraw() = default;
    ~FakeDirectDraw();

    Trace trace;
    LONG refs = 0;  // DirectDrawCreate hands out the first reference
    bool usedAfterRelease = false;
    DWORD greenMask = 0x07E0;
    int pitchExtra = 24;  // pixels beyond the width in every row
    Script createScript, coopScript, modeScript, primaryScript, backScript, clipperScript;
    int flipToGdiCalls = 0;
    // Created objects, owned here; primary()/back() find them.
    std::vector<std::unique_ptr<FakeSurface>> surfaces;
    std::vector<std::unique_ptr<FakeClipper>> clippers;
    FakeSurface* primary = nullptr;
    FakeSurface* back = nullptr;
    // Called on every surface and clipper as it is made, to arm faults on objects that
    // only exist once set-up is under way.
    std::function<void(FakeSurface&)> surfaceSetUp;
    std::function<void(FakeClipper&)> clipperSetUp;

    // Every object this double gave out has been released as often as it was acquired.
    std::string Leaks() const;
    bool AnyUsedAfterRelease() const;

    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    HRESULT STDMETHODCALLTYPE CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* out, IUnknown*) override;
    HRESULT STDMETHODCALLTYPE CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* out, IUnknown*) override;
    HRESULT STDMETHODCALLTYPE FlipToGDISurface() override;
    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD w, DWORD h, DWORD bpp) override;
    HRESULT STDMETHODCALLTYPE Compact() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreatePalette(DWORD, LPPALETTEENTRY, LPDIRECTDRAWPALETTE*, IUnknown*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DuplicateSurface(LPDIRECTDRAWSURFACE, LPDIRECTDRAWSURFACE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumDisplayModes(DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMMODESCALLBACK) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE EnumSurfaces(DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMSURFACESCALLBACK) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetCaps(LPDDCAPS, LPDDCAPS) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDisplayMode(LPDDSURFACEDESC) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetFourCCCodes(LPDWORD, LPDWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetGDISurface(LPDIRECTDRAWSURFACE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMonitorFrequency(LPDWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetScanLine(LPDWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetVerticalBlankStatus(WINBOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Initialize(GUID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RestoreDisplayMode() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE WaitForVerticalBlank(DWORD, HANDLE) override { return E_NOTIMPL; }
};

// Installs device as what directDrawCreate hands out, for the life of the object.
// Nested installs unwind in order: each restores what it replaced.
class UseFakeDirectDraw {
public:
    explicit UseFakeDirectDraw(FakeDirectDraw& device);
    ~UseFakeDirectDraw();
    UseFakeDirectDraw(const UseFakeDirectDraw&) = delete;
    UseFakeDirectDraw& operator=(const UseFakeDirectDraw&) = delete;

private:
    DirectDrawCreateProc previousCreate_;
    FakeDirectDraw* previousDevice_;
};

}  // namespace fakes
