#pragma once

#include <atomic>
#include <cstdint>

#include "rain/rain_model.h"

// Window and registry handles without the platform headers: the same incomplete
// types that <windows.h> names HWND and HKEY, so the fields convert without casts.
struct HWND__;
struct HKEY__;

class DDrawManager;
class GraphicsLoader;
class Animation;
struct SurfaceInfo;

struct CursorPos {
    int32_t x;
    int32_t y;
};

// The program's one state record. The window procedure fills and releases it; the
// render thread runs on it. Only the atomics are shared between the two threads;
// every other field is written before the render thread starts or by one thread only.
struct SaverState {
    static constexpr uint32_t kResolutionTextSize = 20;

    uint32_t valueSize = kResolutionTextSize;  // size argument of the registry reads
    int32_t screenWidth = 800;
    int32_t screenHeight = 600;
    int32_t resolutionIndex = 2;   // 1 = 800x600, 2 = 1024x768, 3 = 1280x1024
    uint32_t density = 300;        // falling streams, 0 ... 400
    int32_t highlightDensity = 8;  // percent of new glyphs drawn highlighted
    std::atomic<int32_t> running{1};
    uint8_t resumeLogged = 1;
    char resolutionText[kResolutionTextSize] = {};
    uint32_t keyDisposition = 0;
    CursorPos firstCursorPos = {0, 0};
    uint32_t lastFrameTime = 0;
    HWND__* parentWindow = nullptr;
    HKEY__* settingsKey = nullptr;
    RainModel rain;  // columns, rows, stream table and the owned cell grid
    std::atomic<int32_t> active{0};
    std::atomic<int32_t> framePresented{0};
    uint8_t fullscreen = 0;
    // Owning pointers: the tear-down deletes them in reverse order and clears each.
    DDrawManager* displayManager = nullptr;
    GraphicsLoader* loader = nullptr;
    Animation* glyphs = nullptr;
    const SurfaceInfo* backBuffer = nullptr;  // borrowed from the display manager
    std::atomic<uint8_t> threadEnded{0};
    std::atomic<uint8_t> monitorOff{0};
    HWND__* saverWindow = nullptr;
    uint8_t cursorCaptured = 0;
};

extern SaverState saverState;
