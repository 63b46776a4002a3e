// The program's entry: the main window and its message loop. The command line and
// the show mode are not used; the window shows itself.
#include "app/dialog_shell_win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    // Stored before anything is loaded: every resource, the window's template
    // included, is loaded through it.
    programInstance = instance;
    return RunMessageLoop(CreateMainWindow());
}
