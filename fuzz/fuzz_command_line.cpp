// Command lines of arbitrary bytes: the pointers handed back stay inside the text.
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
}
