// Test driver for the end-to-end tests: looks at and operates the saver's windows from
// another process, the way a user or the system's display settings would.
//   probe wait-window CLASS|- TITLE|- TIMEOUT_MS   prints the window's handle
//   probe wait-child PARENT CLASS TIMEOUT_MS       a child window (the preview) of PARENT
//   probe window-info HWND                         visibility, styles, class style, title, screen rectangle
//   probe gone CLASS TIMEOUT_MS                    waits until no such window exists
//   probe msgbox TITLE TIMEOUT_MS                  prints a message box's text, presses OK
//   probe dialog TIMEOUT_MS [RADIO DENSITY HIGHLIGHT] ok|cancel
//   probe mode                                     the display mode: WIDTHxHEIGHTxBITS
//   probe cursor                                   where the system thinks the pointer is
//   probe foreground                               class, title and handle of the foreground window
//   probe reg                                      the saver's three settings
//   probe host WIDTH HEIGHT SECONDS                a window to preview into; prints handle and client rect,
//                                                  then a line for each WM_HELP or WM_CONTEXTMENU it gets
//   probe post HWND MESSAGE WPARAM LPARAM          posts a message (numbers in C notation)
//   probe send HWND MESSAGE|NAME WPARAM LPARAM     sends one (a name: the registered message); prints the result
//   probe set-title HWND TEXT                      SetWindowTextA; prints its result
//   probe template FILE                            the module's dialog 2003, icons and version record
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char* Arg(int argc, char** argv, int i) { return i < argc ? argv[i] : ""; }

const char* OrNull(const char* s) { return std::strcmp(s, "-") == 0 ? nullptr : s; }

HWND WaitWindow(const char* cls, const char* title, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        HWND w = FindWindowA(cls, title);
        if (w) return w;
        if (GetTickCount() - start > timeoutMs) return nullptr;
        Sleep(50);
    }
}

void PrintHandle(HWND w) {
    std::printf("%lu\n", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(w)));
    std::fflush(stdout);
}

std::string WindowText(HWND w) {
    char buffer[1024] = {};
    GetWindowTextA(w, buffer, sizeof buffer);
    return buffer;
}

// Controls of another process keep their text to themselves; the message is marshalled.
std::string ControlText(HWND w) {
    char buffer[256] = {};
    SendMessageA(w, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

std::string ClassOf(HWND w) {
    char buffer[256] = {};
    GetClassNameA(w, buffer, sizeof buffer);
    return buffer;
}

BOOL CALLBACK CollectStatic(HWND child, LPARAM out) {
    std::string& text = *reinterpret_cast<std::string*>(out);
    if (_stricmp(ClassOf(child).c_str(), "Static") == 0) {
        const std::string t = ControlText(child);
        if (!t.empty()) text += t;
    }
    return TRUE;
}

int MessageBoxText(const char* title, DWORD timeoutMs) {
    HWND box = WaitWindow("#32770", title, timeoutMs);
    if (!box) {
        std::printf("no message box\n");
        return 1;
    }
    std::string text;
    EnumChildWindows(box, CollectStatic, reinterpret_cast<LPARAM>(&text));
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    return 0;
}

int Dialog(int argc, char** argv) {
    HWND dialog = WaitWindow("#32770", "Vorlex Code Emulator v1.12", std::strtoul(argv[2], nullptr, 10));
    if (!dialog) {
        std::printf("no dialog\n");
        return 1;
    }
    Sleep(200);  // let WM_INITDIALOG fill the controls
    int checked = 0;
    for (int id = 1000; id <= 1002; ++id)
        if (SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED) checked = id;
    const HWND owner = GetWindow(dialog, GW_OWNER);
    std::printf("shown radio=%d density=%s highlight=%s owner=%s\n", checked,
                ControlText(GetDlgItem(dialog, 1004)).c_str(), ControlText(GetDlgItem(dialog, 1005)).c_str(),
                owner ? std::to_string(reinterpret_cast<uintptr_t>(owner)).c_str() : "none");
    std::fflush(stdout);
    int button = IDOK;
    if (argc >= 7) {
        SendMessageA(GetDlgItem(dialog, std::atoi(argv[3])), BM_CLICK, 0, 0);
        SendMessageA(GetDlgItem(dialog, 1004), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[4]));
        SendMessageA(GetDlgItem(dialog, 1005), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[5]));
        button = std::strcmp(argv[6], "cancel") == 0 ? IDCANCEL : IDOK;
    } else {
        button = std::strcmp(Arg(argc, argv, 3), "cancel") == 0 ? IDCANCEL : IDOK;
    }
    SendMessageA(GetDlgItem(dialog, button), BM_CLICK, 0, 0);
    return 0;
}

