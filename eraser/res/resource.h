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
#define IDS_FREE_WIPE_DONE       62055
#define IDS_FREE_WIPE_FAILED     62056
#define IDS_PARTITION_TITLE      62074
#define IDS_PARTITION_DONE       62083
#define IDS_PARTITION_FAILED     62084
#define IDS_NAMES_NOT_CLEARED    62144

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

// The disk-level features: the disk wipe dialog and its progress strip, the partition wipe's
// warning, the recoverable-files check with its advanced search and exit progress.
#define IDD_DISK_WIPE            343
#define IDD_PARTITION_WARNING    387
#define IDD_RECOVERABLE_FILES    388
#define IDD_EXIT_PROGRESS        392
#define IDD_ADVANCED_SEARCH      394
#define IDB_STRIP_EVEN           372
#define IDB_STRIP_ODD            373
#define IDB_DRIVE                388
#define IDB_DRIVE_MASK           389
#define IDC_DRIVE_INFO           1112
#define IDC_PARTITION_STATUS     1124
#define IDC_WIPE_STRIP           10258
#define IDC_WARNING_TEXT         1123
#define IDC_INCLUDE_HARD_DISKS   1008
#define IDC_DISK_COMBO           1084
#define IDC_SHOW_100             1125
#define IDC_SHOW_ALL             1126
#define IDC_DISK_INFO            1127
#define IDC_SEARCH_STATE         1128
#define IDC_FOUND_COUNT          1129
#define IDC_FOUND_LIST           1130
#define IDC_SEARCH               1131
#define IDC_ADVANCED_SEARCH      1132
#define IDC_PREVIEW_TOGGLE       1139
#define IDC_HELP_BUTTON          1060
#define IDC_PREVIEW              1140
#define IDC_PREVIEW_HEX          1141
#define IDC_PREVIEW_PATH         1142
#define IDC_PREVIEW_TEXT         1143
#define IDC_EXIT_PROGRESS        1125
#define IDC_TYPE_COMBO           1084
#define IDC_TYPED_EXTENSION      1133
#define IDC_SEARCH_ALL           1077
#define IDC_SEARCH_RECENT        1137
#define IDC_SEARCH_DATES         1076
#define IDC_DATE_FROM            1134
#define IDC_DATE_TO              1135

// System information: the command, the dialog with its tree, the tree's icons and the waiting text.
// The tree's labels are strings 62115 to 62143 (eraser/sysinfo/SystemReport.h).
#define ID_SYSTEM_INFO           32890
#define IDD_SYSTEM_INFO          397
#define IDC_SYSINFO_TREE         1024
#define IDI_SYSINFO_MEMORY       399
#define IDI_SYSINFO_COMPUTER     400
#define IDI_SYSINFO_CPU          401
#define IDI_SYSINFO_DISK         402
#define IDI_SYSINFO_CDROM        403
#define IDI_SYSINFO_ROOT         404
#define IDI_SYSINFO_LOGICAL      405
#define IDS_PLEASE_WAIT          62145

