#pragma once

#include <cstdint>

// The settings' text and number rules, free of the registry so they can be tested natively.

constexpr uint32_t kMaxDensity = 400;  // the stream table's size
constexpr uint32_t kMaxHighlightDensity = 100;

// Dialog control identifiers of template 2003.
constexpr int kIdRadio800x600 = 1000;
constexpr int kIdRadio1024x768 = 1001;
constexpr int kIdRadio1280x1024 = 1002;
constexpr int kIdDensityEdit = 1004;
constexpr int kIdHighlightEdit = 1005;
constexpr int kConfigDialogId = 2003;

struct ScreenSize {
    int32_t width;
    int32_t height;
};

// 1, 2 or 3 for an exact (case-sensitive) match of "800x600", "1024x768", "1280x1024";
// otherwise the index stays as it was.
int32_t ResolutionIndexFromText(const char* text, int32_t current);
// 800x600 for any index other than 2 and 3.
ScreenSize ScreenSizeForIndex(int32_t index);
// "800x600" for any index other than 2 and 3.
const char* ResolutionTextForIndex(int32_t index);
// The radio button checked for an index (1000 for anything but 2 and 3).
int RadioForIndex(int32_t index);
// The index chosen by the radio buttons: 1002 wins over 1001, neither means 1.
int32_t IndexFromRadios(bool checked1001, bool checked1002);

inline uint32_t ClampDensity(uint32_t value) { return value > kMaxDensity ? kMaxDensity : value; }
inline uint32_t ClampHighlightDensity(uint32_t value) {
    return value > kMaxHighlightDensity ? kMaxHighlightDensity : value;
}
// The number in a dialog's edit box: unsigned decimal digits, blanks around them allowed.
// Anything else, a sign included, counts as 0; numbers past 32 bits saturate so they
// clamp like any other large number.
uint32_t ParseDialogNumber(const char* text);
