#include "ddraw_fakes.h"

#include <mmsystem.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "display/ddraw_manager_win32.h"

namespace fakes {

namespace {

constexpr uint16_t kFreshMemory = 0x1111;

FakeDirectDraw* installed = nullptr;

HRESULT WINAPI CreateFake(GUID* driver, IDirectDraw** out, IUnknown*) {
    installed->trace.Add(std::string("DirectDrawCreate(") + (driver == nullptr ? "default" : "other") + ")");
    const HRESULT hr = installed->createScript.Take();
    if (hr != DD_OK) return hr;
    installed->AddRef();
    *out = installed;
    return DD_OK;
}

}  // namespace

std::string Hex(DWORD v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%lx", static_cast<unsigned long>(v));
    return text;
}

FakeSurface::FakeSurface(Trace& t, std::string n, int w, int h, int pitchPixels, DWORD green)
    : name(std::move(n)), trace(t), width(w), height(h), pitch(pitchPixels), greenMask(green) {
    blocks_.emplace_back(static_cast<size_t>(pitch) * height, kFreshMemory);
    snapshot_ = blocks_.back();
}

bool FakeSurface::RetiredBlocksIntact() const {
    for (size_t i = 0; i + 1 < blocks_.size(); ++i)
        if (std::any_of(blocks_[i].begin(), blocks_[i].end(), [](uint16_t p) { return p != kPoison; })) return false;
    return true;
}

void FakeSurface::Relocate() {
    std::fill(blocks_.back().begin(), blocks_.back().end(), kPoison);
    blocks_.emplace_back(static_cast<size_t>(pitch) * height, kFreshMemory);
    snapshot_ = blocks_.back();
}

void FakeSurface::SwapMemory(FakeSurface& other) {
    std::swap(blocks_.back(), other.blocks_.back());
    std::swap(snapshot_, other.snapshot_);
}

void FakeSurface::CheckUntouched() {
    if (strictLocking && !isLocked && blocks_.back() != snapshot_) touchedWhileUnlocked = true;
}

void FakeSurface::Call(const std::string& what) {
    const bool chainAlive = chainPrimary != nullptr && chainPrimary->refs > 0;
    if (refs <= 0 && !chainAlive) usedAfterRelease = true;
    trace.Add(name + "." + what);
}

HRESULT FakeSurface::Unused(const char* what) {
    Call(std::string(what) + " (unexpected)");
    return E_NOTIMPL;
}

ULONG FakeSurface::AddRef() {
    if (refs <= 0 && chainPrimary == nullptr) usedAfterRelease = true;
    return static_cast<ULONG>(++refs);
}

ULONG FakeSurface::Release() {
    if (refs <= 0) {
        usedAfterRelease = true;
        return 0;
    }
    if (--refs == 0 && clipper != nullptr) {
        clipper->Release();
        clipper = nullptr;
    }
    return static_cast<ULONG>(refs);
}

HRESULT FakeSurface::Blt(LPRECT dst, LPDIRECTDRAWSURFACE src, LPRECT, DWORD flags, LPDDBLTFX fx) {
    std::string what = "Blt(" + Hex(flags);
    if (flags & DDBLT_COLORFILL) what += ", fill " + Hex(fx->dwFillColor);
    Call(what + ")");
    ++blts;
    auto* source = static_cast<FakeSurface*>(src);
    if (lost || (source != nullptr && source->lost)) return DDERR_SURFACELOST;
    if (isLocked || (source != nullptr && source->isLocked)) return DDERR_SURFACEBUSY;
    const HRESULT hr = bltScript.Take();
    if (hr != DD_OK) return hr;
    CheckUntouched();
    if (source != nullptr) source->CheckUntouched();
    lastBltHadDst = dst != nullptr;
    if (dst != nullptr) {
        lastBltDst = *dst;
        shownAt.push_back(timeGetTime());
        ++shown;
    }
    if (flags & DDBLT_COLORFILL) {
        std::fill(blocks_.back().begin(), blocks_.back().end(), static_cast<uint16_t>(fx->dwFillColor));
        snapshot_ = blocks_.back();
    }
    return DD_OK;
}

HRESULT FakeSurface::Flip(LPDIRECTDRAWSURFACE target, DWORD flags) {
    Call("Flip(" + std::string(target == nullptr ? "next" : "target") + ", " + Hex(flags) + ")");
    ++flips;
    if (attached == nullptr) return DDERR_NOTFLIPPABLE;
    if (lost || attached->lost) return DDERR_SURFACELOST;
    if (isLocked || attached->isLocked) return DDERR_SURFACEBUSY;
    const HRESULT hr = flipScript.Take();
    if (hr != DD_OK) return hr;
    CheckUntouched();
    attached->CheckUntouched();
    SwapMemory(*attached);
    gdiAtBack = !gdiAtBack;
    shownAt.push_back(timeGetTime());
    ++shown;
    return DD_OK;
}

HRESULT FakeSurface::GetAttachedSurface(LPDDSCAPS caps, LPDIRECTDRAWSURFACE* out) {
    Call("GetAttachedSurface(" + Hex(caps->dwCaps) + ")");
    const HRESULT hr = attachScript.Take();
    if (hr != DD_OK) return hr;
    if (attached == nullptr) return DDERR_NOTFOUND;
    attached->AddRef();
    *out = attached;
    return DD_OK;
}

HRESULT FakeSurface::GetFlipStatus(DWORD flags) {
    Call("GetFlipStatus(" + Hex(flags) + ")");
    flipPolledAt.push_back(timeGetTime());
    if (lost) return DDERR_SURFACELOST;
    const HRESULT hr = flipStatusScript.Take();
    if (hr != DD_OK) return hr;
    if (flipBusyPolls > 0) {
        --flipBusyPolls;
        return DDERR_WASSTILLDRAWING;
    }
    return DD_OK;
}

HRESULT FakeSurface::GetSurfaceDesc(LPDDSURFACEDESC desc) {
    Call("GetSurfaceDesc(" + Hex(desc->dwFlags) + ")");
    const HRESULT hr = descScript.Take();
    if (hr != DD_OK) return hr;
    const bool deep = greenMask > 0xFFFF || greenMask == 0xFF00;
    desc->dwFlags = DDSD_PIXELFORMAT | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH;
    desc->dwWidth = width;
    desc->dwHeight = height;
    desc->lPitch = pitch * 2;
    desc->ddpfPixelFormat.dwSize = sizeof desc->ddpfPixelFormat;
    desc->ddpfPixelFormat.dwFlags = DDPF_RGB;
    desc->ddpfPixelFormat.dwRGBBitCount = deep ? 32 : 16;
    desc->ddpfPixelFormat.dwGBitMask = greenMask;
    return DD_OK;
}

HRESULT FakeSurface::Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags, HANDLE event) {
    Call("Lock(" + std::string(rect == nullptr ? "whole" : "rect") + ", " + Hex(flags) +
         (event == nullptr ? ")" : ", event)"));
    ++locks;
    if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
    if (lost) return DDERR_SURFACELOST;
    if (isLocked) return DDERR_SURFACEBUSY;
    const HRESULT hr = lockScript.Take();
    if (hr != DD_OK) return hr;
    CheckUntouched();
    isLocked = true;
    desc->dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_LPSURFACE;
    desc->dwWidth = width;
    desc->dwHeight = height;
    desc->lPitch = pitch * 2;
    desc->lpSurface = Memory();
    return DD_OK;
}