int Mode() {
    DEVMODEA mode = {};
    mode.dmSize = sizeof mode;
    if (!EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode)) return 1;
    std::printf("%lux%lux%lu\n", mode.dmPelsWidth, mode.dmPelsHeight, mode.dmBitsPerPel);
    return 0;
}

int Foreground() {
    HWND w = GetForegroundWindow();
    std::printf("%s|%s|%lu\n", w ? ClassOf(w).c_str() : "", w ? WindowText(w).c_str() : "",
                static_cast<unsigned long>(reinterpret_cast<uintptr_t>(w)));
    return 0;
}

HWND HandleArg(const char* text) {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoul(text, nullptr, 10)));
}

UINT MessageArg(const char* text) {
    if (*text >= '0' && *text <= '9') return static_cast<UINT>(std::strtoul(text, nullptr, 0));
    return RegisterWindowMessageA(text);
}

// Messages from another process, as the system or a settings window would send them.
int Post(int argc, char** argv, bool send) {
    HWND w = HandleArg(Arg(argc, argv, 2));
    const UINT message = MessageArg(Arg(argc, argv, 3));
    const WPARAM wp = std::strtoul(Arg(argc, argv, 4), nullptr, 0);
    const LPARAM lp = static_cast<LPARAM>(std::strtoul(Arg(argc, argv, 5), nullptr, 0));
    if (!IsWindow(w) || message == 0) return 1;
    if (!send) return PostMessageA(w, message, wp, lp) ? 0 : 1;
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(w, message, wp, lp, SMTO_NORMAL, 5000, &result)) return 1;
    std::printf("%lu\n", static_cast<unsigned long>(result));
    return 0;
}

int Reg() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Zelvoran\\Vorlex Code Emulator", 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        std::printf("missing\n");
        return 0;
    }
    char text[64] = {};
    DWORD size = sizeof text - 1;
    DWORD type = 0;
    const bool hasText =
        RegQueryValueExA(key, "Resolution", nullptr, &type, reinterpret_cast<BYTE*>(text), &size) == ERROR_SUCCESS;
    std::printf("Resolution=%s", hasText ? text : "(none)");
    for (const char* name : {"Density", "HighlightDensity"}) {
        DWORD value = 0;
        size = sizeof value;
        if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS)
            std::printf(" %s=%lu", name, value);
        else
            std::printf(" %s=(none)", name);
    }
    std::printf("\n");
    RegCloseKey(key);
    return 0;
}

LRESULT CALLBACK HostProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_DESTROY) PostQuitMessage(0);
    if (m == WM_HELP || m == WM_CONTEXTMENU) {
        std::printf("message %04x wParam=%lu lParam=%lx\n", m, static_cast<unsigned long>(wp),
                    static_cast<unsigned long>(lp));
        std::fflush(stdout);
        return 0;
    }
    return DefWindowProcA(w, m, wp, lp);
}

