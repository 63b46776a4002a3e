// Resource identifiers of the program, shared by the resource script and the code.
#pragma once

// Dialog templates.
#define IDD_MAIN 101
#define IDD_ABOUT 107

// Icon group and bitmap.
#define IDI_APP 105
#define IDB_ABOUT 109

// System-menu command.
#define IDM_ABOUT 108

// Controls of the main window; the labels carry -1 and are never addressed.
#define IDC_SOURCE 1006
#define IDC_BROWSE 1007
#define IDC_COPY 1008
#define IDC_QUIT 1009
#define IDC_CALC 1011
#define IDC_MD5 1012
#define IDC_FILE 1013
#define IDC_STATIC -1

// Strings.
#define IDS_FILE_FILTER 40000
