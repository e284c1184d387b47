// The system-information report under Wine against what the host says about itself (/proc read
// through Z:, the counter rate and D:'s size from host-facts.sh): processor, clock, memory, the
// harness's drives, the names, and the dialog's tree.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "SystemGather.h"
#include "SystemInfoDlg.h"
#include "WinApp.h"
#include "resource.h"

namespace {

// "name : value" or "name=value" lines of a host file, up to the first blank line.
std::map<std::string, std::string> HostFields(std::string unixPath) {
    for (char& c : unixPath) c = c == '/' ? '\\' : c;
    std::ifstream in("Z:" + unixPath);
    std::map<std::string, std::string> fields;
    std::string line;
    while (std::getline(in, line) && line.find_first_not_of(" \t\r") != std::string::npos) {
        const size_t split = line.find_first_of(":=");
        if (split == std::string::npos) continue;
        const std::string name = line.substr(0, line.find_last_not_of(" \t", split - 1) + 1);
        fields[name] = line.substr(std::min(line.size(), line.find_first_not_of(" \t", split + 1)));
    }
    return fields;
}

double Number(const std::string& text) { return std::strtod(text.c_str(), nullptr); }

// The number after `label` in `text`.
double After(const std::string& text, const std::string& label) {
    const size_t at = text.find(label);
    return at == std::string::npos ? -1 : Number(text.substr(at + label.size()));
}

bool StartsWith(const std::string& text, const std::string& start) { return text.compare(0, start.size(), start) == 0; }

struct Seen {
    std::string text;
    int image = -1, selectedImage = -1;
    bool expanded = false;
    std::vector<Seen> children;
};

Seen Read(CTreeCtrl& tree, HTREEITEM item) {
    Seen seen{tree.GetItemText(item)};
    tree.GetItemImage(item, seen.image, seen.selectedImage);
    seen.expanded = (tree.GetItemState(item, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
    for (HTREEITEM child = tree.GetChildItem(item); child; child = tree.GetNextSiblingItem(child)) seen.children.push_back(Read(tree, child));
    return seen;
}

std::vector<std::string> Texts(const Seen& node) {
    std::vector<std::string> texts;
    for (const Seen& child : node.children) texts.push_back(child.text);
    return texts;
}

// The 16 x 16 pixels of an image drawn on grey, as text.
std::string Pixels(HIMAGELIST images, int index) {
    HDC dc = ::CreateCompatibleDC(nullptr);
    HBITMAP canvas = ::CreateBitmap(16, 16, 1, 32, nullptr);
    HGDIOBJ old = ::SelectObject(dc, canvas);
    RECT all = {0, 0, 16, 16};
    ::FillRect(dc, &all, static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH)));
    ImageList_Draw(images, index, dc, 0, 0, ILD_TRANSPARENT);
    std::string pixels;
    for (int i = 0; i < 256; ++i) pixels += std::to_string(::GetPixel(dc, i % 16, i / 16)) + ",";
    ::SelectObject(dc, old);
    ::DeleteObject(canvas);
    ::DeleteDC(dc);
    return pixels;
}

// The dialog as it stands once shown; read by a timer, which then presses OK.
struct Shown {
    bool found = false;
    bool bigIcon = false;
    std::vector<std::string> pictures;
    Seen root;
} shown;

BOOL CALLBACK ReadReport(HWND window, LPARAM) {
    if (CWnd(window).GetWindowText() != "计算机信息" || !::IsWindowVisible(window)) return TRUE;
    shown.found = true;
    shown.bigIcon = ::SendMessageA(window, WM_GETICON, ICON_BIG, 0) != 0;
    CTreeCtrl tree(::GetDlgItem(window, IDC_SYSINFO_TREE));
    HIMAGELIST images = tree.GetImageList();
    for (int i = 0; images && i < ImageList_GetImageCount(images); ++i) shown.pictures.push_back(Pixels(images, i));
    shown.root = Read(tree, tree.GetRootItem());
    ::PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return FALSE;
}

void CALLBACK ProbeReport(HWND, UINT, UINT_PTR timer, DWORD) {
    if (!shown.found) ::EnumThreadWindows(::GetCurrentThreadId(), ReadReport, 0);
}

// The letters of the fixed drives, in order.
std::string FixedLetters() {
    std::string letters;
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        if (::GetDriveTypeA((std::string(1, letter) + ":\\").c_str()) == DRIVE_FIXED) letters += letter;
    }
    return letters;
}

std::string ComputerName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    return ::GetComputerNameA(name, &size) ? name : "";
}

}  // namespace

