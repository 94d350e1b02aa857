#include <cstring>
#include <mutex>
#include <new>

#include "diag/log_core.h"
#include "glyphs/file.h"

const char kErrorMsgCaption[] = "Vorlex Code Emulator";

namespace {

constexpr const char kNoError[] = "No Error";

struct Prefix {
    const char* text;
    int32_t length;
};

constexpr Prefix kPrefixes[] = {
    {"LOG_SPAM: ", 10},    {"LOG_GOSSIP: ", 12}, {"LOG_INFO: ", 10},
    {"LOG_WARNING: ", 13}, {"LOG_ERROR: ", 11},  {"LOG_PANIC: ", 11},
};
constexpr Prefix kUnknownPrefix = {"LOG_PANIC (UNRECONGNIZED STATE): ", 33};

// One lock for the file and the remembered message: lines from the window thread and
// the render thread never interleave, and the remembered text is never half-copied.
std::mutex logLock;
File* logFile = nullptr;
LogLevel mostSevere = 0;
FixedString remembered;
ErrorBoxHook errorBox = nullptr;

const Prefix& PrefixOf(LogLevel level) {
    return level < sizeof kPrefixes / sizeof kPrefixes[0] ? kPrefixes[level] : kUnknownPrefix;
}

// Caller holds logLock. A failed write ends the line early, and it is then not remembered.
template <typename Remember>
void WriteLine(const char* text, LogLevel level, Remember remember) {
    if (logFile == nullptr || logFile->OpenError() != 0) return;
    const Prefix& prefix = PrefixOf(level);
    if (logFile->Write(prefix.text, prefix.length) != 0) return;
    const size_t length = text != nullptr ? std::strlen(text) : 0;
    if (length > 0 && logFile->Write(text, static_cast<int32_t>(length)) != 0) return;
    if (logFile->Write("\n", 1) != 0) return;
    if (level >= mostSevere) {
        mostSevere = level;
        remember();
    }
}

void ErrorMsgLocked(const char* text, LogLevel level) {
    WriteLine(text, level, [text] { remembered = text; });
}

void ResetRemembered() {
    mostSevere = 0;
    remembered = kNoError;
}

void CloseLogFile() {
    delete logFile;
    logFile = nullptr;
}

}  // namespace

FixedString ErrorMsgPath(const char* directory, bool fullscreen) {
    FixedString path(directory);
    path.Append("\\vorlexcode");
    if (fullscreen) path.Append("_fs");
    path.Append(".log");
    return path;
}

// A second start without a stop closes the earlier file first.
bool InitErrorMsgAt(const char* path) {
    std::lock_guard<std::mutex> hold(logLock);
    ResetRemembered();
    CloseLogFile();
    logFile = new (std::nothrow) File(path, File::kModeWrite);
    if (logFile == nullptr || logFile->OpenError() != 0) return false;
    ErrorMsgLocked("[InitErrorMsg] DEBUG SESSION STARTED\n", LOG_INFO);
    return true;
}

void ErrorMsg(const char* text, LogLevel level) {
    std::lock_guard<std::mutex> hold(logLock);
    ErrorMsgLocked(text, level);
}

void ErrorMsg(const FixedString& text, LogLevel level) {
    std::lock_guard<std::mutex> hold(logLock);
    WriteLine(text.Text(), level, [&text] { remembered = text; });
}

// The box is shown without holding the lock: it blocks until the user answers.
void ShowErrorMsg(HWND__* owner) {
    bool show;
    FixedString message;
    ErrorBoxHook box;
    {
        std::lock_guard<std::mutex> hold(logLock);
        show = mostSevere >= LOG_ERROR;
        message = remembered;
        box = errorBox;
    }
    if (show) {
        const bool acknowledged = box != nullptr && box(owner, message.Text(), kErrorMsgCaption);
        if (!acknowledged) ErrorMsg("[ShowErrorMsg] Unable to display error message", LOG_ERROR);
    }
    std::lock_guard<std::mutex> hold(logLock);
    ResetRemembered();
}

void StopErrorMsg() {
    std::lock_guard<std::mutex> hold(logLock);
    ErrorMsgLocked("\n[StopErrorMsg] DEBUG SESSION TERMINATED", LOG_INFO);
    CloseLogFile();
}

ErrorBoxHook SetErrorBoxHook(ErrorBoxHook hook) {
    std::lock_guard<std::mutex> hold(logLock);
    const ErrorBoxHook previous = errorBox;
    errorBox = hook;
    return previous;
}

ErrorBoxHook GetErrorBoxHook() {
    std::lock_guard<std::mutex> hold(logLock);
    return errorBox;
}

LogLevel MostSevereLevel() {
    std::lock_guard<std::mutex> hold(logLock);
    return mostSevere;
}

FixedString RememberedErrorMsg() {
    std::lock_guard<std::mutex> hold(logLock);
    return remembered;
}

bool ErrorMsgStarted() {
    std::lock_guard<std::mutex> hold(logLock);
    return logFile != nullptr && logFile->OpenError() == 0;
}
