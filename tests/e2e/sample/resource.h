#pragma once
// Resource ids of the sample program.
#define IDD_SAMPLE 100
#define IDC_PROMPT 1000
#define IDC_TEXT 1001
#define IDC_DELETE 1002
#define IDC_FILES 1003
