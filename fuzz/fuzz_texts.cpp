// Command lines and dialog texts of arbitrary bytes: the pointers handed back stay inside the text,
// numbers are clamped, and a resolution name that is recognised reads back as itself.
#include "app/settings_values.h"
#include "fuzz/fuzz_input.h"
#include "host/command_line.h"

// As the platform steps a double-byte text: a lead byte takes the next byte, never the terminator.
static const char* NextDoubleByte(const char* p) {
    const auto lead = static_cast<unsigned char>(*p);
    return lead == 0 ? p : lead >= 0x81 && lead <= 0xFE && p[1] != '\0' ? p + 2 : p + 1;
}

void Fuzz(FuzzReader& in) {
    const bool doubleByte = in.Byte() & 1;
    const std::unique_ptr<char[]> line = in.Text(in.Left());
    const char *text = line.get(), *end = text + std::strlen(text);
    const char* args = SkipProgramName(text, doubleByte ? NextDoubleByte : nullptr);
    FUZZ_CHECK(args >= text && args <= end);
    (void)ParseHandleValue(args);
    const SaverCommand command = ParseSaverCommand(args);
    FUZZ_CHECK(command.rest == nullptr || (command.rest >= args && command.rest <= end));
    const uint32_t n = ParseDialogNumber(text);
    FUZZ_CHECK(ClampDensity(n) <= kMaxDensity && ClampHighlightDensity(n) <= kMaxHighlightDensity);
    const int32_t current = static_cast<int32_t>(n), index = ResolutionIndexFromText(text, current);
    if (index != current) FUZZ_CHECK(std::strcmp(ResolutionTextForIndex(index), text) == 0);
    const int radio = RadioForIndex(index);
    FUZZ_CHECK(IndexFromRadios(radio == kIdRadio1024x768, radio == kIdRadio1280x1024) == radio - kIdRadio800x600 + 1);
}
