// The system-information report under Wine, against what the host says about itself: the
// processor and its clock, memory, the harness's drives, the names; and the dialog's tree.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "HostFacts.h"
#include "SystemGather.h"
#include "SystemInfoDlg.h"
#include "WinApp.h"
#include "resource.h"

namespace {

using hostfacts::Number;

// The tree as the user sees it: each item's text and image, its children indented below it.
struct Seen {
    std::string text;
    int image = -1, selectedImage = -1;
    bool expanded = false;
    std::vector<Seen> children;
};

Seen Read(CTreeCtrl& tree, HTREEITEM item) {
    Seen seen;
    seen.text = tree.GetItemText(item);
    tree.GetItemImage(item, seen.image, seen.selectedImage);
    seen.expanded = (tree.GetItemState(item, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
    for (HTREEITEM child = tree.GetChildItem(item); child; child = tree.GetNextSiblingItem(child)) {
        seen.children.push_back(Read(tree, child));
    }
    return seen;
}

std::vector<std::string> Texts(const Seen& node) {
    std::vector<std::string> texts;
    for (const Seen& child : node.children) texts.push_back(child.text);
    return texts;
}

// The number after `label` and a space in `text`.
double ValueAfter(const std::string& text, const std::string& label) {
    const size_t at = text.find(label);
    return at == std::string::npos ? -1 : Number(text.substr(at + label.size()));
}

bool StartsWith(const std::string& text, const std::string& start) { return text.compare(0, start.size(), start) == 0; }

// The dialog as it stands once initialised; the probe reads it and presses a button.
struct DialogProbe {
    UINT button = IDOK;
    bool found = false;
    std::string title;
    bool bigIcon = false;
    int imageCount = 0, imageWidth = 0;
    std::vector<std::string> pictures;  // the pixels of each image, drawn on grey
    Seen root;
} probe;

// The 16 x 16 pixels of image `index` drawn on grey.
std::string Pixels(HIMAGELIST images, int index) {
    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    HBITMAP canvas = ::CreateCompatibleBitmap(screen, 16, 16);
    ::ReleaseDC(nullptr, screen);
    HGDIOBJ old = ::SelectObject(dc, canvas);
    RECT all = {0, 0, 16, 16};
    HBRUSH grey = ::CreateSolidBrush(RGB(0xD4, 0xD0, 0xC8));
    ::FillRect(dc, &all, grey);
    ::DeleteObject(grey);
    ImageList_Draw(images, index, dc, 0, 0, ILD_TRANSPARENT);
    std::string pixels;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) pixels += std::to_string(::GetPixel(dc, x, y)) + ",";
    }
    ::SelectObject(dc, old);
    ::DeleteObject(canvas);
    ::DeleteDC(dc);
    return pixels;
}

BOOL CALLBACK FindReport(HWND window, LPARAM found) {
    char title[64] = {};
    ::GetWindowTextA(window, title, sizeof title);
    if (std::string(title) != "计算机信息") return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

void CALLBACK ProbeReport(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), FindReport, reinterpret_cast<LPARAM>(&dialog));
    if (!dialog || !::IsWindowVisible(dialog)) return;
    ::KillTimer(nullptr, timer);
    probe.found = true;
    probe.title = CWnd(dialog).GetWindowText();
    probe.bigIcon = ::SendMessageA(dialog, WM_GETICON, ICON_BIG, 0) != 0;
    CTreeCtrl tree(::GetDlgItem(dialog, IDC_SYSINFO_TREE));
    HIMAGELIST images = tree.GetImageList();
    probe.imageCount = images ? ImageList_GetImageCount(images) : 0;
    int cy = 0;
    if (images) ImageList_GetIconSize(images, &probe.imageWidth, &cy);
    for (int i = 0; i < probe.imageCount; ++i) probe.pictures.push_back(Pixels(images, i));
    probe.root = Read(tree, tree.GetRootItem());
    ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(probe.button, BN_CLICKED), 0);
}

// Runs the dialog until the probe has read it and pressed `button`; returns DoModal's result.
INT_PTR RunDialog(UINT button, IdeDeviceIo* io = nullptr) {
    probe = DialogProbe();
    probe.button = button;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, ProbeReport);
    CSystemInfoDlg dialog(nullptr, io);
    const INT_PTR result = dialog.DoModal();
    ::KillTimer(nullptr, timer);
    return result;
}

std::string ComputerName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    return ::GetComputerNameA(name, &size) ? name : "";
}

}  // namespace

