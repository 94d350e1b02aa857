#include "ddraw_fake.h"

namespace fake {

using Hold = std::lock_guard<std::recursive_mutex>;

std::string Device::Leaks() const {
    std::string out = refs != 0 ? "dd refs " + std::to_string(refs) + "; " : "";
    for (const auto& s : surfaces)
        if (s->refs != 0) out += s->name + " refs " + std::to_string(s->refs) + "; ";
    return out;
}

// The windowed back buffer is the first surface that is not the primary; later ones are
// off-screen surfaces ("off").
HRESULT Device::CreateSurface(LPDDSURFACEDESC d, LPDIRECTDRAWSURFACE* out, IUnknown*) {
    Hold hold(lock);
    const bool isPrimary = (d->ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE) != 0;
    const std::string name = isPrimary ? "primary" : back == nullptr ? "back" : "off";
    const HRESULT hr = Call("CreateSurface." + name, Hex(d->dwFlags) + "," + Hex(d->ddsCaps.dwCaps));
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

HRESULT Device::FlipToGDISurface() {
    Hold hold(lock);
    Call("FlipToGDISurface");
    // As the platform does: with the desktop's memory at the back, the chain is flipped.
    if (primary != nullptr && primary->attached != nullptr && primary->gdiAtBack) {
        std::swap(primary->mem, primary->attached->mem);
        primary->gdiAtBack = false;
    }
    return DD_OK;
}

HRESULT Surface::Blt(LPRECT dst, LPDIRECTDRAWSURFACE src, LPRECT, DWORD flags, LPDDBLTFX fx) {
    Hold hold(dev.lock);
    const HRESULT hr = Answer("Blt");
    auto* source = static_cast<Surface*>(src);
    if (lost || (source != nullptr && source->lost)) return DDERR_SURFACELOST;
    if (locked || (source != nullptr && source->locked)) return DDERR_SURFACEBUSY;
    if (hr != DD_OK) return hr;
    if (flags & DDBLT_COLORFILL) std::fill(mem.begin(), mem.end(), static_cast<uint16_t>(fx->dwFillColor));
    if (dst != nullptr) lastDst = *dst, ++dev.shown;
    return DD_OK;
}

HRESULT Surface::Flip(LPDIRECTDRAWSURFACE, DWORD) {
    Hold hold(dev.lock);
    const HRESULT hr = Answer("Flip");
    if (lost || attached->lost) return DDERR_SURFACELOST;
    if (locked || attached->locked) return DDERR_SURFACEBUSY;
    if (hr != DD_OK) return hr;
    std::swap(mem, attached->mem);
    gdiAtBack = !gdiAtBack;
    ++dev.shown;
    return DD_OK;
}

HRESULT Surface::GetFlipStatus(DWORD) {
    Hold hold(dev.lock);
    const HRESULT hr = Answer("GetFlipStatus");
    if (lost) return DDERR_SURFACELOST;
    if (hr != DD_OK) return hr;
    return flipBusy > 0 ? (--flipBusy, DDERR_WASSTILLDRAWING) : DD_OK;
}

HRESULT Surface::Lock(LPRECT, LPDDSURFACEDESC d, DWORD flags, HANDLE) {
    Hold hold(dev.lock);
    const HRESULT hr = Answer("Lock", Hex(flags));
    if (d == nullptr || d->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
    if (lost) return DDERR_SURFACELOST;
    if (locked) return DDERR_SURFACEBUSY;
    if (hr != DD_OK) return hr;
    locked = true;
    d->lPitch = Pitch() * 2;
    d->lpSurface = mem.data();
    return DD_OK;
}

HRESULT Surface::Restore() {
    Hold hold(dev.lock);
    const HRESULT hr = Answer("Restore");
    if (hr != DD_OK) return hr;
    // The platform restores a flip chain only through its primary.
    if (dev.primary != nullptr && dev.primary->attached == this) return DDERR_IMPLICITLYCREATED;
    for (Surface* s : {this, attached})
        if (s != nullptr && s->lost) s->lost = false, s->Relocate();
    return DD_OK;
}

}  // namespace fake
