#pragma once

#include <cstdint>

class FixedString;
struct HWND__;

// Severity of a log line; higher is more severe.
using LogLevel = uint32_t;
constexpr LogLevel LOG_SPAM = 0;
constexpr LogLevel LOG_GOSSIP = 1;
constexpr LogLevel LOG_INFO = 2;
constexpr LogLevel LOG_WARNING = 3;
constexpr LogLevel LOG_ERROR = 4;
constexpr LogLevel LOG_PANIC = 5;

// Starts the log in the Windows directory: vorlexcode_fs.log when fullscreen, else
// vorlexcode.log; an existing file is emptied. False when the file cannot be opened.
// (Windows only; tests start the core on a path of their own, see diag/log_core.h.)
bool InitErrorMsg(bool fullscreen);

// Writes "<level prefix><text>\n" and remembers the text when its level is at least
// the most severe one so far. Silent while the log is not started. Safe from any thread.
void ErrorMsg(const char* text, LogLevel level);
void ErrorMsg(const FixedString& text, LogLevel level);

// Shows the remembered message in a message box when it is LOG_ERROR or worse, then
// forgets it (level 0, "No Error").
void ShowErrorMsg(HWND__* owner);

// Writes the stop line and closes the file.
void StopErrorMsg();