TEST(SystemInfoCpu, VendorSignatureAndClockAgreeWithTheHost) {
    std::map<std::string, std::string> cpu = HostFields("/proc/cpuinfo");
    ASSERT_FALSE(cpu["vendor_id"].empty()) << "Z:\\proc\\cpuinfo cannot be read";
    const double hostMhz = Number(HostFields(HOST_FACTS_FILE)["tsc_mhz"]);
    ASSERT_GT(hostMhz, 0) << "host-facts.sh gave no counter rate";

    SystemInfo info;
    const DWORD started = ::GetTickCount();
    GatherCpu(info);
    const DWORD measuring = ::GetTickCount() - started;
    EXPECT_EQ(info.cpuVendorId, cpu["vendor_id"]);
    const unsigned long signature = std::strtoul(info.cpuSignature.c_str(), nullptr, 16);
    // /proc/cpuinfo adds the extended family (family 15) and extended model (families 6 and 15).
    const unsigned family = signature >> 8 & 0xF, model = signature >> 4 & 0xF;
    EXPECT_EQ(family + (family == 15 ? (signature >> 20 & 0xFF) : 0), Number(cpu["cpu family"])) << info.cpuSignature;
    EXPECT_EQ(model + (family == 6 || family == 15 ? (signature >> 16 & 0xF) << 4 : 0), Number(cpu["model"])) << info.cpuSignature;
    EXPECT_EQ(Number(cpu["stepping"]), std::strtoul(info.cpuStepping.c_str(), nullptr, 16));
    EXPECT_EQ(info.cpuType, "Primary processor");
    EXPECT_EQ(info.cpuBrandName.empty(), cpu["vendor_id"] != "GenuineIntel") << "a brand name for Intel only";

    EXPECT_NEAR(info.cpuMhz, hostMhz, hostMhz / 10) << "the measured clock against the host's counter rate";
    EXPECT_GE(measuring, 950u) << "the clock is measured over one second";
    // Measured once per process: the next report takes the stored rate at once.
    SystemInfo again;
    const DWORD second = ::GetTickCount();
    GatherCpu(again);
    EXPECT_LT(::GetTickCount() - second, 500u);
    EXPECT_EQ(again.cpuMhz, info.cpuMhz);
}

TEST(SystemInfoNames, NamesOfSixteenCharactersOrMoreStayEmpty) {
    // Wine answers GetUserNameA from WINEUSERNAME and GetComputerNameA from this key.
    HKEY key;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\ComputerName\\ActiveComputerName", 0,
                              KEY_ALL_ACCESS, &key),
              ERROR_SUCCESS);
    auto setComputer = [key](const std::string& name) {
        ::RegSetValueExA(key, "ComputerName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()), static_cast<DWORD>(name.size() + 1));
    };
    char savedUser[256] = {};
    ::GetEnvironmentVariableA("WINEUSERNAME", savedUser, sizeof savedUser);
    const std::string savedComputer = ComputerName();
    const std::pair<std::string, std::string> rows[] = {
        {"OFFICE-PC-12345", "OFFICE-PC-12345"},  // 15 characters and the zero fill the 16 bytes
        {"OFFICE-PC-123456", ""},
        {"ACCOUNTING-DEPT-SERVER", ""},
    };
    for (const auto& row : rows) {
        ::SetEnvironmentVariableA("WINEUSERNAME", row.first.c_str());
        setComputer(row.first);
        SystemInfo info;
        GatherNames(info);
        EXPECT_EQ(info.userName, row.second) << row.first;
        EXPECT_EQ(info.computerName, row.second) << row.first;
    }
    ::SetEnvironmentVariableA("WINEUSERNAME", savedUser[0] ? savedUser : nullptr);
    setComputer(savedComputer);
    ::RegCloseKey(key);
}