int Host(int argc, char** argv) {
    const int width = std::atoi(Arg(argc, argv, 2));
    const int height = std::atoi(Arg(argc, argv, 3));
    const UINT seconds = static_cast<UINT>(std::atoi(Arg(argc, argv, 4)));
    WNDCLASSA wc = {};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = "VorlexPreviewHost";
    RegisterClassA(&wc);
    RECT r = {0, 0, width, height};
    AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
    HWND w = CreateWindowA("VorlexPreviewHost", "Preview host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100,
                           r.right - r.left, r.bottom - r.top, nullptr, nullptr, wc.hInstance, nullptr);
    if (!w) return 1;
    POINT origin = {0, 0};
    ClientToScreen(w, &origin);
    RECT client = {};
    GetClientRect(w, &client);
    std::printf("%lu %ld %ld %ld %ld\n", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(w)), origin.x, origin.y,
                client.right, client.bottom);
    std::fflush(stdout);
    SetTimer(w, 1, seconds * 1000, nullptr);
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) {
        if (m.message == WM_TIMER && m.hwnd == w) DestroyWindow(w);
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    return 0;
}

// The icons that a group lists, each made into an icon the way the system would and
// marked broken unless it comes out at the size the group states: "32x32x32 16x16x32".
std::string IconsOf(HMODULE module, int group) {
    HRSRC dir = FindResourceA(module, MAKEINTRESOURCEA(group), MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */);
    if (!dir) return "no";
    const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(module, dir)));
    WORD count = 0;
    std::memcpy(&count, bytes + 4, 2);
    std::string out;
    for (WORD i = 0; i < count; ++i) {
        const BYTE* entry = bytes + 6 + 14 * i;  // GRPICONDIRENTRY, packed
        const int width = entry[0] ? entry[0] : 256, height = entry[1] ? entry[1] : 256;
        WORD bits = 0, id = 0;
        std::memcpy(&bits, entry + 6, 2);
        std::memcpy(&id, entry + 12, 2);
        HRSRC image = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(3) /* RT_ICON */);
        HICON icon = image ? CreateIconFromResourceEx(static_cast<BYTE*>(LockResource(LoadResource(module, image))),
                                                      SizeofResource(module, image), TRUE, 0x00030000, 0, 0, 0)
                           : nullptr;
        ICONINFO info = {};
        BITMAP bitmap = {};
        const bool ok = icon && GetIconInfo(icon, &info) && GetObjectA(info.hbmColor, sizeof bitmap, &bitmap) &&
                        bitmap.bmWidth == width && bitmap.bmHeight == height;
        if (info.hbmColor) DeleteObject(info.hbmColor);
        if (info.hbmMask) DeleteObject(info.hbmMask);
        if (icon) DestroyIcon(icon);
        out += (out.empty() ? "" : " ") + std::to_string(width) + "x" + std::to_string(height) + "x" +
               std::to_string(bits) + (ok ? "" : "(broken)");
    }
    return out;
}

