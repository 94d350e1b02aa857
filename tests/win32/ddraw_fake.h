#pragma once

// A DirectDraw double. Any call can fail by name ("back.Lock", ...), for a number of calls or for good;
// calls are traced. Restored memory moves. The device owns every object: a reference left over is a leak.

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

struct Surface;
using Hold = std::lock_guard<std::recursive_mutex>;

// The device is its own clipper too: references to either count as the device's.
struct Device : IDirectDraw, IDirectDrawClipper {
    Device() : previous(directDrawCreate) { installed = this, directDrawCreate = Create; }
    virtual ~Device() { directDrawCreate = previous; }
    static HRESULT WINAPI Create(GUID*, IDirectDraw** out, IUnknown*) {
        return installed->CallThen("DirectDrawCreate", [&] { *out = installed, installed->AddRef(); });
    }
    // Fails the named call: the next `times` calls, or every call from now on (times < 0).
    void Fail(const std::string& call, HRESULT hr, int times = -1) {
        Arm([&] { failures[call] = {hr, times}; });
    }
    // Runs f under the device's lock: the test thread arms faults while a render thread draws.
    template <class F>
    void Arm(F f) {
        Hold hold(lock);
        f();
    }
    int Shown() {
        Hold hold(lock);
        return shown;
    }
    HRESULT Call(const std::string& name, const std::string& detail = "") {
        Hold hold(lock);
        trace.push_back(detail.empty() ? name : name + "(" + detail + ")");
        auto it = failures.find(name);
        if (it == failures.end() || it->second.second == 0) return DD_OK;
        if (it->second.second > 0) --it->second.second;
        return it->second.first;
    }
    // The call's answer; f runs when it is DD_OK.
    template <class F>
    HRESULT CallThen(const std::string& name, F f) {
        const HRESULT hr = Call(name);
        return hr == DD_OK ? f(), hr : hr;
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

    FAKE_UNUSED(QueryInterface, REFIID, void**)
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG STDMETHODCALLTYPE Release() override { return Call("Release", std::to_string(refs - 1)), --refs; }
    HRESULT STDMETHODCALLTYPE CreateClipper(DWORD, LPDIRECTDRAWCLIPPER* out, IUnknown*) override {
        return CallThen("CreateClipper", [&] { *out = this, AddRef(); });
    }
    HRESULT STDMETHODCALLTYPE SetHWnd(DWORD, HWND) override { return Call("clipper.SetHWnd"); }
    HRESULT STDMETHODCALLTYPE CreateSurface(LPDDSURFACEDESC d, LPDIRECTDRAWSURFACE* out, IUnknown*) override;
    HRESULT STDMETHODCALLTYPE FlipToGDISurface() override;
    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND, DWORD) override { return Call("SetCooperativeLevel"); }
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
    template <class F>
    HRESULT Then(const char* method, F f) {
        return dev.CallThen(name + "." + method, f);
    }
    // A lock, blit or flip needs the surfaces there and unlocked before its own answer counts.
    HRESULT Usable(HRESULT hr, const Surface* other) const {
        if (lost || (other != nullptr && other->lost)) return DDERR_SURFACELOST;
        return locked || (other != nullptr && other->locked) ? DDERR_SURFACEBUSY : hr;
    }

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

