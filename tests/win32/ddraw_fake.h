#pragma once

// A DirectDraw double for the display manager. Any call can be made to fail by name
// ("SetDisplayMode", "back.Lock", "primary.Restore", ...), for a number of calls or for
// good; every call is traced. Surface memory moves on restore (filled with kFresh: its
// contents are undefined). Release only counts: the device owns every object, and a
// reference left over is a leak.

#include <windows.h>

#include <ddraw.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "display/ddraw_manager_win32.h"

#define FAKE_UNUSED(name, ...) \
    HRESULT STDMETHODCALLTYPE name(__VA_ARGS__) override { return E_NOTIMPL; }

namespace fake {

constexpr uint16_t kFresh = 0x1111;  // what restored memory holds: anything

inline std::string Hex(DWORD v) {
    char text[16];
    return std::string(text, snprintf(text, sizeof text, "0x%lx", static_cast<unsigned long>(v)));
}

struct Surface;

// The device is its own clipper too: references to either count as the device's.
struct Device : IDirectDraw, IDirectDrawClipper {
    Device() : previous(directDrawCreate) { installed = this, directDrawCreate = Create; }
    virtual ~Device() { directDrawCreate = previous; }
    static HRESULT WINAPI Create(GUID*, IDirectDraw** out, IUnknown*) {
        const HRESULT hr = installed->Call("DirectDrawCreate");
        if (hr == DD_OK) *out = installed, installed->AddRef();
        return hr;
    }
    // Fails the named call: the next `times` calls, or every call from now on (times < 0).
    void Fail(const std::string& call, HRESULT hr, int times = -1) {
        Arm([&] { failures[call] = {hr, times}; });
    }
    // Runs f under the device's lock: the test thread arms faults while a render thread draws.
    template <class F>
    void Arm(F f) {
        std::lock_guard<std::recursive_mutex> hold(lock);
        f();
    }
    int Shown() {
        std::lock_guard<std::recursive_mutex> hold(lock);
        return shown;
    }
    HRESULT Call(const std::string& name, const std::string& detail = "") {
        std::lock_guard<std::recursive_mutex> hold(lock);
        trace.push_back(detail.empty() ? name : name + "(" + detail + ")");
        auto it = failures.find(name);
        if (it == failures.end() || it->second.second == 0) return DD_OK;
        if (it->second.second > 0) --it->second.second;
        return it->second.first;
    }
    // The calls from the from-th on, separated by spaces.
    std::string Trace(size_t from = 0) {
        std::lock_guard<std::recursive_mutex> hold(lock);
        std::string out;
        for (size_t i = from; i < trace.size(); ++i) out += (i == from ? "" : " ") + trace[i];
        return out;
    }
    std::string Leaks() const;  // "name refs n; ..." for every reference not given back

