#pragma once

// Platform-free part of the debug log: what the Win32 layer builds on and what tests
// use to run the log on a file of their choice and watch the message box.

#include "diag/log.h"
#include "support/fixed_string.h"

// Caption of the error message box.
extern const char kErrorMsgCaption[];

// Path of the log file in directory: directory + "\vorlexcode" [+ "_fs"] + ".log",
// kept within 254 characters.
FixedString ErrorMsgPath(const char* directory, bool fullscreen);

// Steps of InitErrorMsg after the directory lookup: resets the remembered message,
// closes a log left open, opens path for writing (emptied) and writes the start line.
bool InitErrorMsgAt(const char* path);

// Shows text in a message box owned by owner with kErrorMsgCaption; true when the user
// acknowledged it (IDOK). ShowErrorMsg calls the installed hook; without one no box
// can be shown, which counts as a failure to show it.
using ErrorBoxHook = bool (*)(HWND__* owner, const char* text, const char* caption);
ErrorBoxHook SetErrorBoxHook(ErrorBoxHook hook);  // returns the previous hook
ErrorBoxHook GetErrorBoxHook();

// The log's state, read under its lock.
LogLevel MostSevereLevel();
FixedString RememberedErrorMsg();
bool ErrorMsgStarted();
