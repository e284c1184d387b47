// The system report as the user reads it: the operating-system line, and the tree's sections with
// their labels, values and layout.
#include <gtest/gtest.h>

#include <string>

#include "OsName.h"
#include "SystemReport.h"

namespace {

// Labels as "<id>", so every text shows which label it used.
std::string IdLabel(unsigned id) { return "<" + std::to_string(id) + ">"; }

std::vector<std::string> Texts(const ReportNode& node) {
    std::vector<std::string> texts;
    for (const ReportNode& child : node.children) texts.push_back(child.text);
    return texts;
}

OsVersionFacts Nt(uint32_t major, uint32_t minor, uint32_t build, const char* servicePack, uint8_t productType,
                  uint16_t suiteMask) {
    OsVersionFacts facts;
    facts.query = OsVersionFacts::Query::extended;
    facts.platform = 2;
    facts.major = major;
    facts.minor = minor;
    facts.build = build;
    facts.servicePack = servicePack;
    facts.productType = productType;
    facts.suiteMask = suiteMask;
    return facts;
}

OsVersionFacts Plain(uint32_t platform, uint32_t major, uint32_t minor, uint32_t build, const char* servicePack,
                     const char* registryProductType = "") {
    OsVersionFacts facts;
    facts.query = OsVersionFacts::Query::plain;
    facts.platform = platform;
    facts.major = major;
    facts.minor = minor;
    facts.build = build;
    facts.servicePack = servicePack;
    facts.registryProductType = registryProductType;
    return facts;
}

}  // namespace

TEST(SystemReport, OperatingSystemNameEditionAndVersion) {
    const struct {
        const char* what;
        OsVersionFacts facts;
        const char* line;  // name, edition and version run together, as the report shows them
    } rows[] = {
        {"XP Professional SP2", Nt(5, 1, 2600, "Service Pack 2", 1, 0x100), "Microsoft Windows XP Professional Service Pack 2 (Build 2600)"},
        {"XP Home", Nt(5, 1, 2600, "", 1, 0x200), "Microsoft Windows XP Personal  (Build 2600)"},
        {"2000 Datacenter", Nt(5, 0, 2195, "Service Pack 4", 3, 0x82), "Microsoft Windows 2000 DataCenter Server Service Pack 4 (Build 2195)"},
        {"2000 Advanced Server", Nt(5, 0, 2195, "", 3, 0x2), "Microsoft Windows 2000 Advanced Server  (Build 2195)"},
        {"2000 Server", Nt(5, 0, 2195, "", 3, 0), "Microsoft Windows 2000 Server  (Build 2195)"},
        {"domain controller", Nt(5, 0, 2195, "", 2, 0x2), "Microsoft Windows 2000  (Build 2195)"},
        {"build number's high word", Nt(5, 1, 0x05010A28, "", 1, 0), "Microsoft Windows XP Professional  (Build 2600)"},
        {"a later NT has no name", Nt(10, 0, 19045, "", 1, 0), "Professional  (Build 19045)"},
        {"NT 4 from the registry", Plain(2, 4, 0, 1381, "Service Pack 6", "WinNT"), "Microsoft Windows NT Professional version 4.0 Service Pack 6 (Build 1381)"},
        {"NT 4 server", Plain(2, 4, 0, 1381, "", "LANMANNT"), "Microsoft Windows NT Server version 4.0  (Build 1381)"},
        {"NT 4 enterprise", Plain(2, 4, 0, 1381, "", "ServerNT"), "Microsoft Windows NT Advanced Server version 4.0  (Build 1381)"},
        {"NT 4 unknown type", Plain(2, 4, 0, 1381, "", "WINNTX"), "Microsoft Windows NT version 4.0  (Build 1381)"},
        {"95", Plain(1, 4, 0, 950, " A "), "Microsoft Windows 95 "},
        {"95 OSR2", Plain(1, 4, 0, 1111, " B "), "Microsoft Windows 95 OSR2 "},
        {"95 OSR2.5", Plain(1, 4, 0, 1212, " C "), "Microsoft Windows 95 OSR2 "},
        {"98", Plain(1, 4, 10, 1998, " "), "Microsoft Windows 98 "},
        {"98 SE", Plain(1, 4, 10, 2222, " A "), "Microsoft Windows 98 SE "},
        {"Me", Plain(1, 4, 90, 3000, " "), "Microsoft Windows Me "},
        {"Win32s", Plain(0, 3, 10, 0, ""), "Microsoft Win32s "},
    };
    for (const auto& row : rows) {
        const OsNameTexts texts = DescribeOs(row.facts);
        EXPECT_EQ(texts.name + texts.edition + texts.version, row.line) << row.what;
    }
    OsVersionFacts failed = Nt(5, 1, 2600, "Service Pack 2", 1, 0);
    failed.query = OsVersionFacts::Query::none;
    const OsNameTexts none = DescribeOs(failed);
    EXPECT_EQ(none.name + none.edition + none.version, "") << "a failed query leaves the texts empty";
}

