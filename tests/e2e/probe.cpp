// Looks at and operates the saver's windows from another process, as a user or the system would.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char* Arg(int i) { return i < __argc ? __argv[i] : ""; }
unsigned long Num(int i) { return std::strtoul(Arg(i), nullptr, 0); }
HWND Handle(int i) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(Num(i))); }
unsigned long Id(HWND w) { return static_cast<unsigned long>(reinterpret_cast<uintptr_t>(w)); }

HWND Find(HWND parent, const char* cls, const char* title, DWORD timeoutMs) {
    for (const DWORD start = GetTickCount();; Sleep(50)) {
        if (HWND w = FindWindowExA(parent, nullptr, cls, title)) return w;
        if (GetTickCount() - start >= timeoutMs) return nullptr;
    }
}

std::string Text(HWND w) {
    char buffer[1024] = {};
    SendMessageA(w, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer));  // marshalled across processes
    return buffer;
}

int Dialog(HWND d) {
    if (!d) return 1;
    Sleep(200);  // let WM_INITDIALOG fill the controls
    int checked = 0;
    for (int id = 1000; id <= 1002; ++id) checked = IsDlgButtonChecked(d, id) == BST_CHECKED ? id : checked;
    const HWND owner = GetWindow(d, GW_OWNER);
    std::printf("shown radio=%d density=%s highlight=%s edge=%lx owner=%s\n", checked,
                Text(GetDlgItem(d, 1004)).c_str(), Text(GetDlgItem(d, 1005)).c_str(),
                GetWindowLongA(GetDlgItem(d, 1004), GWL_EXSTYLE), owner ? std::to_string(Id(owner)).c_str() : "none");
    if (__argc >= 7) SendMessageA(GetDlgItem(d, Num(3)), BM_CLICK, 0, 0);
    for (int i = 4; __argc >= 7 && i <= 5; ++i)
        SendMessageA(GetDlgItem(d, 1000 + i), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Arg(i)));
    SendMessageA(GetDlgItem(d, std::strcmp(Arg(__argc - 1), "cancel") == 0 ? IDCANCEL : IDOK), BM_CLICK, 0, 0);
    return 0;
}

LRESULT CALLBACK HostProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_DESTROY) PostQuitMessage(0);
    if (m != WM_CONTEXTMENU) return DefWindowProcA(w, m, wp, lp);
    std::printf("contextmenu wParam=%lu lParam=%lx\n", static_cast<unsigned long>(wp), static_cast<unsigned long>(lp));
    return 0;
}

// A window to own a dialog or to preview into (at 100,100 or X Y); it goes after the given seconds or on WM_CLOSE.
int Host() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "VorlexPreviewHost";
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);  // to be seen where nothing covers it
    RegisterClassA(&wc);
    const int x = __argc > 6 ? static_cast<int>(Num(5)) : 100, y = __argc > 6 ? static_cast<int>(Num(6)) : 100;
    HWND w = CreateWindowA(wc.lpszClassName, "Preview host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y, Num(2), Num(3),
                           nullptr, nullptr, wc.hInstance, nullptr);
    RECT r = {};
    POINT origin = {0, 0};
    ClientToScreen(w, &origin);
    GetClientRect(w, &r);
    std::printf("%lu %ld %ld %ld %ld\n", Id(w), origin.x, origin.y, r.right, r.bottom);
    SetTimer(w, 1, Num(4) * 1000, nullptr);
    for (MSG m; GetMessageA(&m, nullptr, 0, 0) > 0; DispatchMessageA(&m))
        if (m.message == WM_TIMER && m.hwnd == w) DestroyWindow(w);
    return 0;
}

// Messages from another process, as the system or a settings window would send them.
int Post(bool send) {
    HWND w = Handle(2);
    const UINT message = *Arg(3) >= '0' && *Arg(3) <= '9' ? Num(3) : RegisterWindowMessageA(Arg(3));
    DWORD_PTR result = 0;
    if (!IsWindow(w) || message == 0) return 1;
    if (!send) return PostMessageA(w, message, Num(4), static_cast<LPARAM>(Num(5))) ? 0 : 1;
    if (!SendMessageTimeoutA(w, message, Num(4), static_cast<LPARAM>(Num(5)), SMTO_NORMAL, 5000, &result)) return 1;
    return std::printf("%lu\n", static_cast<unsigned long>(result)) < 0;
}

}  // namespace

int main() {
    setvbuf(stdout, nullptr, _IONBF, 0);  // each line at once: the host window runs on while the test reads
    const std::string command = Arg(1);
    RECT r = {};
    DEVMODEA mode = {};
    mode.dmSize = sizeof mode;
    if (command == "find") {
        HWND w = Find(Handle(2), Arg(3), nullptr, Num(4));
        return w ? std::printf("%lu\n", Id(w)) < 0 : 1;
    }
    if (command == "info") {
        HWND w = Handle(2);
        if (!IsWindow(w) || !GetWindowRect(w, &r)) return 1;
        std::printf("visible=%d style=%08lx exstyle=%08lx class=%08lx title=%s rect=%ld,%ld,%ldx%ld\n",
                    IsWindowVisible(w), GetWindowLongA(w, GWL_STYLE), GetWindowLongA(w, GWL_EXSTYLE),
                    GetClassLongA(w, GCL_STYLE), Text(w).c_str(), r.left, r.top, r.right - r.left, r.bottom - r.top);
        return 0;
    }
    if (command == "msgbox") {  // the text of its static controls
        HWND box = Find(nullptr, "#32770", Arg(2), Num(3));
        std::string text;
        for (HWND c = nullptr; box && (c = FindWindowExA(box, c, "Static", nullptr));) text += Text(c);
        if (!box || std::printf("%s\n", text.c_str()) < 0) return 1;
        return !PostMessageA(box, WM_COMMAND, IDOK, reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    }
    if (command == "dialog") return Dialog(Find(nullptr, "#32770", nullptr, Num(2)));
    if (command == "mode" && EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode))
        return std::printf("%lux%lux%lu\n", mode.dmPelsWidth, mode.dmPelsHeight, mode.dmBitsPerPel) < 0;
    if (command == "foreground") return std::printf("%lu\n", Id(GetForegroundWindow())) < 0;
    if (command == "host") return Host();
    if (command == "post" || command == "send") return Post(command == "send");
    return 2;
}
