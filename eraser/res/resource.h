#pragma once
// Resource ids of Purgix.

// Frame: menu, accelerators, toolbar, document string and icon.
#define IDR_MAINFRAME            128
#define IDR_LIST_CONTEXT         158
#define IDB_TOOLBAR              242
// The progress dialog's animation: a file, a scrap of it travelling along the arc, the shredder.
#define IDB_ANIM_FILE            243
#define IDB_ANIM_SCRAP           244
#define IDB_ANIM_SHREDDER        245
#define IDI_CAPTION              276

// Dialog templates.
#define IDD_ABOUTBOX             100
#define IDD_PURGIX_FORM          101
#define IDD_ERASE_PROGRESS       209
#define IDD_ADVANCED             336
#define IDD_SET_PASSWORD         337
#define IDD_INPUT_PASSWORD       339
#define IDD_PROPERTIES           340

// Controls.
#ifndef IDC_STATIC
#define IDC_STATIC               -1
#endif
#define IDC_ERASE_LIST           1005
#define IDC_PASSWORD             1006
#define IDC_NEW_PASSWORD         1007
#define IDC_CONFIRM_PASSWORD     1008
#define IDC_TOTAL_PROGRESS       1046
#define IDC_CURRENT_PROGRESS     1047
#define IDC_STATUS_PATH          1049
#define IDC_PROGRESS_CANCEL      1055
#define IDC_RADIO_0000           1075
#define IDC_RADIO_1111           1076
#define IDC_RADIO_0101           1077
#define IDC_COMBO_PASSES         1078
#define IDC_COMBO_BUFFER         1079
#define IDC_SAVE_LIST            1080
#define IDC_RADIO_1010           1081
#define IDC_RADIO_NSA            1083
#define IDC_ANIM_END_LEFT        1087
#define IDC_ANIM_END_RIGHT       1088
#define IDC_ANIM_FIRST           1089
#define IDC_ANIM_LAST            1110
#define IDC_PASS_TEXT            1121

// Commands.
#define ID_ABOUT                 57664
#define ID_ADD_FILES             57601
#define ID_ADD_FOLDER            32803
#define ID_SELECT_ALL            32805
#define ID_REMOVE_SELECTED       32811
#define ID_VIEW_LARGE_ICONS      32773
#define ID_VIEW_SMALL_ICONS      32774
#define ID_VIEW_LIST             32775
#define ID_VIEW_DETAILS          32776
#define ID_VIEW_GRID             32778
#define ID_OPEN_ITEM             32831
#define ID_PROPERTIES            32876
#define ID_CLOSE                 32861
#define ID_HELP_TOPICS           32787
#define ID_ERASE_ALL             32782
#define ID_ERASE_SELECTED        32818
#define ID_SHOW_LOG              32864
#define ID_SETTINGS              32828
#define ID_SETTINGS_METHOD       32780

// Strings.
#define IDS_LOG_ERASED           61487
#define IDS_LOG_NOT_ERASED       61488
#define IDS_LOG_HEADER           61489
#define IDS_TOO_MANY_FILES       61494
#define IDS_NO_OLD_PASSWORD      61495
#define IDS_PASSWORD_SET         61496
#define IDS_OLD_PASSWORD_WRONG   61497
#define IDS_CHECK_INPUT          61498
#define IDS_BYTES                62058
#define IDS_TEMP_WIPED           62066
#define IDS_CONFIRM_STOP         62067
#define IDS_STOP_CAPTION         62068
#define IDS_WRITE_PROTECTED      62085
#define IDS_CONFIRM_ERASE        62100

// The erase list: the fuller toolbar variant, the properties dialog's values and the commands of
// the fuller toolbar that other windows carry out.
#define IDR_TOOLBAR_FULL         129
#define IDC_PROP_SIZE            1066
#define IDC_PROP_FOLDERS         1073
#define IDC_PROP_FILES           1074
#define ID_DROP_WINDOW           32865
#define ID_FREE_SPACE_WIPE       32878
#define ID_PARTITION_WIPE        32880
#define ID_RECOVERY_CHECK        32883
