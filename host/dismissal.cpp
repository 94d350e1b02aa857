#include "host/dismissal.h"

uint32_t CursorDistance(ScreenPoint from, ScreenPoint to) {
    int64_t dx = static_cast<int64_t>(to.x) - from.x;
    int64_t dy = static_cast<int64_t>(to.y) - from.y;
    if (dx < 0) dx = -dx;
    if (dy < 0) dy = -dy;
    const int64_t sum = dx + dy;
    return sum > 0xFFFFFFFF ? 0xFFFFFFFFu : static_cast<uint32_t>(sum);
}

InputVerdict ClassifySaverInput(uint32_t message, uintptr_t wParam) {
    InputVerdict v;
    switch (message) {
        case msg::kShowWindow:
            v.hideCursor = wParam != 0;
            break;
        case msg::kActivateApp:
            v.postClose = wParam == 0;
            break;
        case msg::kSetCursor:
            v.hideCursor = true;
            v.returnOne = true;
            break;
        case msg::kPower:
            v.postClose = wParam == msg::kPwrCriticalResume;
            break;
        case msg::kPowerBroadcast:
        case msg::kKeyDown:
        case msg::kSysKeyDown:
        case msg::kLButtonDown:
        case msg::kRButtonDown:
        case msg::kMButtonDown:
            v.postClose = true;
            break;
        case msg::kMouseMove:
            v.checkMouse = true;
            break;
        default:
            break;
    }
    return v;
}

SaverRoute RouteSaverMessage(uint32_t message, uintptr_t wParam, bool preview, bool closeApproved) {
    switch (message) {
        case msg::kSetText:
            return SaverRoute::kReturnZero;
        case msg::kPaint:
            if (closeApproved) return SaverRoute::kDefault;
            return preview ? SaverRoute::kPassOn : SaverRoute::kHideCursorThenPassOn;
        case msg::kHelp:
        case msg::kContextMenu:
            return preview ? SaverRoute::kForwardToParent : SaverRoute::kPassOn;
        case msg::kKeyDown:
        case msg::kSysKeyDown:
        case msg::kMouseMove:
        case msg::kLButtonDown:
        case msg::kRButtonDown:
        case msg::kMButtonDown:
            return closeApproved ? SaverRoute::kDefault : SaverRoute::kPassOn;
        case msg::kSysCommand:
            if (!preview &&
                (wParam == msg::kScNextWindow || wParam == msg::kScPrevWindow || wParam == msg::kScScreenSave))
                return SaverRoute::kReturnZero;
            return SaverRoute::kPassOn;
        case msg::kTimer:
            return closeApproved ? SaverRoute::kReturnZero : SaverRoute::kSleepThenPassOn;
        default:
            return SaverRoute::kPassOn;
    }
}