HRESULT FakeSurface::Unlock(LPVOID data) {
    Call("Unlock");
    ++unlocks;
    if (!isLocked || (data != nullptr && data != Memory())) return DDERR_NOTLOCKED;
    isLocked = false;
    snapshot_ = blocks_.back();
    if (relocateOnUnlock) Relocate();
    return DD_OK;
}

HRESULT FakeSurface::Restore() {
    Call("Restore");
    ++restores;
    if (implicitlyCreated) return DDERR_IMPLICITLYCREATED;
    const HRESULT hr = restoreScript.Take();
    if (hr != DD_OK) return hr;
    if (lost) {
        lost = false;
        Relocate();
    }
    if (attached != nullptr && attached->lost) {
        attached->lost = false;
        attached->Relocate();
    }
    return DD_OK;
}

HRESULT FakeSurface::SetClipper(LPDIRECTDRAWCLIPPER c) {
    Call("SetClipper");
    const HRESULT hr = setClipperScript.Take();
    if (hr != DD_OK) return hr;
    c->AddRef();
    clipper = static_cast<FakeClipper*>(c);
    return DD_OK;
}

ULONG FakeClipper::AddRef() {
    if (refs <= 0) usedAfterRelease = true;
    return static_cast<ULONG>(++refs);
}

ULONG FakeClipper::Release() {
    if (refs <= 0) {
        usedAfterRelease = true;
        return 0;
    }
    return static_cast<ULONG>(--refs);
}

HRESULT FakeClipper::SetHWnd(DWORD flags, HWND hwnd) {
    if (refs <= 0) usedAfterRelease = true;
    trace.Add("clipper.SetHWnd(" + Hex(flags) + ")");
    window = hwnd;
    return setHWndScript.Take();
}

FakeDirectDraw::~FakeDirectDraw() = default;

ULONG FakeDirectDraw::AddRef() { return static_cast<ULONG>(++refs); }

ULONG FakeDirectDraw::Release() {
    trace.Add("dd.Release");
    if (refs <= 0) {
        usedAfterRelease = true;
        return 0;
    }
    return static_cast<ULONG>(--refs);
}

