// The processor texts of the system report: vendor, brand and type tables, the cache descriptors
// the model rules see, and the model-name table's fixed rows and its choices by cache and clock.
#include <gtest/gtest.h>

#include "CpuModel.h"

namespace {

uint32_t Reg(const char* four) {
    return static_cast<uint32_t>(static_cast<unsigned char>(four[0]) | static_cast<unsigned char>(four[1]) << 8 |
                                 static_cast<unsigned char>(four[2]) << 16 | static_cast<unsigned char>(four[3]) << 24);
}

CpuFacts Facts(const char* vendor, uint32_t signature, uint32_t mhz = 0, CacheDescriptors descriptors = {}) {
    CpuFacts facts;
    facts.vendorName = vendor;
    facts.signature.value = signature;
    facts.mhz = mhz;
    facts.descriptors = descriptors;
    return facts;
}

// Leaf 2 with AL = 1 and one descriptor byte at `position` (1 to 15).
CacheDescriptors With(uint8_t descriptor, int position = 1) {
    uint32_t regs[4] = {1, 0, 0, 0};
    regs[position / 4] |= static_cast<uint32_t>(descriptor) << (8 * (position % 4));
    return KeepKnownDescriptors(regs[0], regs[1], regs[2], regs[3]);
}

}  // namespace

TEST(CpuModel, VendorIdentificationGivesTheVendorName) {
    // Leaf 0 of a Pentium: EBX "Genu", EDX "ineI", ECX "ntel".
    EXPECT_EQ(CpuVendorId(Reg("Genu"), Reg("ineI"), Reg("ntel")), "GenuineIntel");
    const std::pair<const char*, const char*> rows[] = {
        {"GenuineIntel", "Intel"}, {"UMC UMC UMC ", "UMC"},         {"AuthenticAMD", "AMD"},
        {"CyrixInstead", "Cyrix"}, {"NexGenDriven", "NexGen"},      {"CentaurHauls", "Centaur"},
        {"RiseRiseRise", "Rise"},  {"GenuineTMx86", "Transmeta"},   {"HygonGenuine", "Unknown"},
        {"genuineintel", "Unknown"},
    };
    for (const auto& row : rows) EXPECT_EQ(CpuVendorName(row.first), row.second) << row.first;

    EXPECT_EQ(CpuTypeText(0), "Primary processor");
    EXPECT_EQ(CpuTypeText(1), "Overdrive processor");
    EXPECT_EQ(CpuTypeText(2), "Secondary processor (for MP)");
    EXPECT_EQ(CpuTypeText(3), "Unknown");
}

