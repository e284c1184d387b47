#include <algorithm>
#include <cctype>

#include "EngineFixture.h"
#include "GbkText.h"

using namespace engine_test;

TEST_F(EngineTest, AdmissionRefusesWhatTheEngineMustNotTouchWithItsOwnMessage) {
    char system[MAX_PATH], windows[MAX_PATH];
    ::GetSystemDirectoryA(system, MAX_PATH);
    ::GetWindowsDirectoryA(windows, MAX_PATH);
    std::string systemRoot = std::string(system, 2) + "\\", lowerRoot = systemRoot;
    std::transform(lowerRoot.begin(), lowerRoot.end(), lowerRoot.begin(), [](char c) { return static_cast<char>(std::tolower(c)); });
    std::string tooLong = "D:\\" + std::string(300, 'x');

    enum Check { kDrive, kFolder, kFile };
    struct Case {
        const char* what;
        Check check;
        std::string path;
        std::vector<std::string> listed;
        std::string message;  // empty: admitted
        int32_t writeProtect;
    } cases[] = {
        {"a CD-ROM", kDrive, "G:\\", {}, "光盘无法擦除", 0},
        {"a file on a CD-ROM", kDrive, "G:\\a.txt", {}, "光盘无法擦除", 0},
        {"a write-protected removable disk", kDrive, "F:\\readme.txt", {}, "该设备写保护", 1},
        {"a writable removable disk", kDrive, "E:\\", {}, "", 0},
        {"the system drive", kDrive, systemRoot, {}, "\n磁盘包含操作系统, 不进行删除!", 0},
        {"the system drive in lower case", kDrive, lowerRoot, {}, "\n磁盘包含操作系统, 不进行删除!", 0},
        {"a drive already listed", kDrive, "D:\\", {"D:\\x", "D:"}, "D:\n磁盘已存在!", 0},
        {"a folder of a listed drive, for the drive check", kDrive, "D:\\a", {"D:"}, "", 0},
        {"the Windows folder", kFolder, windows, {}, "\n不能删除,或操作系统无法工作!", 0},
        {"a folder already listed", kFolder, "D:\\a", {"D:\\b", "D:\\a"}, "D:\\a \n文件夹已存在!", 0},
        {"a folder inside a listed folder", kFolder, "D:\\a\\b", {"D:\\a"}, "D:\\a\\b \n非法文件夹或文件!", 0},
        {"a folder holding a listed file", kFolder, "D:\\a", {"D:\\a\\f.txt"}, "D:\\a \n非法文件夹或文件!", 0},
        {"a drive root holding a listed folder", kFolder, "D:\\", {"D:\\a"}, "D:\\ \n非法文件夹或文件!", 0},
        {"a sibling whose name starts alike", kFolder, "D:\\a", {"D:\\ab", "D:\\ab\\c"}, "", 0},
        {"a file inside a listed folder", kFile, "D:\\a\\f.txt", {"D:\\a"}, "D:\\a\\f.txt \n非法文件夹或文件!", 0},
        {"a file listed already (the caller's check)", kFile, "D:\\a\\f.txt", {"D:\\a\\f.txt"}, "", 0},
        {"a file on a write-protected disk", kFile, "F:\\readme.txt", {}, "该设备写保护", 0},
        {"a folder path too long", kFolder, tooLong, {}, tooLong + "\n路径太长, 无法处理!", 0},
        {"a file path too long", kFile, tooLong, {}, tooLong + "\n路径太长, 无法处理!", 0},
    };
    for (const Case& c : cases) {
        view.List().DeleteAllItems();
        for (size_t row = 0; row < c.listed.size(); ++row) {
            view.List().InsertItem(static_cast<int>(row), gbk::NameOf(c.listed[row]));
            view.List().SetItemText(static_cast<int>(row), 2, c.listed[row]);
        }
        view.writeProtect = 0;
        ui.Clear();
        bool admitted = c.check == kDrive    ? view.CheckDriveAdmissible(c.path)
                        : c.check == kFolder ? view.CheckFolderAdmissible(c.path)
                                             : view.CheckFileAdmissible(c.path);
        EXPECT_EQ(admitted, c.message.empty()) << c.what;
        EXPECT_EQ(ui.MessageTexts(), c.message.empty() ? std::vector<std::string>() : std::vector<std::string>{c.message})
            << c.what;
        EXPECT_EQ(view.writeProtect, c.writeProtect) << c.what;
        for (const ScriptedUi::Call& call : ui.Calls()) EXPECT_EQ(call.flags, UINT(MB_OK | MB_ICONEXCLAMATION)) << c.what;
    }
    EXPECT_FALSE(Exists("E:\\Purgixtesttest")) << "the probe stayed on the removable disk";
}
