// Built the C way, so that methods no test reaches need no body.
#define CINTERFACE

#include "ddraw_fake.h"

#include <utility>

namespace fake {

namespace {

using Surface = IDirectDrawSurface;

Object* Self(void* com) { return static_cast<Object*>(com); }

template <class I>
I* Com(Object* o) {
    return reinterpret_cast<I*>(o);
}

HRESULT Answer(void* com, const char* method) {
    const Object* s = Self(com);
    const auto it = s->dev->fail.find(s->name + "." + method);
    return it == s->dev->fail.end() ? DD_OK : it->second;
}

// A lock, blit or flip needs the surfaces there and unlocked.
HRESULT Usable(const Object* s, const Object* other) {
    if (s->lost || other->lost) return DDERR_SURFACELOST;
    return s->locked || other->locked ? DDERR_SURFACEBUSY : DD_OK;
}

const struct Tables {
    Tables();
    IDirectDrawVtbl draw = {};
    IDirectDrawClipperVtbl clipper = {};
    IDirectDrawSurfaceVtbl surface = {};
} tables;

template <class I, class... Args>
HRESULT STDMETHODCALLTYPE Ok(I*, Args...) {
    return DD_OK;
}

template <class I>
ULONG STDMETHODCALLTYPE AddRef(I* com) {
    return static_cast<ULONG>(++Self(com)->refs);
}

template <class I>
ULONG STDMETHODCALLTYPE Release(I* com) {
    return static_cast<ULONG>(--Self(com)->refs);
}

HRESULT STDMETHODCALLTYPE CreateClipper(IDirectDraw* com, DWORD, LPDIRECTDRAWCLIPPER* out, IUnknown*) {
    *out = Com<IDirectDrawClipper>(Self(com)->dev->Add("clipper", &tables.clipper));
    return DD_OK;
}

// The primary comes first; windowed, the back buffer next.
HRESULT STDMETHODCALLTYPE CreateSurface(IDirectDraw* com, LPDDSURFACEDESC d, Surface** out, IUnknown*) {
    Device* dev = Self(com)->dev;
    Object* s = dev->Add(!dev->primary ? "primary" : !dev->back ? "back" : "off", &tables.surface);
    if (!dev->primary)
        dev->primary = s;
    else if (!dev->back)
        dev->back = s;
    if (d->ddsCaps.dwCaps & DDSCAPS_FLIP) {
        dev->back = s->attached = dev->Add("back", &tables.surface);
        dev->back->refs = 0;  // alive through the chain until someone asks for it
    }
    *out = Com<Surface>(s);
    return DD_OK;
}

HRESULT STDMETHODCALLTYPE SetDisplayMode(IDirectDraw* com, DWORD w, DWORD h, DWORD bits) {
    Self(com)->dev->mode = {w, h, bits};
    return Answer(com, "SetDisplayMode");
}

HRESULT STDMETHODCALLTYPE Blt(Surface* com, LPRECT dst, Surface* src, LPRECT, DWORD flags, LPDDBLTFX fx) {
    Object* s = Self(com);
    if (const HRESULT hr = Usable(s, Self(src ? src : com)); hr != DD_OK) return hr;
    if (flags & DDBLT_COLORFILL) std::fill(s->mem.begin(), s->mem.end(), static_cast<uint16_t>(fx->dwFillColor));
    if (dst != nullptr) {
        s->lastDst = *dst;
        ++s->dev->shown;
    }
    return DD_OK;
}

HRESULT STDMETHODCALLTYPE Flip(Surface* com, Surface*, DWORD) {
    Object* s = Self(com);
    if (const HRESULT hr = Usable(s, s->attached); hr != DD_OK) return hr;
    std::swap(s->mem, s->attached->mem);
    s->gdiAtBack = !s->gdiAtBack;
    ++s->dev->shown;
    return DD_OK;
}

HRESULT STDMETHODCALLTYPE FlipToGDISurface(IDirectDraw* com) {
    // As the platform does: with the desktop's memory at the back, the chain is flipped.
    Object* primary = Self(com)->dev->primary;
    if (primary->gdiAtBack) Flip(Com<Surface>(primary), nullptr, 0);
    return DD_OK;
}

HRESULT STDMETHODCALLTYPE GetAttachedSurface(Surface* com, LPDDSCAPS, Surface** out) {
    *out = Com<Surface>(Self(com)->attached);
    AddRef(*out);
    return DD_OK;
}

HRESULT STDMETHODCALLTYPE GetCaps(Surface* com, LPDDSCAPS c) {
    c->dwCaps = Self(com)->dev->offCaps;
    return DD_OK;
}

HRESULT STDMETHODCALLTYPE GetFlipStatus(Surface* com, DWORD) {
    return Self(com)->lost ? DDERR_SURFACELOST : Answer(com, "GetFlipStatus");
}

HRESULT STDMETHODCALLTYPE GetSurfaceDesc(Surface* com, LPDDSURFACEDESC d) {
    d->ddpfPixelFormat.dwGBitMask = Self(com)->dev->greenMask;
    return DD_OK;
}

HRESULT STDMETHODCALLTYPE IsLost(Surface* com) { return Self(com)->lost ? DDERR_SURFACELOST : DD_OK; }

HRESULT STDMETHODCALLTYPE Lock(Surface* com, LPRECT, LPDDSURFACEDESC d, DWORD, HANDLE) {
    Object* s = Self(com);
    if (const HRESULT hr = Usable(s, s); hr != DD_OK) return hr;
    s->locked = true;
    d->lPitch = kPitch * 2;
    d->lpSurface = s->mem.data();
    return DD_OK;
}

HRESULT STDMETHODCALLTYPE Restore(Surface* com) {
    Object* s = Self(com);
    if (const HRESULT hr = Answer(com, "Restore"); hr != DD_OK) return hr;
    // The platform restores a flip chain only through its primary.
    if (s->dev->primary->attached == s) return DDERR_IMPLICITLYCREATED;
    for (Object* o : {s, s->attached}) {
        if (o != nullptr && o->lost) o->retired.push_back(std::exchange(o->mem, Object::Memory()));
        if (o != nullptr) o->lost = false;
    }
    return DD_OK;
}

HRESULT STDMETHODCALLTYPE SetColorKey(Surface* com, DWORD, LPDDCOLORKEY k) {
    Self(com)->key = *k;
    return DD_OK;
}

HRESULT STDMETHODCALLTYPE Unlock(Surface* com, LPVOID) {
    Self(com)->locked = false;
    return DD_OK;
}

Tables::Tables() {
    draw.AddRef = AddRef;
    draw.Release = Release;
    draw.CreateClipper = CreateClipper;
    draw.CreateSurface = CreateSurface;
    draw.FlipToGDISurface = FlipToGDISurface;
    draw.SetCooperativeLevel = Ok;
    draw.SetDisplayMode = SetDisplayMode;
    clipper.AddRef = AddRef;
    clipper.Release = Release;
    clipper.SetHWnd = Ok;
    surface.AddRef = AddRef;
    surface.Release = Release;
    surface.Blt = Blt;
    surface.Flip = Flip;
    surface.GetAttachedSurface = GetAttachedSurface;
    surface.GetCaps = GetCaps;
    surface.GetFlipStatus = GetFlipStatus;
    surface.GetSurfaceDesc = GetSurfaceDesc;
    surface.IsLost = IsLost;
    surface.Lock = Lock;
    surface.Restore = Restore;
    surface.SetClipper = Ok;
    surface.SetColorKey = SetColorKey;
    surface.Unlock = Unlock;
}

}  // namespace

HRESULT WINAPI Create(GUID*, IDirectDraw** out, IUnknown*) {
    Object* dd = Device::installed->Add("dd", &tables.draw);
    *out = Com<IDirectDraw>(dd);
    dd->refs = Answer(dd, "Create") == DD_OK ? 1 : 0;
    return Answer(dd, "Create");
}

}  // namespace fake
