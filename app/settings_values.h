#pragma once

#include <cstdint>

#include "app/dialog_ids.h"

// The settings' text and number rules, free of the registry so they can be tested natively.

constexpr uint32_t kMaxDensity = 400;  // the stream table's size
constexpr uint32_t kMaxHighlightDensity = 100;

// The configuration dialog's template and controls.
constexpr int kIdRadio800x600 = VORLEX_IDC_RADIO_800X600;
constexpr int kIdRadio1024x768 = VORLEX_IDC_RADIO_1024X768;
constexpr int kIdRadio1280x1024 = VORLEX_IDC_RADIO_1280X1024;
constexpr int kIdDensityEdit = VORLEX_IDC_DENSITY;
constexpr int kIdHighlightEdit = VORLEX_IDC_HIGHLIGHT;
constexpr int kConfigDialogId = VORLEX_IDD_CONFIG;

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
// The radio button checked for an index (800x600 for anything but 2 and 3).
int RadioForIndex(int32_t index);
// The index chosen by the radio buttons: 1280x1024 wins over 1024x768, neither means 1.
int32_t IndexFromRadios(bool checked1024x768, bool checked1280x1024);

inline uint32_t ClampDensity(uint32_t value) { return value > kMaxDensity ? kMaxDensity : value; }
inline uint32_t ClampHighlightDensity(uint32_t value) {
    return value > kMaxHighlightDensity ? kMaxHighlightDensity : value;
}
// The number in a dialog's edit box: unsigned decimal digits, blanks around them allowed.
// Anything else, a sign included, counts as 0; numbers past 32 bits saturate so they
// clamp like any other large number.
uint32_t ParseDialogNumber(const char* text);
