// Identifiers of the program's resources and controls.
#ifndef HARNOX_RESOURCE_H
#define HARNOX_RESOURCE_H

#define IDD_MAIN 101
#define IDI_APP 105
#define IDD_ABOUT 107
#define IDM_ABOUT 108
#define IDB_ABOUT 109

#define IDC_SOURCE 1006
#define IDC_BROWSE 1007
#define IDC_COPY 1008
#define IDC_QUIT 1009
#define IDC_CALC 1011
#define IDC_MD5 1012
#define IDC_FILE 1013

#define IDS_FILE_FILTER 40000

#endif
