#include "rain/rain_model.h"

#include <new>

bool RainModel::Allocate(int columns, int rows) {
    Release();
    if (columns <= 0 || rows <= 0 || columns > kMaxColumns || rows > kMaxRows) return false;
    cells_.reset(new (std::nothrow) Cell[static_cast<size_t>(columns) * rows]());
    if (!cells_) return false;
    columns_ = columns;
    rows_ = rows;
    return true;
}

void RainModel::Release() {
    cells_.reset();
    columns_ = 0;
    rows_ = 0;
    streamCount_ = 0;
}

void RainModel::Seed(unsigned streamCount, RandomSource& random) {
    if (!cells_) return;
    const int count = columns_ * rows_;
    for (int i = 0; i < count; ++i) {
        Cell& cell = cells_[i];
        const bool bright = random.Next() % 100 < 5;
        cell.glyph = static_cast<uint8_t>(random.Next() % kBrightGlyphs + (bright ? 0 : kFirstNormalGlyph));
        cell.drawState = kUncovered;
        cell.age = 0;
        cell.threshold = static_cast<uint8_t>(random.Next() % 80);
    }
    streamCount_ = streamCount > kMaxStreams ? kMaxStreams : streamCount;
    for (unsigned s = 0; s < streamCount_; ++s) {
        Stream& st = streams_[s];
        st.head = static_cast<int16_t>(random.Next() % (rows_ + 30));
        st.length = static_cast<uint8_t>(random.Next() % 35 + 10);
        st.column = static_cast<uint16_t>(random.Next() % columns_);
    }
}