TEST(CpuModel, BrandIndexFollowsIntelsTableAndItsSignatureSplits) {
    const struct {
        unsigned index;
        uint32_t signature;
        const char* brand;
    } rows[] = {
        {0, 0x686, "Not available"},
        {1, 0x686, "Intel\xAE Celeron\xAE processor"},
        {2, 0x686, "Intel\xAE Pentium\xAE III processor"},
        {3, 0x6B0, "Intel\xAE Pentium\xAE III Xeon\x99 processor"},
        {3, 0x6B1, "Intel\xAE Celeron\xAE processor"},
        {4, 0x6B1, "Intel\xAE Pentium\xAE III processor"},
        {6, 0x6B4, "Mobile Intel\xAE Pentium\xAE III Processor-M"},
        {7, 0x6B4, "Mobile Intel\xAE Celeron\xAE processor"},
        {8, 0xF12, "Intel\xAE Pentium\xAE 4 processor"},
        {8, 0xF13, "Intel\xAE Genuine processor"},
        {9, 0xF24, "Intel\xAE Pentium\xAE 4 processor"},
        {10, 0xF24, "Intel\xAE Celeron\xAE Processor"},
        {11, 0xF12, "Intel\xAE Xeon\x99 processor MP"},
        {11, 0xF13, "Intel\xAE Xeon\x99 processor"},
        {12, 0xF24, "Intel\xAE Xeon\x99 processor MP"},
        {13, 0xF24, "Not available"},
        {14, 0xF12, "Intel\xAE Xeon\x99 processor"},
        {14, 0xF13, "Mobile Intel\xAE Pentium\xAE 4 processor"},
        {15, 0xF24, "Mobile Intel\xAE Celeron\xAE Processor"},
        {22, 0xF24, "Not available"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(IntelBrandName(row.index, row.signature), row.brand) << "index " << row.index << ", signature " << std::hex << row.signature;
    }
}

TEST(CpuModel, OnlyKnownDescriptorsAreKeptWhenLeafTwoAnswersOnce) {
    // A Pentium III Coppermine: EAX 0x03020101, EDX 0x0C040882 (0x82: 256 KB second-level cache).
    const CacheDescriptors kept = KeepKnownDescriptors(0x03020101, 0, 0, 0x0C040882);
    const CacheDescriptors expected = {0, 0x01, 0x02, 0x03, 0, 0, 0, 0, 0, 0, 0, 0, 0x82, 0x08, 0x04, 0x0C};
    EXPECT_EQ(kept, expected);
    // 0x0B is not a descriptor the rules know; AL other than 1 keeps nothing.
    EXPECT_EQ(KeepKnownDescriptors(0x0B0B0B01, 0, 0, 0)[1], 0);
    EXPECT_EQ(KeepKnownDescriptors(0x03020102, 0, 0, 0), CacheDescriptors{});
}

TEST(CpuModel, ModelNamesOfTheTable) {
    const struct {
        CpuFacts cpu;
        const char* name;
    } rows[] = {
        // Vendors named by themselves, and the unknown one.
        {Facts("Cyrix", 0x52C), "Cyrix"},
        {Facts("Transmeta", 0x543), "Transmeta"},
        {Facts("Centaur", 0x6A9), "Centaur"},
        {Facts("Unknown", 0x6A9), "Unknown processor"},
        // AMD.
        {Facts("AMD", 0x410), "AMD 486 Am80486DX"},
        {Facts("AMD", 0x412), "AMD 486 Am80486DXL/DXLV"},
        {Facts("AMD", 0x4A0), "AMD 486/586"},
        {Facts("AMD", 0x500), "AMD K5 5k86 SSA/5"},
        {Facts("AMD", 0x524), "AMD K5 5k86 Godot"},
        {Facts("AMD", 0x58C), "AMD K6-2 Chomper CXT"},
        {Facts("AMD", 0x5A0), "AMD K6"},
        {Facts("AMD", 0x642), "AMD Athlon Thunderbird"},
        {Facts("AMD", 0x6A0, 900), "Unknown AMD processor"},
        {Facts("AMD", 0x6A0, 901), "AMD Mobile Duron Morgan,  0.13 SOI"},
        {Facts("AMD", 0x6A0, 1509), "AMD Mobile Duron Morgan,  0.13 SOI"},
        {Facts("AMD", 0x6A0, 1510), "Unknown AMD processor"},
        {Facts("AMD", 0x6A0, 1511), "AMD Athlon Thoroughbred, ClawHammer A0/A1, SledgeHammer, 0.13 SOI"},
        {Facts("AMD", 0xF48), "Unknown AMD processor"},
        // Intel 386 to Pentium.
        {Facts("Intel", 0x300), "Intel 386"},
        {Facts("Intel", 0x400), "Intel i80486DX-25/33"},
        {Facts("Intel", 0x480), "Intel i80486DX4"},
        {Facts("Intel", 0x4A0), "Unknown Intel 486 processor"},
        {Facts("Intel", 0x513), "Intel Pentium P5 B1 (FDIV bug)"},
        {Facts("Intel", 0x5F0), "Unknown Intel Pentium P5 processor"},
        // P6: models 5, 8 and 11 by second-level cache, 5 and 10 by clock.
        {Facts("Intel", 0x652, 400, With(0x43)), "Intel Pentium II Xeon 400-450"},
        {Facts("Intel", 0x652, 332, With(0x43)), "Intel Pentium II Deschutes"},
        {Facts("Intel", 0x650, 266), "Intel Celeron Covington"},
        {Facts("Intel", 0x683, 600, With(0x82)), "Intel Pentium III Coppermine"},
        {Facts("Intel", 0x683, 600, With(0x79)), "Intel Celeron Coppermine-128"},
        // The descriptor in EDX's last byte counts like any other.
        {Facts("Intel", 0x683, 600, With(0x79, 15)), "Intel Celeron Coppermine-128"},
        {Facts("Intel", 0x6A1, 733), "Intel Pentium III Cascades 0.18 or Gallatin 0.13 "},
        {Facts("Intel", 0x6A1, 732), "Intel Pentium III Xeon Cascades"},
        {Facts("Intel", 0x6B1, 1200, With(0x82)), "Intel Celeron Tualatin"},
        {Facts("Intel", 0x6B1, 1266, With(0x83)), "Intel Pentium III Tualatin"},
        // Later family-6 processors are named by their whole model number, never as a P6.
        {Facts("Intel", 0x10676), "Intel Core 2 Penryn/Wolfdale (45 nm)"},
        {Facts("Intel", 0xA0671), "Unknown Intel processor"},
        // NetBurst and Itanium by the extended family.
        {Facts("Intel", 0xF24, 2400, With(0x7B)), "Intel Pentium 4 Northwood"},
        {Facts("Intel", 0x100F00, 800, With(0x25)), "Intel Merced step B1/B2/C/D"},
        {Facts("Intel", 0x100F00, 800), "Intel Itanium 2 (McKinley)"},
        {Facts("Intel", 0x700), "Unknown Intel processor"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ProcessorModelName(row.cpu), row.name)
            << row.cpu.vendorName << " signature " << std::hex << row.cpu.signature.value << std::dec << " at " << row.cpu.mhz << " MHz";
    }
}