HRESULT FakeDirectDraw::CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* out, IUnknown*) {
    trace.Add("dd.CreateClipper(" + Hex(flags) + ")");
    const HRESULT hr = clipperScript.Take();
    if (hr != DD_OK) return hr;
    clippers.push_back(std::make_unique<FakeClipper>(trace));
    if (clipperSetUp) clipperSetUp(*clippers.back());
    *out = clippers.back().get();
    return DD_OK;
}

HRESULT FakeDirectDraw::CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* out, IUnknown*) {
    const DWORD caps = desc->ddsCaps.dwCaps;
    if (caps & DDSCAPS_PRIMARYSURFACE) {
        std::string what = "dd.CreateSurface(" + Hex(desc->dwFlags) + ", " + Hex(caps);
        if (desc->dwFlags & DDSD_BACKBUFFERCOUNT) what += ", " + std::to_string(desc->dwBackBufferCount);
        trace.Add(what + ")");
        const HRESULT hr = primaryScript.Take();
        if (hr != DD_OK) return hr;
        surfaces.push_back(std::make_unique<FakeSurface>(trace, "primary", 320, 240, 320 + pitchExtra, greenMask));
        primary = surfaces.back().get();
        if (caps & DDSCAPS_FLIP) {
            surfaces.push_back(std::make_unique<FakeSurface>(trace, "back", 320, 240, 320 + pitchExtra, greenMask));
            back = surfaces.back().get();
            back->refs = 0;  // alive through the chain until someone asks for it
            back->implicitlyCreated = true;
            back->chainPrimary = primary;
            primary->attached = back;
            if (surfaceSetUp) surfaceSetUp(*back);
        }
        if (surfaceSetUp) surfaceSetUp(*primary);
        *out = primary;
        return DD_OK;
    }
    trace.Add("dd.CreateSurface(" + Hex(desc->dwFlags) + ", " + Hex(caps) + ", " + std::to_string(desc->dwWidth) + "x" +
              std::to_string(desc->dwHeight) + ")");
    const HRESULT hr = backScript.Take();
    if (hr != DD_OK) return hr;
    const int w = static_cast<int>(desc->dwWidth);
    surfaces.push_back(
        std::make_unique<FakeSurface>(trace, "back", w, static_cast<int>(desc->dwHeight), w + pitchExtra, greenMask));
    back = surfaces.back().get();
    if (surfaceSetUp) surfaceSetUp(*back);
    *out = back;
    return DD_OK;
}

HRESULT FakeDirectDraw::FlipToGDISurface() {
    trace.Add("dd.FlipToGDISurface");
    if (refs <= 0) usedAfterRelease = true;
    ++flipToGdiCalls;
    // As the platform does: when the desktop's memory is at the back, the chain is flipped.
    if (primary != nullptr && primary->attached != nullptr && primary->gdiAtBack) {
        primary->SwapMemory(*primary->attached);
        primary->gdiAtBack = false;
    }
    return DD_OK;
}

HRESULT FakeDirectDraw::SetCooperativeLevel(HWND, DWORD flags) {
    trace.Add("dd.SetCooperativeLevel(" + Hex(flags) + ")");
    return coopScript.Take();
}

HRESULT FakeDirectDraw::SetDisplayMode(DWORD w, DWORD h, DWORD bpp) {
    trace.Add("dd.SetDisplayMode(" + std::to_string(w) + ", " + std::to_string(h) + ", " + std::to_string(bpp) + ")");
    if (refs <= 0) usedAfterRelease = true;
    return modeScript.Take();
}

std::string FakeDirectDraw::Leaks() const {
    std::string out;
    if (refs != 0) out += "dd refs " + std::to_string(refs) + "; ";
    for (const auto& s : surfaces)
        if (s->refs != 0) out += s->name + " refs " + std::to_string(s->refs) + "; ";
    for (const auto& c : clippers)
        if (c->refs != 0) out += "clipper refs " + std::to_string(c->refs) + "; ";
    return out;
}

bool FakeDirectDraw::AnyUsedAfterRelease() const {
    if (usedAfterRelease) return true;
    for (const auto& s : surfaces)
        if (s->usedAfterRelease) return true;
    for (const auto& c : clippers)
        if (c->usedAfterRelease) return true;
    return false;
}

UseFakeDirectDraw::UseFakeDirectDraw(FakeDirectDraw& device)
    : previousCreate_(directDrawCreate), previousDevice_(installed) {
    installed = &device;
    directDrawCreate = CreateFake;
}

UseFakeDirectDraw::~UseFakeDirectDraw() {
    directDrawCreate = previousCreate_;
    installed = previousDevice_;
}

}  // namespace fakes