TEST(SystemInfoDialog, ShowsThisMachineInSixSections) {
    const std::string fixedBefore = FixedLetters();
    shown = Shown();
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, ProbeReport);
    CSystemInfoDlg dialog;
    EXPECT_EQ(dialog.DoModal(), IDOK);
    ::KillTimer(nullptr, timer);
    ASSERT_TRUE(shown.found) << "no dialog titled 计算机信息 appeared";
    EXPECT_TRUE(shown.bigIcon);

    // Seven pictures of their own: none repeats another or is the program's icon.
    ASSERT_EQ(shown.pictures.size(), 7u);
    CImageList program;
    program.Create(16, 16, ILC_COLOR32 | ILC_MASK, 1, 1);
    program.Add(static_cast<HICON>(::LoadImageA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON, 16, 16, LR_SHARED)));
    for (size_t i = 0; i < 7; ++i) {
        EXPECT_TRUE(shown.pictures[i] != Pixels(program, 0)) << "image " << i << " is the program's icon";
        for (size_t j = 0; j < i; ++j) EXPECT_TRUE(shown.pictures[i] != shown.pictures[j]) << "images " << j << " and " << i << " are one";
    }

    const Seen& root = shown.root;
    EXPECT_EQ(root.text, "系统硬件信息");
    EXPECT_EQ(root.image, 6);
    EXPECT_TRUE(root.expanded);
    ASSERT_EQ(Texts(root), (std::vector<std::string>{"计算机", "CPU", "内存", "硬盘", "逻辑磁盘", "光驱盘符"}));
    const int images[] = {0, 1, 2, 4, 3, 5};
    for (size_t i = 0; i < 6; ++i) EXPECT_TRUE(root.children[i].image == images[i] && root.children[i].selectedImage == images[i]) << root.children[i].text;

    const std::vector<std::string> computer = Texts(root.children[0]);
    ASSERT_EQ(computer.size(), 4u);
    EXPECT_EQ(computer[0], "计算机名字" + ComputerName());
    EXPECT_TRUE(StartsWith(computer[1], "使用者")) << computer[1];
    EXPECT_TRUE(StartsWith(computer[2], "操作系统版本") && computer[2].find(" (Build ") != std::string::npos) << computer[2];
    EXPECT_TRUE(StartsWith(computer[3], "IE版本")) << computer[3];

    const std::vector<std::string> cpu = Texts(root.children[1]);
    ASSERT_EQ(cpu.size(), 5u);
    EXPECT_TRUE(StartsWith(cpu[2], "CPU 厂商 " + HostFields("/proc/cpuinfo")["vendor_id"])) << cpu[2];
    const double hostMhz = Number(HostFields(HOST_FACTS_FILE)["tsc_mhz"]);
    EXPECT_NEAR(After(cpu[3], "CPU 序列号 "), hostMhz, hostMhz / 10) << cpu[3];
    EXPECT_EQ(cpu[4], "CPU 类型 Primary processor");

    // Memory within a few percent of what the host's kernel counts.
    std::map<std::string, std::string> meminfo = HostFields("/proc/meminfo");
    const double total = Number(meminfo["MemTotal"]), available = Number(meminfo["MemAvailable"]);
    const std::vector<std::string> memory = Texts(root.children[2]);
    ASSERT_EQ(memory.size(), 4u);
    EXPECT_NEAR(After(memory[0], "内存大小 "), total, total * 0.02) << memory[0];
    EXPECT_NEAR(After(memory[1], "可用物理内存 "), available, total * 0.05) << memory[1];
    EXPECT_TRUE(StartsWith(memory[2], "虚拟内存 ") && StartsWith(memory[3], "可用虚拟内存 ")) << memory[2] << memory[3];

    // Wine has no IDE identify data: the section stands without children.
    EXPECT_TRUE(root.children[3].children.empty());

    // The fixed drives in letter order, each with its label (Wine gives folder drives none), root and
    // sizes; D: with those of the host folder behind it. Other tests may define drive letters
    // meanwhile: every fixed drive there before and after the dialog must be listed.
    std::map<std::string, std::string> facts = HostFields(HOST_FACTS_FILE);
    std::string roots;
    for (const std::string& line : Texts(root.children[4])) {
        const size_t open = line.find(" (");
        ASSERT_NE(open, std::string::npos) << line;
        const std::string drive = line.substr(open + 2, 3);
        char label[80] = {};
        ::GetVolumeInformationA(drive.c_str(), label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0);
        EXPECT_TRUE(StartsWith(line, std::string(label) + " (" + drive + " ) 总共大小 ")) << line;
        EXPECT_EQ(line.substr(line.size() - 9), " MBytes )") << line;
        EXPECT_TRUE(roots.empty() || roots.back() < drive[0]) << line << " comes after " << roots;
        roots += drive[0];
        if (drive != "D:\\") continue;
        const double hostTotal = Number(facts["d_total_mb"]), hostFree = Number(facts["d_free_mb"]);
        EXPECT_NEAR(After(line, "总共大小 "), hostTotal, hostTotal * 0.01 + 1) << line;
        EXPECT_NEAR(After(line, "空余空间 "), hostFree, hostTotal * 0.05 + 1) << line;
    }
    const std::string fixedAfter = FixedLetters();
    for (char letter : fixedBefore) {
        const bool stayed = fixedAfter.find(letter) != std::string::npos;
        EXPECT_TRUE(!stayed || roots.find(letter) != std::string::npos) << letter << ": is missing";
    }
    EXPECT_NE(roots.find('D'), std::string::npos) << "the harness's fixed drive D: is listed";
    EXPECT_EQ(Texts(root.children[5]), (std::vector<std::string>{"G:\\"})) << "the harness's CD-ROM drive";
}