// The start-up password's set dialog, the small drop window with its pictures and menu, and the
// commands that show and hide the drop window and the main window.
#define ID_SET_PASSWORD          32874
#define IDD_DROP_WINDOW          268
#define IDR_DROP_MENU            270
#define IDB_DROP_FULL            332
#define IDB_DROP_EMPTY           333
#define IDC_DROP_PICTURE         1069
#define ID_HIDE_MAIN             32868
#define ID_SHOW_MAIN             32869
#define ID_APP_EXIT              57665
#define IDS_SETTINGS_OPEN_TITLE  61499
// The settings sheet's pages: the erase-method page with its select-all box and its entry to the
// advanced dialog, and the browser-history page with its help buttons and the text they fill.
#define IDD_ERASURE_SETUP        134
#define IDD_IE_WIPE_SETUP        135
#define IDB_HELP_HINT            140
#define IDC_NSA_WIPE             1008
#define IDC_WIPE_NAMES           1018
#define IDC_WIPE_EXTEND          1019
#define IDC_CONFIRM_ERASE        1020
#define IDC_SELECT_ALL_OPTIONS   1021
#define IDC_EXIT_AFTER_ERASE     1022
#define IDC_ADVANCED             1071
#define IDC_SKIP_CACHE           1008
#define IDC_SKIP_URLS            1018
#define IDC_SKIP_COOKIES         1019
#define IDC_SKIP_HISTORY         1020
#define IDC_SKIP_RECENT          1022
#define IDC_HELP_CACHE           1009
#define IDC_HELP_URLS            1010
#define IDC_HELP_COOKIES         1011
#define IDC_HELP_HISTORY         1012
#define IDC_HELP_RECENT          1015
#define IDC_IE_HELP_TEXT         1028
// The privacy cleaners: the IE clean-up's progress window, the Outlook Express deleted-mail dialog,
// the temporary-files dialog with its summary, the shares dialog, their commands and messages.
#define ID_IE_CLEANUP            32785
#define ID_OUTLOOK_MAIL          32877
#define ID_TEMP_FILES            32879
#define ID_SHARES                32889
#define IDD_IE_PROGRESS          162
#define IDD_OUTLOOK_MAIL         342
#define IDD_TEMP_FILES           346
#define IDD_TEMP_SUMMARY         375
#define IDD_SHARES               396
#define IDB_SHARES_SIDE          206
#define IDC_IE_STEP_TEXT         1028
#define IDC_CLEANER_PROGRESS     1046
#define IDC_MAIL_SIZE            1122
#define IDC_TEMP_SIZE            1111
#define IDC_TEMP_PERCENT         1120
#define IDC_SUMMARY_ERASED_SIZE  1115
#define IDC_SUMMARY_ERASED_COUNT 1116
#define IDC_SUMMARY_KEPT_SIZE    1117
#define IDC_SUMMARY_KEPT_COUNT   1118
#define IDC_SUMMARY_TITLE        1119
#define IDC_SHARE_LIST           1005
#define IDC_SHARE_WITHDRAW       1009
#define IDC_SHARE_WITHDRAW_ALL   1010
#define IDC_SHARE_HELP           1011
#define IDS_FILE_NOT_FOUND       101
#define IDS_CONFIRM_IE_CLEANUP   61453
#define IDS_TEMP_SIZE            62057
#define IDS_MAIL_WIPED           62062
#define IDS_TEMP_SUMMARY_TITLE   62065
#define IDS_CLOSE_OUTLOOK        62069
#define IDS_OUTLOOK_MISSING      62072
#define IDS_MAIL_ALREADY_WIPED   62073
#define IDS_SHARE_NAME           62101
#define IDS_SHARE_PATH           62102
#define IDS_SHARE_FAILED         62103
// The settings sheet's interface page: the log switch, the log's and the colours' bitmap buttons, the
// context-menu box with its status and hidden register buttons; the toolbar's settings command.
#define IDD_GLOBAL_SETUP         133
#define IDC_LOG_ALL              1008
#define IDC_VIEW_LOG             1009
#define IDC_EMPTY_LOG            1010
#define IDC_BK_COLOR             1011
#define IDC_TEXT_COLOR           1012
#define IDC_SHELL_ADD            1013
#define IDC_SHELL_REMOVE         1014
#define IDC_SHELL_MENU           1018
#define IDC_SHELL_STATUS         1138
#define IDB_REMOVE_NORMAL        289
#define IDB_REMOVE_SELECTED      290
#define IDB_REMOVE_FOCUS         291
#define IDB_REMOVE_DISABLED      292
#define IDB_ADD_NORMAL           293
#define IDB_ADD_SELECTED         294
#define IDB_ADD_FOCUS            295
#define IDB_ADD_DISABLED         296
#define IDB_TEXT_COLOR_NORMAL    297
#define IDB_TEXT_COLOR_SELECTED  298
#define IDB_TEXT_COLOR_FOCUS     299
#define IDB_BK_COLOR_NORMAL      301
#define IDB_BK_COLOR_SELECTED    302
#define IDB_BK_COLOR_FOCUS       303
#define IDB_EMPTY_LOG_NORMAL     304
#define IDB_EMPTY_LOG_SELECTED   305
#define IDB_EMPTY_LOG_FOCUS      306
#define IDB_VIEW_LOG_NORMAL      307
#define IDB_VIEW_LOG_SELECTED    308
#define IDB_VIEW_LOG_FOCUS       309
#define IDS_SHELL_ON             62104
#define IDS_SHELL_OFF            62105
#define ID_SETTINGS_TOOL         32885
