#pragma once

#include <string>

#include "display/surface_info.h"

// Writes the surface as a 24-bit TGA picture through the saver's own TGA writer
// (GraphicsLoader::SaveTga), so the loader's LoadTga reads the same pixels back. On
// failure error says why and no file is left behind.
bool WriteTga(const std::string& path, const SurfaceInfo& surface, ColorType layout, std::string& error);
