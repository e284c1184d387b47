// Resource ids of Lockvale.
#pragma once

// Icons and bitmaps
#define IDR_MAINFRAME               128
#define IDB_BACKGROUND              132
#define IDB_DISK_CLOSED             140
#define IDB_DISK_OPEN               141
#define IDB_WIZARD                  143
#define IDB_SMALL_CLOSED            149
#define IDB_SMALL_OPEN              150

// Dialogs and menus
#define IDD_ABOUTBOX                100
#define IDD_LOCKVALE_DIALOG         102
#define IDD_SELECT_FILE             133
#define IDD_SET_PASSWORD            134
#define IDD_CREATE_DISK             135
#define IDD_INPUT_PASSWORD          137
#define IDR_TRAY_MENU               137
#define IDD_SMALL                   148
#define IDD_MOVE_IN                 160

// Strings
#define IDS_ABOUTBOX                101
#define IDS_HINT_DEFAULT            102
#define IDS_HINT_CREATE             103
#define IDS_HINT_CHOOSE             104
#define IDS_HINT_MOUNT              105
#define IDS_HINT_ERASE              106
#define IDS_FILE_EXISTS             107
#define IDS_SIZE_TOO_SMALL          108
#define IDS_SIZE_TOO_LARGE          109
#define IDS_DRIVER_MISSING          110
#define IDS_CONFIRM_EXIT            111
#define IDS_FORMATTING              118
#define IDS_NO_WIN2K                120
#define IDS_MOUNT_DISK              146
#define IDS_DISMOUNT_DISK           147
#define IDS_NO_IMAGE                149
#define IDS_DISK_OPEN               150
#define IDS_DISK_CLOSED             151
#define IDS_CONFIRM_DISMOUNT        152
#define IDS_MOVE_NO_DISK            170
#define IDS_MOVE_PATH_TOO_LONG      171
#define IDS_MOVE_ON_DISK            172
#define IDS_MOVE_IS_IMAGE           173
#define IDS_MOVE_DRIVE_ROOT         174
#define IDS_MOVE_SAME_NAME          175
#define IDS_MOVE_MISSING            176
#define IDS_MOVE_CANNOT_LIST        177
#define IDS_MOVE_NO_ROOM            178
#define IDS_MOVE_REPLACE            179
#define IDS_MOVE_MERGE_FOLDER       180
#define IDS_MOVE_READ_FAILED        181
#define IDS_MOVE_WRITE_FAILED       182
#define IDS_MOVE_COMPARE_FAILED     183
#define IDS_MOVE_UNDONE             184
#define IDS_MOVE_CANCELLED          185
#define IDS_MOVE_LEFTOVERS          186
#define IDS_MOVE_DONE               187
#define IDS_MOVE_NOT_HANDED         188
#define IDS_MOVE_BUSY               189
#define IDS_MOVE_CHECKING           190
#define IDS_MOVE_CANCELLING         191
#define IDS_MOVE_BYTES              192
#define IDS_APP_TITLE               57344

// Controls of the main dialog
#define IDC_CREATE                  1000
#define IDC_MOUNT                   1002
#define IDC_ERASE                   1004
#define IDC_CHOOSE_IMAGE            1010
#define IDC_HINT                    1017
#define IDC_SUPPORT_MAIL            1019
#define IDC_IMAGE_LABEL             1020
#define IDC_IMAGE_PATH              1021
#define IDC_STATE_PICTURE           1022
#define IDC_STATE_TEXT              1023
#define IDC_ERASE_TEXT              1026
#define IDC_WELCOME                 1028
#define IDC_EXIT                    1036
#define IDC_WEB_LINK                1038
#define IDC_HELP_BUTTON             9

// Controls of the wizard pages and the password prompt
#define IDC_FILE_NAME               1007
#define IDC_FOLDER                  1008
#define IDC_BROWSE                  1010
#define IDC_SIZE_MB                    1012
#define IDC_CONFIRM                 1014
#define IDC_PASSWORD                1015
#define IDC_DRIVE_LIST              1015
#define IDC_PROMPT_DRIVES           1016
#define IDC_CREATE_STATUS           1037
#define IDC_WIZARD_PICTURE          1039

// Controls of the move's progress window
#define IDC_MOVE_FILE               1040
#define IDC_MOVE_BYTES              1041
#define IDC_MOVE_BAR                1042

// Controls of the small window
#define IDC_SMALL_PICTURE           1027
#define IDC_SMALL_TEXT              1029

// Commands
#define IDM_ABOUTBOX                16
#define ID_TRAY_SHOW                32774
#define ID_TRAY_HELP                32775
#define ID_TRAY_EXIT                32776
#define ID_TRAY_SMALL               32779
#define ID_TRAY_ABOUT               32781

// The notification-area icon's callback message and identifier
#define WM_TRAY_NOTIFY              0x414
#define IDI_TRAY                    137
