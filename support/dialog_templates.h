// The values of the program's dialog templates (res/harnox.rc) that the windows made
// from them, and the templates inside the built programs, must show: one table for
// every test that checks them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "harnox_version.h"
#include "res/resource.h"

struct TemplateValues {
    const char* caption;
    uint32_t style;
    uint32_t exStyle;
    int width, height;  // dialog units
};

// A control, in creation order. One without an id of its own has 65535 (the
// template's -1).
struct TemplateControl {
    int id;
    uint16_t classAtom;     // the predefined class as the template names it
    const char* className;  // as the window reports it
    const char* text;
    uint32_t style;
    uint32_t exStyle;
    int x, y, width, height;  // dialog units
};

inline constexpr TemplateValues kMainTemplate = {"Harnox", 0x10CA08C4, 0x00040100, 526, 81};
inline constexpr TemplateControl kMainControls[] = {
    {IDC_SOURCE, 0x81, "Edit", "", 0x50000080, 0x00020010, 39, 22, 420, 12},
    {IDC_FILE, 0x81, "Edit", "", 0x58010D80, 0x00020010, 39, 5, 420, 12},
    {65535, 0x82, "Static", "File:", 0x50020000, 0, 3, 6, 27, 8},
    {IDC_BROWSE, 0x80, "Button", "Browse...", 0x50018300, 0, 460, 4, 65, 12},
    {65535, 0x82, "Static", "MD5:", 0x50020000, 0, 3, 40, 26, 8},
    {IDC_MD5, 0x81, "Edit", "", 0x58011884, 0x00020000, 39, 40, 420, 36},
    {IDC_COPY, 0x80, "Button", "Copyto clipboard", 0x50018300, 0, 460, 40, 65, 12},
    {IDC_QUIT, 0x80, "Button", "Quit", 0x50018300, 0, 461, 64, 65, 12},
    {IDC_CALC, 0x80, "Button", "Calc MD5", 0x50018300, 0, 460, 22, 65, 12},
    {65535, 0x82, "Static", "Source:", 0x50020000, 0, 3, 23, 35, 8},
};

inline constexpr TemplateValues kAboutTemplate = {"About Harnox Velkora", 0x90C808CC, 0, 198, 52};
// The picture's text is the bitmap's number, IDB_ABOUT; the control takes the
// picture's size.
inline constexpr TemplateControl kAboutControls[] = {
    {65535, 0x82, "Static", "", 0x5001000E, 0, 6, 5, 43, 39},
    {65535, 0x82, "Static", HARNOX_ABOUT_PRODUCT_LINE, 0x50020000, 0, 56, 6, 121, 8},
    {65535, 0x82, "Static", "MD5 of a text or a file, free to use.", 0x50020000, 0, 56, 24, 124, 8},
};

// The Open dialog's one filter: its description, an inner NUL and its pattern. Read
// as a C string it is the description alone.
inline constexpr char kFileFilter[] = "All Files(*.*)\0*.*";
inline constexpr size_t kFileFilterLength = sizeof kFileFilter - 1;
