#include "host/command_line.h"

namespace {

const char* NextByte(const char* p) { return *p ? p + 1 : p; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

const char* SkipBlanks(const char* p) {
    while (*p == ' ') ++p;
    return p;
}

}  // namespace

const char* SkipProgramName(const char* commandLine, NextCharFn next) {
    if (!next) next = NextByte;
    const char* p = commandLine;
    if (*p == '"') {
        p = next(p);
        while (*p && *p != '"') p = next(p);
        if (*p == '"') p = next(p);
    } else if (static_cast<unsigned char>(*p) > ' ') {
        while (static_cast<unsigned char>(*p) > ' ') p = next(p);
    }
    while (*p && static_cast<unsigned char>(*p) <= ' ') p = next(p);
    return p;
}

uint32_t ParseHandleValue(const char* text) {
    uint32_t value = 0;
    for (const char* p = text; IsDigit(*p); ++p) value = value * 10u + static_cast<uint32_t>(*p - '0');
    return value;
}

SaverCommand ParseSaverCommand(const char* arguments) {
    SaverCommand command;
    const char* p = arguments;
    while (*p == ' ' || *p == '-' || *p == '/') ++p;
    switch (*p) {
        case '\0':
            command.mode = SaverMode::kConfigure;
            break;
        case 'S':
        case 's':
            command.mode = SaverMode::kFullScreen;
            break;
        case 'P':
        case 'p':
        case 'L':
        case 'l':
            command.mode = SaverMode::kPreview;
            command.handle = ParseHandleValue(SkipBlanks(p + 1));
            break;
        case 'C':
        case 'c':
            command.mode = SaverMode::kConfigureOwned;
            if (p[1] == ':') command.handle = ParseHandleValue(p + 2);
            break;
        case 'A':
        case 'a':
            command.mode = SaverMode::kChangePassword;
            command.rest = SkipBlanks(p + 1);
            break;
        default:
            command.mode = SaverMode::kInvalid;
            break;
    }
    return command;
}
