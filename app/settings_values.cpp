#include "app/settings_values.h"

#include <cstring>

namespace {
const char* const kResolutionTexts[] = {"800x600", "1024x768", "1280x1024"};
}

int32_t ResolutionIndexFromText(const char* text, int32_t current) {
    if (!text) return current;
    for (int32_t i = 0; i < 3; ++i)
        if (std::strcmp(text, kResolutionTexts[i]) == 0) current = i + 1;
    return current;
}

ScreenSize ScreenSizeForIndex(int32_t index) {
    switch (index) {
        case 2:
            return {1024, 768};
        case 3:
            return {1280, 1024};
        default:
            return {800, 600};
    }
}

const char* ResolutionTextForIndex(int32_t index) {
    return index == 2 || index == 3 ? kResolutionTexts[index - 1] : kResolutionTexts[0];
}

int RadioForIndex(int32_t index) {
    switch (index) {
        case 2:
            return kIdRadio1024x768;
        case 3:
            return kIdRadio1280x1024;
        default:
            return kIdRadio800x600;
    }
}

int32_t IndexFromRadios(bool checked1024x768, bool checked1280x1024) {
    if (checked1280x1024) return 3;
    if (checked1024x768) return 2;
    return 1;
}

uint32_t ParseDialogNumber(const char* text) {
    if (!text) return 0;
    const char* p = text;
    while (*p == ' ') ++p;
    if (*p < '0' || *p > '9') return 0;
    uint64_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + static_cast<uint64_t>(*p - '0');
        if (value > 0xFFFFFFFFu) value = 0xFFFFFFFFu + uint64_t{1};  // stays above the limit
    }
    while (*p == ' ') ++p;
    if (*p != '\0') return 0;
    return value > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(value);
}
