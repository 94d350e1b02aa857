#pragma once

#include <cstdint>

#include "display/surface_info.h"

// The blitter's one clip rectangle: left and top inclusive, right and bottom
// exclusive. All zero at start, so nothing is drawn until the window procedure sets it.
struct ClipRect {
    uint16_t left;
    uint16_t top;
    uint16_t right;
    uint16_t bottom;
};

extern ClipRect clipRect;
// Pixel layout of the display, set by the display manager's set-up before drawing starts.
extern ColorType colorType;

// Row operations: exactly n pixels are written; n <= 0 writes nothing.
void CopyRow(uint16_t* dst, const uint16_t* src, int32_t n);
// Darkens each pixel to 1/2, 1/4 or 1/8 (shade 1, 2, 3) for the given layout:
// masking the low bits of every channel first keeps them from sliding into the next.
// Any other shade copies.
void DimRow(uint16_t* dst, const uint16_t* src, int32_t n, ColorType layout, int32_t shade);

// A shade as one formula for every pixel, (p & mask) >> shift: shade 1 ... 3 dims as DimRow
// does, any other shade copies (0xFFFF, 0).
struct ShadeOp {
    uint16_t mask;
    uint16_t shift;
};
ShadeOp SelectShadeOp(ColorType layout, int32_t shade);

using RowOp = void (*)(uint16_t* dst, const uint16_t* src, int32_t n);
// The DimRow variant for a layout and shade, or CopyRow when the shade is not 1 ... 3.
RowOp SelectRowOp(ColorType layout, int32_t shade);

// The visible part of a w x h cell at the pen: cell columns [col0, col1) and rows
// [row0, row1). Empty when nothing of the cell lies inside clipRect.
struct CellClip {
    int32_t col0, col1, row0, row1;
    bool Empty() const { return col0 >= col1 || row0 >= row1; }
};
CellClip ClipCell(const Pen& pen, int32_t w, int32_t h);
bool FullyVisible(const Pen& pen, int32_t w, int32_t h);

// Copies the visible part of a raw w-wide frame through a row operation.
void DrawRawClipped(const SurfaceInfo& surface, const Pen& pen, const uint16_t* frame, int32_t w, int32_t h, RowOp op);

// One cell of a row drawn by DrawCellRow: a raw w x h frame and its shade.
struct RowCell {
    const uint16_t* frame;
    ShadeOp op;
};

// Draws count raw w x h cells side by side, the first at the pen, clipped to clipRect.
// Each scan line is written across all cells before the next: the writes run along the
// surface row, where a cell's rows one pitch apart would fall into the same cache sets.
void DrawCellRow(const SurfaceInfo& surface, const Pen& pen, int32_t w, int32_t h, const RowCell* cells, int32_t count);