TEST(SystemReport, TreeShowsSixSectionsWithTheirLabelsAndValues) {
    SystemInfo info;
    info.computerName = "OFFICE-PC";
    info.userName = "zhang";
    info.osName = "Microsoft Windows XP ";
    info.osEdition = "Professional ";
    info.osVersion = "Service Pack 2 (Build 2600)";
    info.ieVersion = "6.0.2900.2180";
    info.totalPhysKb = 523760;
    info.availPhysKb = 301234;
    info.totalVirtualKb = 2097024;
    info.availVirtualKb = 2050000;
    info.cpuModelName = "Intel Pentium III Coppermine";
    info.cpuSignature = "00000683";
    info.cpuVendorId = "GenuineIntel";
    info.cpuBrandName = "Intel\xAE Pentium\xAE III processor";
    info.cpuMhz = 866;
    info.cpuType = "Primary processor";
    info.ide[3] = IdeDriveSlot{true, "Secondary Slave", "ST380011A", "5JV1X2QK", "3.AAE", "2048 KBytes", "Fixed", "76319 MBytes"};
    info.fixedDrives.push_back({"C:\\", "SYSTEM", 20002, 5120});
    info.fixedDrives.push_back({"D:\\", "", 2147483648ull, 4294967296ull + 7});
    info.cdromRoots = {"E:\\", "Z:\\"};

    const ReportNode root = BuildReportTree(info, IdLabel);
    EXPECT_EQ(root.text, "<62115>");
    EXPECT_EQ(root.image, kImageRoot);
    ASSERT_EQ(Texts(root), (std::vector<std::string>{"<62116>", "<62121>", "<62127>", "<62132>", "<62139>", "<62142>"}));
    const int images[] = {kImageComputer, kImageCpu, kImageMemory, kImageDisk, kImageLogical, kImageCdrom};
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(root.children[i].image, images[i]) << root.children[i].text;
        for (const ReportNode& child : root.children[i].children) EXPECT_EQ(child.image, images[i]) << child.text;
    }

    EXPECT_EQ(Texts(root.children[0]), (std::vector<std::string>{
                                           "<62117>OFFICE-PC",
                                           "<62118>zhang",
                                           "<62119>Microsoft Windows XP Professional Service Pack 2 (Build 2600)",
                                           "<62120>6.0.2900.2180",
                                       }));
    EXPECT_EQ(Texts(root.children[1]), (std::vector<std::string>{
                                           "<62122> Intel Pentium III Coppermine",
                                           "<62123> 00000683",
                                           "<62124> GenuineIntel/Intel\xAE Pentium\xAE III processor",
                                           "<62125> 866 MHZ",
                                           "<62126> Primary processor",
                                       }));
    EXPECT_EQ(Texts(root.children[2]), (std::vector<std::string>{
                                           "<62128> 523760 KBytes",
                                           "<62129> 301234 KBytes",
                                           "<62130> 2097024 KBytes",
                                           "<62131> 2050000 KBytes",
                                       }));
    ASSERT_EQ(Texts(root.children[3]), (std::vector<std::string>{"ST380011A ( 76319 MBytes )"}));
    EXPECT_EQ(Texts(root.children[3].children[0]), (std::vector<std::string>{
                                                       "<62133> Secondary Slave",
                                                       "<62134> ST380011A",
                                                       "<62143> 3.AAE",
                                                       "<62135> 5JV1X2QK",
                                                       "<62136> 76319 MBytes",
                                                       "<62137> 2048 KBytes",
                                                       "<62138> Fixed",
                                                   }));
    // Sizes of 2,147,483,648 MB and beyond show in full, never as a negative or wrapped number.
    EXPECT_EQ(Texts(root.children[4]), (std::vector<std::string>{
                                           "SYSTEM (C:\\ ) <62141> 20002 MBytes ( <62140> 5120 MBytes )",
                                           " (D:\\ ) <62141> 2147483648 MBytes ( <62140> 4294967303 MBytes )",
                                       }));
    EXPECT_EQ(Texts(root.children[5]), (std::vector<std::string>{"E:\\", "Z:\\"}));
}

TEST(SystemReport, ValuesThatCouldNotBeReadLeaveTheirLabels) {
    SystemInfo info;  // nothing gathered: no IDE data, no drives, no brand
    info.cpuVendorId = "AuthenticAMD";
    const ReportNode root = BuildReportTree(info, IdLabel);
    EXPECT_TRUE(root.children[3].children.empty()) << "the disk section stays, without children";
    EXPECT_TRUE(root.children[4].children.empty());
    EXPECT_TRUE(root.children[5].children.empty());
    EXPECT_EQ(root.children[0].children[0].text, "<62117>");
    EXPECT_EQ(root.children[1].children[2].text, "<62124> AuthenticAMD") << "no brand name, no slash";
    EXPECT_EQ(root.children[1].children[3].text, "<62125> 0 MHZ");
    EXPECT_EQ(root.children[2].children[0].text, "<62128> 0 KBytes");
}
