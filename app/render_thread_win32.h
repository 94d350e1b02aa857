#pragma once

// The render thread: started once with the runtime's thread start after a successful
// window creation, it draws a frame every 30 ms or more while saverState.active is 1,
// idles while it is 0 and ends (setting saverState.threadEnded) once running is cleared.
// The argument is ignored. Exported from the module under this name.
extern "C" void __cdecl DrawVorlex(void* unused);
