#pragma once

#include <cstdint>

// What a screen-saver command line asks for. Kept free of the platform so the
// parsing rules can be tested natively; the entry point maps it onto windows.
enum class SaverMode {
    kConfigure,       // no letter: configuration dialog without an owner
    kConfigureOwned,  // C: dialog owned by the given handle, or the foreground window
    kFullScreen,      // S
    kPreview,         // P or L with a window handle
    kChangePassword,  // A
    kInvalid,         // any other character
};

struct SaverCommand {
    SaverMode mode = SaverMode::kInvalid;
    uint32_t handle = 0;         // P/L: the preview window; C: the owner after "C:" (0 when none)
    const char* rest = nullptr;  // A: the text after the letter and its blanks
};

// Steps one character of a multibyte text; the platform's version knows double-byte characters.
using NextCharFn = const char* (*)(const char*);

// The command line without the program name and the blanks and control characters after it.
// A quoted program name is skipped up to and including its closing quote.
const char* SkipProgramName(const char* commandLine, NextCharFn next = nullptr);

// Unsigned decimal digits up to the first non-digit, wrapping in 32 bits; 0 for no digits.
uint32_t ParseHandleValue(const char* text);

// Leading blanks, '-' and '/' are skipped; the first other character selects the mode.
SaverCommand ParseSaverCommand(const char* arguments);
