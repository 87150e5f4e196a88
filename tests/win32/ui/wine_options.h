// Settings for running the UI programs under Wine on a bare X server.
#pragma once

// Without a window manager Wine waits two seconds for every closed window
// and draws no captions, unless it manages the windows itself ("Managed" =
// "N").  Sets that for the calling program only; must run before its first
// window.  Does nothing on Windows.
void UseUnmanagedWindowsUnderWine();
