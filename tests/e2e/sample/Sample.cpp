// A small dialog program that the end-to-end tests drive with automate: Chinese texts, an edit, a
// list view, a button that shows a message box, and a result file.
//
//   sample OUTPUT    OK writes the edit's text (GBK bytes, nothing added) to OUTPUT and exits with 0;
//                    Cancel exits with 1; when OUTPUT cannot be written it says so and exits with 3.
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <string>

#include "resource.h"

namespace {

const char* g_output = nullptr;

void FillList(HWND list) {
    struct Column {
        const char* title;
        int width;
    };
    static const Column kColumns[] = {{"名称", 120}, {"大小", 80}};
    static const char* const kRows[][2] = {{"禱告.txt", "1 KB"}, {"淺水.doc", "12 KB"}};
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
    for (int i = 0; i < 2; ++i) {
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = const_cast<char*>(kColumns[i].title);
        column.cx = kColumns[i].width;
        SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
    for (int row = 0; row < 2; ++row) {
        LVITEMA item{};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.pszText = const_cast<char*>(kRows[row][0]);
        SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        item.iSubItem = 1;
        item.pszText = const_cast<char*>(kRows[row][1]);
        SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    }
}

bool WriteOutput(HWND dialog) {
    char text[1024] = "";
    GetDlgItemTextA(dialog, IDC_TEXT, text, sizeof text);
    HANDLE file = CreateFileA(g_output, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD length = lstrlenA(text), written = 0;
    bool ok = WriteFile(file, text, length, &written, nullptr) && written == length;
    return CloseHandle(file) && ok;
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_INITDIALOG) {
        FillList(GetDlgItem(dialog, IDC_FILES));
        return TRUE;
    }
    if (msg != WM_COMMAND) return FALSE;
    switch (LOWORD(wp)) {
    case IDC_DELETE:
        MessageBoxA(dialog, "文件已删除!", "Purgix", MB_OK | MB_ICONINFORMATION);
        return TRUE;
    case IDOK:
        if (WriteOutput(dialog)) {
            EndDialog(dialog, 0);
        } else {
            std::string message = std::string(g_output) + "\n无法写入文件。";
            MessageBoxA(dialog, message.c_str(), "Purgix", MB_OK | MB_ICONERROR);
            EndDialog(dialog, 3);
        }
        return TRUE;
    case IDCANCEL:
        EndDialog(dialog, 1);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    if (__argc != 2) {
        MessageBoxA(nullptr, "用法: sample 输出文件", "Purgix", MB_OK | MB_ICONERROR);
        return 2;
    }
    g_output = __argv[1];
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    return static_cast<int>(DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_SAMPLE), nullptr, DialogProc, 0));
}