    static inline Device* installed = nullptr;
    DirectDrawCreateProc previous;
    std::recursive_mutex lock;
    std::map<std::string, std::pair<HRESULT, int>> failures;
    std::vector<std::string> trace;
    DWORD greenMask = 0x07E0;
    DWORD offCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;  // of surfaces made next
    LONG refs = 0;
    int shown = 0;  // flips and window blits
    std::vector<std::unique_ptr<Surface>> surfaces;
    Surface* primary = nullptr;
    Surface* back = nullptr;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG STDMETHODCALLTYPE Release() override { return Call("Release", std::to_string(refs - 1)), --refs; }
    HRESULT STDMETHODCALLTYPE CreateClipper(DWORD, LPDIRECTDRAWCLIPPER* out, IUnknown*) override {
        const HRESULT hr = Call("CreateClipper");
        if (hr == DD_OK) *out = this, AddRef();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE SetHWnd(DWORD, HWND) override { return Call("clipper.SetHWnd"); }
    HRESULT STDMETHODCALLTYPE CreateSurface(LPDDSURFACEDESC d, LPDIRECTDRAWSURFACE* out, IUnknown*) override;
    HRESULT STDMETHODCALLTYPE FlipToGDISurface() override;
    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND, DWORD flags) override {
        return Call("SetCooperativeLevel", Hex(flags));
    }
    HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD w, DWORD h, DWORD bits) override {
        return Call("SetDisplayMode", std::to_string(w) + "x" + std::to_string(h) + "x" + std::to_string(bits));
    }
    // clang-format off
    FAKE_UNUSED(Compact) FAKE_UNUSED(CreatePalette, DWORD, LPPALETTEENTRY, LPDIRECTDRAWPALETTE*, IUnknown*)
    FAKE_UNUSED(DuplicateSurface, LPDIRECTDRAWSURFACE, LPDIRECTDRAWSURFACE*) FAKE_UNUSED(GetCaps, LPDDCAPS, LPDDCAPS)
    FAKE_UNUSED(EnumDisplayModes, DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMMODESCALLBACK)
    FAKE_UNUSED(EnumSurfaces, DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMSURFACESCALLBACK)
    FAKE_UNUSED(GetDisplayMode, LPDDSURFACEDESC) FAKE_UNUSED(GetFourCCCodes, LPDWORD, LPDWORD)
    FAKE_UNUSED(GetGDISurface, LPDIRECTDRAWSURFACE*) FAKE_UNUSED(GetMonitorFrequency, LPDWORD)
    FAKE_UNUSED(GetScanLine, LPDWORD) FAKE_UNUSED(GetVerticalBlankStatus, WINBOOL*) FAKE_UNUSED(Initialize, GUID*)
    FAKE_UNUSED(RestoreDisplayMode) FAKE_UNUSED(WaitForVerticalBlank, DWORD, HANDLE)
    FAKE_UNUSED(GetClipList, LPRECT, LPRGNDATA, LPDWORD) FAKE_UNUSED(GetHWnd, HWND*)
    FAKE_UNUSED(Initialize, LPDIRECTDRAW, DWORD) FAKE_UNUSED(IsClipListChanged, WINBOOL*)
    FAKE_UNUSED(SetClipList, LPRGNDATA, DWORD)
    // clang-format on
};

struct Surface : IDirectDrawSurface {
    Surface(Device& d, std::string n, int w, int h) : dev(d), name(std::move(n)), width(w), height(h), caps(d.offCaps) {
        mem.assign(static_cast<size_t>(Pitch()) * h, kFresh);
    }
    int Pitch() const { return width + 24; }
    bool Filled(uint16_t v) const {
        for (int y = 0; y < height; ++y)
            if (std::any_of(&mem[y * Pitch()], &mem[y * Pitch() + width], [v](uint16_t p) { return p != v; }))
                return false;
        return true;
    }
    void Relocate() {
        retired.push_back(std::move(mem));  // kept, so a stale address is a wrong one, not a crash
        mem.assign(static_cast<size_t>(Pitch()) * height, kFresh);
    }
    HRESULT Answer(const char* method, const std::string& detail = "") { return dev.Call(name + "." + method, detail); }

