#include "SecretDisk.h"

#include <cstring>

#include "GbkText.h"
#include "UiSeam.h"

namespace {

std::string SettingsPath() {
    char module[MAX_PATH];
    const DWORD n = ::GetModuleFileNameA(nullptr, module, MAX_PATH);
    const std::string path(module, n < MAX_PATH ? n : 0);
    const size_t slash = gbk::FindLastBackslash(path);
    return (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + "Setting.ini";
}

}  // namespace

void SecretDiskState::SetPassword(const std::string& text) {
    WipePassword();
    std::memcpy(password, text.data(), text.size() < 16 ? text.size() : 16);
}

SecretDiskState& DiskState() {
    static SecretDiskState state;
    return state;
}

std::string ReadSetting(const std::string& section, const std::string& key) {
    char value[256] = {};
    ::GetPrivateProfileStringA(section.c_str(), key.c_str(), "", value, 255, SettingsPath().c_str());
    return value;
}

bool WriteSetting(const std::string& section, const std::string& key, const std::string& value) {
    return ::WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), SettingsPath().c_str()) != FALSE;
}

std::string ProgramDirectory() {
    // The first argument of the command line, quoted or not.
    const char* line = ::GetCommandLineA();
    std::string program;
    if (*line == '"') {
        const char* end = std::strchr(line + 1, '"');
        program = end ? std::string(line + 1, end) : std::string(line + 1);
    } else {
        const char* end = line;
        while (*end && *end != ' ' && *end != '\t') ++end;
        program.assign(line, end);
    }
    return gbk::FolderOf(program);
}

std::vector<std::string> FreeDriveRoots() {
    std::vector<std::string> roots;
    for (char letter = 'C'; letter <= 'Z'; ++letter) {
        std::string root = "C:\\";
        root[0] = letter;
        if (::GetDriveTypeA(root.c_str()) == DRIVE_NO_ROOT_DIR) roots.push_back(root);
    }
    return roots;
}

void FillDriveList(HWND combo) {
    ::SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    for (const std::string& root : FreeDriveRoots())
        ::SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(root.c_str()));
    ::SendMessageA(combo, CB_SETCURSEL, 0, 0);
}

char SelectedDriveLetter(HWND combo) {
    const LRESULT index = ::SendMessageA(combo, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) return 0;
    char text[8] = {};
    if (::SendMessageA(combo, CB_GETLBTEXTLEN, index, 0) >= static_cast<LRESULT>(sizeof text)) return 0;
    ::SendMessageA(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
    return text[0];
}

HFONT CreateBoldSongFont(int pixelHeight) {
    return ::CreateFontA(pixelHeight, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS,
                         CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "宋体");
}

void ShowLockvaleHelp() { Ui().ShowHelp(ProgramDirectory() + "\\Lockvale.chm"); }
