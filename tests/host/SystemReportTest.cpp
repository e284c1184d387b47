// The report as the user reads it: the operating-system line and the tree's layout.
#include <gtest/gtest.h>

#include "OsName.h"
#include "SystemReport.h"

namespace {

OsVersionFacts Os(OsVersionFacts::Query query, uint32_t platform, uint32_t major, uint32_t minor, uint32_t build,
                  const char* servicePack, uint8_t productType = 0, uint16_t suiteMask = 0, const char* registry = "") {
    OsVersionFacts facts;
    facts.query = query;
    facts.platform = platform;
    facts.major = major;
    facts.minor = minor;
    facts.build = build;
    facts.servicePack = servicePack;
    facts.productType = productType;
    facts.suiteMask = suiteMask;
    facts.registryProductType = registry;
    return facts;
}

std::vector<std::string> Texts(const ReportNode& node) {
    std::vector<std::string> texts;
    for (const ReportNode& child : node.children) texts.push_back(child.text);
    return texts;
}

}  // namespace

TEST(SystemReport, OperatingSystemLine) {
    const auto ex = OsVersionFacts::Query::extended, plain = OsVersionFacts::Query::plain;
    const struct {
        OsVersionFacts facts;
        const char* line;  // name, edition and version run together
    } rows[] = {
        {Os(ex, 2, 5, 1, 2600, "Service Pack 2", 1, 0x100), "Microsoft Windows XP Professional Service Pack 2 (Build 2600)"},
        {Os(ex, 2, 5, 1, 0x05010A28, "", 1, 0x200), "Microsoft Windows XP Personal  (Build 2600)"},
        {Os(ex, 2, 5, 0, 2195, "", 3, 0x82), "Microsoft Windows 2000 DataCenter Server  (Build 2195)"},
        {Os(ex, 2, 5, 0, 2195, "", 2, 0x02), "Microsoft Windows 2000  (Build 2195)"},
        {Os(ex, 2, 6, 1, 7601, "Service Pack 1", 1, 0), "Professional Service Pack 1 (Build 7601)"},
        {Os(plain, 2, 4, 0, 1381, "Service Pack 6", 0, 0, "WinNT"), "Microsoft Windows NT Professional version 4.0 Service Pack 6 (Build 1381)"},
        {Os(plain, 1, 4, 0, 1111, " B "), "Microsoft Windows 95 OSR2 "},
        {Os(plain, 1, 4, 10, 2222, " A "), "Microsoft Windows 98 SE "},
        {Os(OsVersionFacts::Query::none, 2, 5, 1, 2600, "Service Pack 2", 1, 0), ""},
    };
    for (const auto& row : rows) {
        const OsNameTexts texts = DescribeOs(row.facts);
        EXPECT_EQ(texts.name + texts.edition + texts.version, row.line);
    }
}

TEST(SystemReport, TreeLayoutAndSizesOfTwoPebibytesAndMore) {
    SystemInfo info;
    info.computerName = "OFFICE-PC";
    info.cpuVendorId = "GenuineIntel";
    info.cpuBrandName = "Intel\xAE Pentium\xAE III processor";
    info.cpuMhz = 866;
    info.totalPhysKb = 523760;
    info.ide[3] = IdeDriveSlot{true, "Secondary Slave", "ST380011A", "5JV1X2QK", "3.AAE", "2048 KBytes", "Fixed", "76319 MBytes"};
    info.fixedDrives.push_back({"C:\\", "SYSTEM", 20002, 5120});
    info.fixedDrives.push_back({"D:\\", "", 2147483648ull, 4294967296ull + 7});
    info.cdromRoots = {"E:\\", "Z:\\"};
    const ReportNode root = BuildReportTree(info, [](unsigned id) { return "<" + std::to_string(id) + ">"; });

    EXPECT_EQ(Texts(root), (std::vector<std::string>{"<62116>", "<62121>", "<62127>", "<62132>", "<62139>", "<62142>"}));
    EXPECT_EQ(root.children[0].children[0].text, "<62117>OFFICE-PC");
    EXPECT_EQ(Texts(root.children[1])[2], "<62124> GenuineIntel/Intel\xAE Pentium\xAE III processor");
    EXPECT_EQ(Texts(root.children[1])[3], "<62125> 866 MHZ");
    EXPECT_EQ(Texts(root.children[2])[0], "<62128> 523760 KBytes");
    ASSERT_EQ(Texts(root.children[3]), (std::vector<std::string>{"ST380011A ( 76319 MBytes )"}));
    EXPECT_EQ(Texts(root.children[3].children[0]),
              (std::vector<std::string>{"<62133> Secondary Slave", "<62134> ST380011A", "<62143> 3.AAE", "<62135> 5JV1X2QK",
                                        "<62136> 76319 MBytes", "<62137> 2048 KBytes", "<62138> Fixed"}));
    // 2,147,483,648 MB and more show in full, never negative or wrapped.
    EXPECT_EQ(Texts(root.children[4]),
              (std::vector<std::string>{"SYSTEM (C:\\ ) <62141> 20002 MBytes ( <62140> 5120 MBytes )",
                                        " (D:\\ ) <62141> 2147483648 MBytes ( <62140> 4294967303 MBytes )"}));
    EXPECT_EQ(Texts(root.children[5]), (std::vector<std::string>{"E:\\", "Z:\\"}));
}
