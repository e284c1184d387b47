// The processor texts of the report: Intel's brand-index table with its signature splits, and the
// model-name table's quoted rows and its choices by cache descriptor and clock rate.
#include <gtest/gtest.h>

#include "CpuModel.h"

namespace {

// Leaf 2 with AL = 1 and one descriptor byte at `position` (1 to 15, EDX's top byte is 15).
CacheDescriptors With(uint8_t descriptor, int position = 1) {
    uint32_t regs[4] = {1, 0, 0, 0};
    regs[position / 4] |= static_cast<uint32_t>(descriptor) << (8 * (position % 4));
    return KeepKnownDescriptors(regs[0], regs[1], regs[2], regs[3]);
}

CpuFacts Cpu(const char* vendor, uint32_t signature, uint32_t mhz = 0, CacheDescriptors descriptors = {}) {
    CpuFacts facts;
    facts.vendorName = vendor;
    facts.signature.value = signature;
    facts.mhz = mhz;
    facts.descriptors = descriptors;
    return facts;
}

}  // namespace

TEST(CpuModel, BrandIndexAndVendorNames) {
    const struct {
        unsigned index;
        uint32_t signature;
        const char* brand;
    } rows[] = {
        {3, 0x6B0, "Intel\xAE Pentium\xAE III Xeon\x99 processor"},
        {3, 0x6B1, "Intel\xAE Celeron\xAE processor"},
        {8, 0xF12, "Intel\xAE Pentium\xAE 4 processor"},
        {8, 0xF13, "Intel\xAE Genuine processor"},
        {11, 0xF12, "Intel\xAE Xeon\x99 processor MP"},
        {11, 0xF13, "Intel\xAE Xeon\x99 processor"},
        {14, 0xF12, "Intel\xAE Xeon\x99 processor"},
        {14, 0xF13, "Mobile Intel\xAE Pentium\xAE 4 processor"},
    };
    for (const auto& row : rows) EXPECT_EQ(IntelBrandName(row.index, row.signature), row.brand) << "index " << row.index;
    // Leaf 0 gives the identification in EBX, EDX, ECX order; UMC's ends in a blank.
    EXPECT_EQ(CpuVendorId(0x756E6547, 0x49656E69, 0x6C65746E), "GenuineIntel");
    EXPECT_EQ(CpuVendorName("UMC UMC UMC "), "UMC");
    EXPECT_EQ(CpuVendorName("genuineintel"), "Unknown");
}

TEST(CpuModel, ModelNamesOfTheTable) {
    const struct {
        CpuFacts cpu;
        const char* name;
    } rows[] = {
        {Cpu("Unknown", 0x6A9), "Unknown processor"},
        {Cpu("AMD", 0x412), "AMD 486 Am80486DXL/DXLV"},
        {Cpu("AMD", 0x6A0, 900), "Unknown AMD processor"},
        {Cpu("AMD", 0x6A0, 901), "AMD Mobile Duron Morgan,  0.13 SOI"},
        {Cpu("AMD", 0x6A0, 1510), "Unknown AMD processor"},
        {Cpu("AMD", 0x6A0, 1511), "AMD Athlon Thoroughbred, ClawHammer A0/A1, SledgeHammer, 0.13 SOI"},
        {Cpu("Intel", 0x513), "Intel Pentium P5 B1 (FDIV bug)"},
        {Cpu("Intel", 0x652, 400, With(0x43)), "Intel Pentium II Xeon 400-450"},
        {Cpu("Intel", 0x652, 332, With(0x43)), "Intel Pentium II Deschutes"},
        {Cpu("Intel", 0x683, 600, With(0x82)), "Intel Pentium III Coppermine"},
        {Cpu("Intel", 0x683, 600, With(0x79)), "Intel Celeron Coppermine-128"},
        {Cpu("Intel", 0x683, 600, With(0x79, 15)), "Intel Celeron Coppermine-128"},  // the last descriptor byte counts
        {Cpu("Intel", 0x6A1, 733), "Intel Pentium III Cascades 0.18 or Gallatin 0.13 "},
        {Cpu("Intel", 0x10676), "Intel Core 2 Penryn/Wolfdale (45 nm)"},  // extended model 1, never a P6 name
        {Cpu("Intel", 0xA0671), "Unknown Intel processor"},
        {Cpu("Intel", 0x100F00, 800, With(0x25)), "Intel Merced step B1/B2/C/D"},
        {Cpu("Intel", 0x100F00, 800), "Intel Itanium 2 (McKinley)"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ProcessorModelName(row.cpu), row.name) << row.cpu.vendorName << " " << std::hex << row.cpu.signature.value;
    }
}