// Prints dialog template 2003 item by item, in the module's own resource data.
int Template(const char* file) {
    HMODULE module = LoadLibraryExA(file, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return 1;
    HRSRC res = FindResourceA(module, MAKEINTRESOURCEA(2003), MAKEINTRESOURCEA(5) /* RT_DIALOG */);
    if (!res) {
        std::printf("no dialog 2003\n");
        return 1;
    }
    const BYTE* p = static_cast<const BYTE*>(LockResource(LoadResource(module, res)));
    auto word = [&p]() {
        WORD w;
        std::memcpy(&w, p, 2);
        p += 2;
        return w;
    };
    auto dword = [&p]() {
        DWORD d;
        std::memcpy(&d, p, 4);
        p += 4;
        return d;
    };
    auto text = [&p, &word]() {
        std::string s;
        WORD first;
        std::memcpy(&first, p, 2);
        if (first == 0xFFFF) {
            word();
            return "#" + std::to_string(word());
        }
        for (WORD c = word(); c; c = word()) s += static_cast<char>(c);
        return s;
    };
    auto align = [&p]() { p = reinterpret_cast<const BYTE*>((reinterpret_cast<uintptr_t>(p) + 3) & ~uintptr_t(3)); };
    const DWORD style = dword();
    dword();  // extended style
    const WORD count = word();
    const short x = static_cast<short>(word()), y = static_cast<short>(word()), cx = static_cast<short>(word()),
                cy = static_cast<short>(word());
    const std::string menu = text(), cls = text(), caption = text();
    std::string font;
    int points = 0;
    if (style & DS_SETFONT) {
        points = word();
        font = text();
    }
    std::printf("dialog style=%08lx pos=%d,%d size=%dx%d caption=\"%s\" font=%d,\"%s\" items=%u\n", style, x, y, cx, cy,
                caption.c_str(), points, font.c_str(), count);
    for (WORD i = 0; i < count; ++i) {
        align();
        const DWORD itemStyle = dword();
        dword();
        const short ix = static_cast<short>(word()), iy = static_cast<short>(word()), icx = static_cast<short>(word()),
                    icy = static_cast<short>(word());
        const short id = static_cast<short>(word());
        const std::string itemClass = text(), itemText = text();
        const WORD extra = word();
        p += extra;
        std::printf("item id=%d class=%s text=\"%s\" pos=%d,%d size=%dx%d style=%08lx\n", id, itemClass.c_str(),
                    itemText.c_str(), ix, iy, icx, icy, itemStyle);
    }
    std::printf("icon group 104: %s\n", IconsOf(module, 104).c_str());
    std::printf("icon group 100: %s\n", IconsOf(module, 100).c_str());
    std::printf("version: %s\n", FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16)) ? "yes" : "no");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = Arg(argc, argv, 1);
    if (command == "wait-window") {
        HWND w = WaitWindow(OrNull(argv[2]), OrNull(argv[3]), std::strtoul(Arg(argc, argv, 4), nullptr, 10));
        if (!w) return 1;
        PrintHandle(w);
        return 0;
    }
    if (command == "wait-child") {
        HWND parent = HandleArg(Arg(argc, argv, 2));
        const DWORD start = GetTickCount();
        const DWORD timeout = std::strtoul(Arg(argc, argv, 4), nullptr, 10);
        HWND child;
        while (!(child = FindWindowExA(parent, nullptr, argv[3], nullptr)))
            if (GetTickCount() - start > timeout)
                return 1;
            else
                Sleep(50);
        PrintHandle(child);
        return 0;
    }
    if (command == "window-info") {
        HWND w = HandleArg(Arg(argc, argv, 2));
        RECT r = {};
        if (!IsWindow(w) || !GetWindowRect(w, &r)) return 1;
        std::printf("visible=%d style=%08lx exstyle=%08lx class=%08lx title=%s rect=%ld,%ld,%ldx%ld\n",
                    IsWindowVisible(w) ? 1 : 0, static_cast<unsigned long>(GetWindowLongA(w, GWL_STYLE)),
                    static_cast<unsigned long>(GetWindowLongA(w, GWL_EXSTYLE)),
                    static_cast<unsigned long>(GetClassLongA(w, GCL_STYLE)), WindowText(w).c_str(), r.left, r.top,
                    r.right - r.left, r.bottom - r.top);
        return 0;
    }
    if (command == "gone") {
        const DWORD start = GetTickCount();
        const DWORD timeout = std::strtoul(Arg(argc, argv, 3), nullptr, 10);
        while (FindWindowA(argv[2], nullptr))
            if (GetTickCount() - start > timeout)
                return 1;
            else
                Sleep(50);
        return 0;
    }
    if (command == "msgbox") return MessageBoxText(argv[2], std::strtoul(Arg(argc, argv, 3), nullptr, 10));
    if (command == "dialog") return Dialog(argc, argv);
    if (command == "mode") return Mode();
    if (command == "foreground") return Foreground();
    if (command == "cursor") {
        POINT p = {};
        GetCursorPos(&p);
        std::printf("%ld %ld\n", p.x, p.y);
        return 0;
    }
    if (command == "reg") return Reg();
    if (command == "host") return Host(argc, argv);
    if (command == "template") return Template(Arg(argc, argv, 2));
    if (command == "post") return Post(argc, argv, false);
    if (command == "send") return Post(argc, argv, true);
    if (command == "set-title") {
        std::printf("%d\n", SetWindowTextA(HandleArg(Arg(argc, argv, 2)), Arg(argc, argv, 3)) ? 1 : 0);
        return 0;
    }
    std::fprintf(stderr, "unknown command %s\n", command.c_str());
    return 2;
}