    Device& dev;
    std::string name;
    int width, height;
    std::vector<uint16_t> mem;
    std::vector<std::vector<uint16_t>> retired;
    LONG refs = 1;
    bool lost = false, locked = false, gdiAtBack = false;
    int flipBusy = 0;  // GetFlipStatus answers "still drawing" this many times
    DWORD caps;
    DDCOLORKEY key = {};
    Surface* attached = nullptr;  // the back buffer of a flip chain
    IDirectDrawClipper* clipper = nullptr;
    RECT lastDst = {};

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG STDMETHODCALLTYPE Release() override {
        if (--refs == 0 && clipper != nullptr) clipper->Release();
        return static_cast<ULONG>(refs);
    }
    HRESULT STDMETHODCALLTYPE Blt(LPRECT dst, LPDIRECTDRAWSURFACE src, LPRECT, DWORD flags, LPDDBLTFX fx) override;
    HRESULT STDMETHODCALLTYPE BltFast(DWORD, DWORD, LPDIRECTDRAWSURFACE src, LPRECT, DWORD) override {
        const HRESULT hr = Answer("BltFast");
        return lost || static_cast<Surface*>(src)->lost ? DDERR_SURFACELOST : hr;
    }
    HRESULT STDMETHODCALLTYPE Flip(LPDIRECTDRAWSURFACE, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetAttachedSurface(LPDDSCAPS, LPDIRECTDRAWSURFACE* out) override {
        const HRESULT hr = Answer("GetAttachedSurface");
        if (hr == DD_OK) *out = attached, attached->AddRef();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetBltStatus(DWORD) override { return Answer("GetBltStatus"); }
    HRESULT STDMETHODCALLTYPE GetCaps(LPDDSCAPS c) override {
        const HRESULT hr = Answer("GetCaps");
        if (hr == DD_OK) c->dwCaps = caps;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetFlipStatus(DWORD) override;
    HRESULT STDMETHODCALLTYPE GetSurfaceDesc(LPDDSURFACEDESC d) override {
        const HRESULT hr = Answer("GetSurfaceDesc");
        d->ddpfPixelFormat.dwRGBBitCount = dev.greenMask > 0x7FF ? 32 : 16;
        d->ddpfPixelFormat.dwGBitMask = dev.greenMask;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE IsLost() override {
        std::lock_guard<std::recursive_mutex> hold(dev.lock);
        return lost ? DDERR_SURFACELOST : DD_OK;
    }
    HRESULT STDMETHODCALLTYPE Lock(LPRECT, LPDDSURFACEDESC d, DWORD flags, HANDLE) override;
    HRESULT STDMETHODCALLTYPE Restore() override;
    HRESULT STDMETHODCALLTYPE SetClipper(LPDIRECTDRAWCLIPPER c) override {
        const HRESULT hr = Answer("SetClipper");
        if (hr == DD_OK) clipper = c, c->AddRef();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE SetColorKey(DWORD, LPDDCOLORKEY k) override {
        const HRESULT hr = Answer("SetColorKey");
        if (hr == DD_OK) key = *k;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Unlock(LPVOID) override {
        std::lock_guard<std::recursive_mutex> hold(dev.lock);
        Answer("Unlock");
        return locked ? (locked = false, DD_OK) : DDERR_NOTLOCKED;
    }
    // clang-format off
    FAKE_UNUSED(AddAttachedSurface, LPDIRECTDRAWSURFACE) FAKE_UNUSED(AddOverlayDirtyRect, LPRECT)
    FAKE_UNUSED(BltBatch, LPDDBLTBATCH, DWORD, DWORD) FAKE_UNUSED(DeleteAttachedSurface, DWORD, LPDIRECTDRAWSURFACE)
    FAKE_UNUSED(EnumAttachedSurfaces, LPVOID, LPDDENUMSURFACESCALLBACK) FAKE_UNUSED(GetClipper, LPDIRECTDRAWCLIPPER*)
    FAKE_UNUSED(EnumOverlayZOrders, DWORD, LPVOID, LPDDENUMSURFACESCALLBACK) FAKE_UNUSED(GetDC, HDC*)
    FAKE_UNUSED(GetColorKey, DWORD, LPDDCOLORKEY) FAKE_UNUSED(GetOverlayPosition, LPLONG, LPLONG)
    FAKE_UNUSED(GetPalette, LPDIRECTDRAWPALETTE*) FAKE_UNUSED(GetPixelFormat, LPDDPIXELFORMAT)
    FAKE_UNUSED(Initialize, LPDIRECTDRAW, LPDDSURFACEDESC) FAKE_UNUSED(ReleaseDC, HDC)
    FAKE_UNUSED(SetOverlayPosition, LONG, LONG) FAKE_UNUSED(SetPalette, LPDIRECTDRAWPALETTE)
    FAKE_UNUSED(UpdateOverlay, LPRECT, LPDIRECTDRAWSURFACE, LPRECT, DWORD, LPDDOVERLAYFX)
    FAKE_UNUSED(UpdateOverlayDisplay, DWORD) FAKE_UNUSED(UpdateOverlayZOrder, DWORD, LPDIRECTDRAWSURFACE)
    // clang-format on
};

}  // namespace fake
