#pragma once

#include <cstdint>

// Symbolic name of a window message, for trace lines. Numbers without a name yield
// "UNKNOWN MESSAGE, id 0x.." in a module-wide buffer that the next such call (and
// EnumChildProc) overwrites; copy it to keep it.
const char* WindowMessageName(uint32_t message);

// Formats the fallback text for message into buffer (at least 32 bytes): the number in
// lower-case hexadecimal after "0x", at least two digits.
void FormatUnknownMessage(uint32_t message, char* buffer, uint32_t size);

// The module-wide 256-byte buffer shared by WindowMessageName and EnumChildProc.
constexpr uint32_t kMessageTextSize = 256;
char* MessageTextBuffer();