    FAKE_UNUSED(QueryInterface, REFIID, void**)
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG STDMETHODCALLTYPE Release() override {
        if (--refs == 0 && clipper != nullptr) clipper->Release();
        return static_cast<ULONG>(refs);
    }
    HRESULT STDMETHODCALLTYPE Blt(LPRECT dst, LPDIRECTDRAWSURFACE src, LPRECT, DWORD flags, LPDDBLTFX fx) override {
        Hold hold(dev.lock);
        if (const HRESULT hr = Usable(Answer("Blt"), static_cast<Surface*>(src)); hr != DD_OK) return hr;
        if (flags & DDBLT_COLORFILL) std::fill(mem.begin(), mem.end(), static_cast<uint16_t>(fx->dwFillColor));
        if (dst != nullptr) lastDst = *dst, ++dev.shown;
        return DD_OK;
    }
    HRESULT STDMETHODCALLTYPE Flip(LPDIRECTDRAWSURFACE, DWORD) override {
        Hold hold(dev.lock);
        if (const HRESULT hr = Usable(Answer("Flip"), attached); hr != DD_OK) return hr;
        std::swap(mem, attached->mem);
        gdiAtBack = !gdiAtBack;
        ++dev.shown;
        return DD_OK;
    }
    HRESULT STDMETHODCALLTYPE GetAttachedSurface(LPDDSCAPS, LPDIRECTDRAWSURFACE* out) override {
        return Then("GetAttachedSurface", [&] { *out = attached, attached->AddRef(); });
    }
    HRESULT STDMETHODCALLTYPE GetCaps(LPDDSCAPS c) override {
        return Then("GetCaps", [&] { c->dwCaps = caps; });
    }
    HRESULT STDMETHODCALLTYPE GetFlipStatus(DWORD) override {
        Hold hold(dev.lock);
        const HRESULT hr = Answer("GetFlipStatus");
        if (lost || hr != DD_OK) return lost ? DDERR_SURFACELOST : hr;
        return flipBusy > 0 ? (--flipBusy, DDERR_WASSTILLDRAWING) : DD_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSurfaceDesc(LPDDSURFACEDESC d) override {
        const HRESULT hr = Answer("GetSurfaceDesc");
        d->ddpfPixelFormat.dwRGBBitCount = dev.greenMask > 0x7FF ? 32 : 16;
        d->ddpfPixelFormat.dwGBitMask = dev.greenMask;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE IsLost() override {
        Hold hold(dev.lock);
        return lost ? DDERR_SURFACELOST : DD_OK;
    }
    HRESULT STDMETHODCALLTYPE Lock(LPRECT, LPDDSURFACEDESC d, DWORD flags, HANDLE) override {
        Hold hold(dev.lock);
        const HRESULT hr = Usable(Answer("Lock", std::to_string(flags)), nullptr);
        if (d == nullptr || d->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
        if (hr != DD_OK) return hr;
        locked = true;
        d->lPitch = Pitch() * 2;
        d->lpSurface = mem.data();
        return DD_OK;
    }
    HRESULT STDMETHODCALLTYPE Restore() override {
        Hold hold(dev.lock);
        const HRESULT hr = Answer("Restore");
        if (hr != DD_OK) return hr;
        // The platform restores a flip chain only through its primary.
        if (dev.primary != nullptr && dev.primary->attached == this) return DDERR_IMPLICITLYCREATED;
        for (Surface* s : {this, attached})
            if (s != nullptr && s->lost) s->lost = false, s->Relocate();
        return DD_OK;
    }
    HRESULT STDMETHODCALLTYPE SetClipper(LPDIRECTDRAWCLIPPER c) override {
        return Then("SetClipper", [&] { clipper = c, c->AddRef(); });
    }
    HRESULT STDMETHODCALLTYPE SetColorKey(DWORD, LPDDCOLORKEY k) override {
        return Then("SetColorKey", [&] { key = *k; });
    }
    HRESULT STDMETHODCALLTYPE Unlock(LPVOID) override {
        Hold hold(dev.lock);
        Answer("Unlock");
        return locked ? (locked = false, DD_OK) : DDERR_NOTLOCKED;
    }
    // clang-format off
    FAKE_UNUSED(AddAttachedSurface, LPDIRECTDRAWSURFACE) FAKE_UNUSED(AddOverlayDirtyRect, LPRECT)
    FAKE_UNUSED(BltFast, DWORD, DWORD, LPDIRECTDRAWSURFACE, LPRECT, DWORD) FAKE_UNUSED(GetBltStatus, DWORD)
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

inline std::string Device::Leaks() const {
    std::string out = refs != 0 ? "dd refs " + std::to_string(refs) + "; " : "";
    for (const auto& s : surfaces)
        if (s->refs != 0) out += s->name + " refs " + std::to_string(s->refs) + "; ";
    return out;
}

// The windowed back buffer is the first surface that is not the primary; later ones are
// off-screen surfaces ("off").
inline HRESULT Device::CreateSurface(LPDDSURFACEDESC d, LPDIRECTDRAWSURFACE* out, IUnknown*) {
    Hold hold(lock);
    const bool isPrimary = (d->ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE) != 0;
    const std::string name = isPrimary ? "primary" : back == nullptr ? "back" : "off";
    const HRESULT hr = Call("CreateSurface." + name);
    if (hr != DD_OK) return hr;
    const bool sized = (d->dwFlags & DDSD_WIDTH) != 0;
    surfaces.push_back(std::make_unique<Surface>(*this, name, sized ? d->dwWidth : 320, sized ? d->dwHeight : 240));
    Surface* s = surfaces.back().get();
    (isPrimary ? primary : name == "back" ? back : s) = s;
    if (isPrimary && (d->ddsCaps.dwCaps & DDSCAPS_FLIP) != 0) {
        surfaces.push_back(std::make_unique<Surface>(*this, "back", 320, 240));
        back = primary->attached = surfaces.back().get();
        back->refs = 0;  // alive through the chain until someone asks for it
    }
    *out = s;
    return DD_OK;
}

inline HRESULT Device::FlipToGDISurface() {
    Hold hold(lock);
    Call("FlipToGDISurface");
    // As the platform does: with the desktop's memory at the back, the chain is flipped.
    if (primary != nullptr && primary->attached != nullptr && primary->gdiAtBack) {
        std::swap(primary->mem, primary->attached->mem);
        primary->gdiAtBack = false;
    }
    return DD_OK;
}

}  // namespace fake
