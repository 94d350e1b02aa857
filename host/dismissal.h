#pragma once

#include <cstdint>

// The saver's input rules, free of the platform so they can be tested natively.
// Message numbers are the system's; the Win32 side checks them against <windows.h>.
namespace msg {
constexpr uint32_t kCreate = 0x0001, kDestroy = 0x0002, kSetText = 0x000C, kPaint = 0x000F, kClose = 0x0010,
                   kShowWindow = 0x0018, kActivateApp = 0x001C, kSetCursor = 0x0020, kPower = 0x0048, kHelp = 0x0053,
                   kContextMenu = 0x007B, kKeyDown = 0x0100, kSysKeyDown = 0x0104, kSysCommand = 0x0112,
                   kTimer = 0x0113, kMouseMove = 0x0200, kLButtonDown = 0x0201, kRButtonDown = 0x0204,
                   kMButtonDown = 0x0207, kPowerBroadcast = 0x0218, kVerifyPassword = 0x8000;
constexpr uint32_t kScNextWindow = 0xF040, kScPrevWindow = 0xF050, kScScreenSave = 0xF140;
constexpr uint32_t kPwrCriticalResume = 3;
}  // namespace msg

struct ScreenPoint {
    int32_t x;
    int32_t y;
};

// The host closes once the cursor is more than this far (|dx| + |dy|) from where it was remembered.
constexpr uint32_t kMouseMoveThreshold = 4;
// A refused password blocks further close requests for this long without asking again.
constexpr uint32_t kRefusalWindowMs = 200;
constexpr uint32_t kNeverVerified = 0xFFFFFFFF;

// |dx| + |dy|, saturated so that far-apart points cannot wrap to a small distance.
uint32_t CursorDistance(ScreenPoint from, ScreenPoint to);

// The host's rule: the move closes the saver.
inline bool MovedBeyondThreshold(ScreenPoint remembered, ScreenPoint now) {
    return CursorDistance(remembered, now) > kMouseMoveThreshold;
}

// The window procedure's own trap: moves of 3 pixels or less from the first recorded
// position are swallowed before the host sees them.
inline bool TrapSwallowsMove(ScreenPoint first, ScreenPoint now) { return CursorDistance(first, now) <= 3; }

// A close request this soon after a refused verification is refused without asking.
inline bool WithinRefusalWindow(uint32_t now, uint32_t lastVerification) {
    return lastVerification != kNeverVerified && now - lastVerification < kRefusalWindowMs;
}

// What the host does with a message of the full-screen saver while closing is not yet
// approved and no verification runs. The default procedure is called afterwards unless
// returnOne is set.
struct InputVerdict {
    bool postClose = false;
    bool hideCursor = false;
    bool checkMouse = false;  // compare the cursor with the remembered position
    bool returnOne = false;   // answered here, the default procedure is not called
};
InputVerdict ClassifySaverInput(uint32_t message, uintptr_t wParam);

// How the class's window procedure treats a message before the application sees it.
enum class SaverRoute {
    kPassOn,                // to the application's window procedure
    kHideCursorThenPassOn,  // full-screen paint: keep the pointer hidden
    kSleepThenPassOn,       // timer: give up the time slice first
    kDefault,               // the system's default window procedure
    kReturnZero,
    kForwardToParent,  // preview: help and context menu belong to the settings window
};
SaverRoute RouteSaverMessage(uint32_t message, uintptr_t wParam, bool preview, bool closeApproved);