TEST(SystemInfoCpu, VendorSignatureAndClockAgreeWithTheHost) {
    std::map<std::string, std::string> cpu = hostfacts::ProcFields("/proc/cpuinfo");
    ASSERT_FALSE(cpu["vendor_id"].empty()) << "Z:\\proc\\cpuinfo cannot be read";
    const double hostMhz = Number(hostfacts::Facts()["tsc_mhz"]);
    ASSERT_GT(hostMhz, 0) << "host-facts.sh gave no counter rate";

    SystemInfo info;
    const DWORD started = ::GetTickCount();
    GatherCpu(info);
    const DWORD measuring = ::GetTickCount() - started;
    EXPECT_EQ(info.cpuVendorId, cpu["vendor_id"]);
    ASSERT_EQ(info.cpuSignature.size(), 8u) << info.cpuSignature;
    const unsigned long signature = std::strtoul(info.cpuSignature.c_str(), nullptr, 16);
    // /proc/cpuinfo shows the family and model with their extended fields added in.
    const unsigned baseFamily = signature >> 8 & 0xF, baseModel = signature >> 4 & 0xF;
    const unsigned family = baseFamily == 15 ? baseFamily + (signature >> 20 & 0xFF) : baseFamily;
    const unsigned model = baseFamily == 6 || baseFamily == 15 ? baseModel + ((signature >> 16 & 0xF) << 4) : baseModel;
    EXPECT_EQ(family, Number(cpu["cpu family"]));
    EXPECT_EQ(model, Number(cpu["model"]));
    EXPECT_EQ(info.cpuStepping, (std::string(1, "0123456789ABCDEF"[signature & 0xF])));
    EXPECT_EQ(signature & 0xF, Number(cpu["stepping"]));
    EXPECT_EQ(info.cpuType, "Primary processor");
    EXPECT_EQ(info.cpuBrandName.empty(), cpu["vendor_id"] != "GenuineIntel") << "a brand name for Intel only";
    EXPECT_FALSE(info.cpuModelName.empty());

    // Within 10 % of the rate the host's kernel reports for the time-stamp counter.
    EXPECT_NEAR(info.cpuMhz, hostMhz, hostMhz / 10) << "measured " << info.cpuMhz << " MHz";
    EXPECT_GE(measuring, 950u) << "the clock is measured over one second";
    // Measured once per process: the next report takes the stored rate at once.
    SystemInfo again;
    const DWORD second = ::GetTickCount();
    GatherCpu(again);
    EXPECT_LT(::GetTickCount() - second, 500u);
    EXPECT_EQ(again.cpuMhz, info.cpuMhz);
}

