// Dialog edit-box texts and resolution names of arbitrary bytes.
#include "app/settings_values.h"
#include "fuzz/fuzz_input.h"

void Fuzz(FuzzReader& in) {
    const std::unique_ptr<char[]> text = in.Text(in.size);
    const uint32_t n = ParseDialogNumber(text.get());
    FUZZ_CHECK(ClampDensity(n) <= kMaxDensity && ClampHighlightDensity(n) <= kMaxHighlightDensity);
    const int32_t current = static_cast<int32_t>(n), index = ResolutionIndexFromText(text.get(), current);
    // A recognised name reads back as itself, and the radios give the index back.
    if (index != current) FUZZ_CHECK(std::strcmp(ResolutionTextForIndex(index), text.get()) == 0);
    const int radio = RadioForIndex(index);
    FUZZ_CHECK(IndexFromRadios(radio == kIdRadio1024x768, radio == kIdRadio1280x1024) == radio - kIdRadio800x600 + 1);
}
