// Dialog edit-box texts and the resolution names of arbitrary bytes.

#include <memory>

#include "app/settings_values.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzReader in{data, size};
    const std::unique_ptr<char[]> text = in.Text(size);
    const uint32_t n = ParseDialogNumber(text.get());
    FUZZ_CHECK(ClampDensity(n) <= kMaxDensity && ClampHighlightDensity(n) <= kMaxHighlightDensity);
    const int32_t current = static_cast<int32_t>(n);
    const int32_t index = ResolutionIndexFromText(text.get(), current);
    // A recognised name reads back as itself, and the radios give the index back.
    if (index != current) FUZZ_CHECK(std::strcmp(ResolutionTextForIndex(index), text.get()) == 0);
    const int radio = RadioForIndex(index);
    FUZZ_CHECK(IndexFromRadios(radio == kIdRadio1024x768, radio == kIdRadio1280x1024) == (radio - kIdRadio800x600 + 1));
    const ScreenSize screen = ScreenSizeForIndex(index);
    FUZZ_CHECK(screen.width >= 800 && screen.height >= 600);
    return 0;
}
