#pragma once
// Resource ids of the framework tests' own templates.
#define IDD_EXCHANGE      1000
#define IDC_NAME          1001
#define IDC_COUNT         1002
#define IDC_AGREE         1003
#define IDC_RADIO_FIRST   1004
#define IDC_RADIO_SECOND  1005
#define IDC_RADIO_THIRD   1006
#define IDC_CAPTION_TEXT  1007
#define IDD_PAGE_ONE      1101
#define IDD_PAGE_TWO      1102
#define IDD_PAGE_THREE    1103
#define IDC_PAGE_EDIT     1110
#define IDS_GREETING      2001
#define IDR_DOCFRAME      1300
#define IDD_FORM          1301
#define IDC_FORM_LIST     1302
#define ID_BOTH           32900
#define ID_FRAME_ONLY     32901
#define ID_APP_ONLY       32902
#define ID_ACCEL          32903
