// The main window's fields as the calculate command's form.
#include "app/calculate_on_main_window_win32.h"

#include "app/calculate_command.h"
#include "app/system_clock.h"
#include "res/resource.h"

namespace {

struct DialogForm {
    HWND window;

    int ReadSource(char* buffer, int size) { return static_cast<int>(GetDlgItemTextA(window, IDC_SOURCE, buffer, size)); }
    int ReadFile(char* buffer, int size) { return static_cast<int>(GetDlgItemTextA(window, IDC_FILE, buffer, size)); }
    void WriteMd5(const char* text) { SetDlgItemTextA(window, IDC_MD5, text); }
    void EmptyFile() { SetDlgItemTextA(window, IDC_FILE, ""); }
};

}  // namespace

bool CalculateOnMainWindow(HWND window)
{
    DialogForm form{window};
    SystemClock clock;
    return CalculateCommand(form, clock);
}