TEST(SystemInfoNames, NamesOfSixteenCharactersOrMoreStayEmpty) {
    // Wine answers GetUserNameA from WINEUSERNAME and GetComputerNameA from the registry.
    const char kComputerKey[] = "System\\CurrentControlSet\\Control\\ComputerName\\ActiveComputerName";
    char savedUser[256] = {};
    ::GetEnvironmentVariableA("WINEUSERNAME", savedUser, sizeof savedUser);
    const std::string savedComputer = ComputerName();
    HKEY key;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kComputerKey, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    auto setComputer = [key](const std::string& name) {
        ::RegSetValueExA(key, "ComputerName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                         static_cast<DWORD>(name.size() + 1));
    };
    const struct {
        std::string given, shown;
    } rows[] = {
        {"OFFICE-PC-12345", "OFFICE-PC-12345"},  // 15 characters fit the 16-byte buffer with the zero
        {"OFFICE-PC-123456", ""},
        {"ACCOUNTING-DEPT-SERVER", ""},
    };
    for (const auto& row : rows) {
        ::SetEnvironmentVariableA("WINEUSERNAME", row.given.c_str());
        setComputer(row.given);
        SystemInfo info;
        GatherNames(info);
        EXPECT_EQ(info.userName, row.shown) << row.given;
        EXPECT_EQ(info.computerName, row.shown) << row.given;
    }
    ::SetEnvironmentVariableA("WINEUSERNAME", savedUser[0] ? savedUser : nullptr);
    setComputer(savedComputer);
    ::RegCloseKey(key);
}

TEST(SystemInfoDialog, ShowsThisMachineInSixSections) {
    ASSERT_EQ(RunDialog(IDOK), IDOK);
    ASSERT_TRUE(probe.found) << "the dialog did not appear";
    EXPECT_EQ(probe.title, "计算机信息");
    EXPECT_TRUE(probe.bigIcon);
    EXPECT_EQ(probe.imageCount, 7);
    EXPECT_EQ(probe.imageWidth, 16);
    // Seven pictures of their own: none repeats another, none is the program's icon.
    CImageList programIcon;
    programIcon.Create(16, 16, ILC_COLOR32 | ILC_MASK, 1, 1);
    programIcon.Add(static_cast<HICON>(::LoadImageA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON, 16, 16, LR_SHARED)));
    const std::string program = Pixels(programIcon, 0);
    for (size_t i = 0; i < probe.pictures.size(); ++i) {
        EXPECT_TRUE(probe.pictures[i] != program) << "image " << i << " shows the program's icon";
        for (size_t j = 0; j < i; ++j) EXPECT_TRUE(probe.pictures[i] != probe.pictures[j]) << "images " << j << " and " << i << " are the same";
    }

    const Seen& root = probe.root;
    EXPECT_EQ(root.text, "系统硬件信息");
    EXPECT_TRUE(root.expanded);
    ASSERT_EQ(Texts(root), (std::vector<std::string>{"计算机", "CPU", "内存", "硬盘", "逻辑磁盘", "光驱盘符"}));
    const int images[] = {0, 1, 2, 4, 3, 5};
    EXPECT_EQ(root.image, 6);
    for (size_t i = 0; i < root.children.size(); ++i) {
        EXPECT_EQ(root.children[i].image, images[i]) << root.children[i].text;
        EXPECT_EQ(root.children[i].selectedImage, images[i]) << root.children[i].text;
        EXPECT_FALSE(root.children[i].expanded) << root.children[i].text;
    }

    const std::vector<std::string> computer = Texts(root.children[0]);
    ASSERT_EQ(computer.size(), 4u);
    EXPECT_EQ(computer[0], "计算机名字" + ComputerName());
    EXPECT_TRUE(StartsWith(computer[1], "使用者")) << computer[1];
    EXPECT_TRUE(StartsWith(computer[2], "操作系统版本")) << computer[2];
    EXPECT_NE(computer[2].find("(Build "), std::string::npos) << computer[2];
    EXPECT_TRUE(StartsWith(computer[3], "IE版本")) << computer[3];

    const std::vector<std::string> cpu = Texts(root.children[1]);
    ASSERT_EQ(cpu.size(), 5u);
    std::map<std::string, std::string> host = hostfacts::ProcFields("/proc/cpuinfo");
    EXPECT_TRUE(StartsWith(cpu[0], "CPU名称 ")) << cpu[0];
    EXPECT_TRUE(StartsWith(cpu[1], "CPU ID ")) << cpu[1];
    EXPECT_TRUE(StartsWith(cpu[2], "CPU 厂商 " + host["vendor_id"])) << cpu[2];
    const double hostMhz = Number(hostfacts::Facts()["tsc_mhz"]);
    EXPECT_NEAR(ValueAfter(cpu[3], "CPU 序列号 "), hostMhz, hostMhz / 10) << cpu[3];
    EXPECT_EQ(cpu[3].substr(cpu[3].size() - 4), " MHZ");
    EXPECT_EQ(cpu[4], "CPU 类型 Primary processor");

    // Memory within a few percent of what the host's kernel counts.
    std::map<std::string, std::string> meminfo = hostfacts::ProcFields("/proc/meminfo");
    const double total = Number(meminfo["MemTotal"]), available = Number(meminfo["MemAvailable"]);
    ASSERT_GT(total, 0) << "Z:\\proc\\meminfo cannot be read";
    const std::vector<std::string> memory = Texts(root.children[2]);
    ASSERT_EQ(memory.size(), 4u);
    EXPECT_NEAR(ValueAfter(memory[0], "内存大小 "), total, total * 0.02) << memory[0];
    EXPECT_NEAR(ValueAfter(memory[1], "可用物理内存 "), available, total * 0.05) << memory[1];
    EXPECT_TRUE(StartsWith(memory[2], "虚拟内存 ")) << memory[2];
    EXPECT_TRUE(StartsWith(memory[3], "可用虚拟内存 ")) << memory[3];
    for (const std::string& line : memory) EXPECT_EQ(line.substr(line.size() - 7), " KBytes") << line;

    // Wine has no IDE identify data: the section stands alone.
    EXPECT_TRUE(root.children[3].children.empty()) << root.children[3].children[0].text;

    // Every fixed drive in letter order, D: with the size of the host folder behind it.
    std::map<std::string, std::string> facts = hostfacts::Facts();
    std::vector<std::string> fixedRoots;
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        const std::string rootPath = std::string(1, letter) + ":\\";
        if (::GetDriveTypeA(rootPath.c_str()) == DRIVE_FIXED) fixedRoots.push_back(rootPath);
    }
    const std::vector<std::string> logical = Texts(root.children[4]);
    ASSERT_EQ(logical.size(), fixedRoots.size());
    bool sawD = false;
    for (size_t i = 0; i < logical.size(); ++i) {
        const std::string& line = logical[i];
        EXPECT_NE(line.find(" MBytes ( 空余空间 "), std::string::npos) << line;
        EXPECT_EQ(line.substr(line.size() - 9), " MBytes )") << line;
        // Wine gives folder-backed drives no volume label; the line starts with the one it gives.
        char label[80] = {};
        ::GetVolumeInformationA(fixedRoots[i].c_str(), label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0);
        EXPECT_TRUE(StartsWith(line, std::string(label) + " (" + fixedRoots[i] + " ) 总共大小 ")) << line;
        if (fixedRoots[i] != "D:\\") continue;
        sawD = true;
        const double hostTotal = Number(facts["d_total_mb"]), hostFree = Number(facts["d_free_mb"]);
        EXPECT_NEAR(ValueAfter(line, "总共大小 "), hostTotal, hostTotal * 0.01 + 1) << line;
        EXPECT_NEAR(ValueAfter(line, "空余空间 "), hostFree, hostTotal * 0.05 + 1) << line;
    }
    EXPECT_TRUE(sawD) << "the harness's fixed drive D: is listed";

    EXPECT_EQ(Texts(root.children[5]), (std::vector<std::string>{"G:\\"})) << "the harness's CD-ROM drive";
}

TEST(SystemInfoDialog, CancelClosesItToo) {
    EXPECT_EQ(RunDialog(IDCANCEL), IDCANCEL);
    EXPECT_TRUE(probe.found);
}
