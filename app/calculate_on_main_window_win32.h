// The calculate command over the main window's fields and the performance counter.
#pragma once

#include <windows.h>

// What Calc MD5 does, on the main window: true when a digest was computed and shown.
bool CalculateOnMainWindow(HWND window);
