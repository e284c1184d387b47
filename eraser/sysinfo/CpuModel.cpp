#include "CpuModel.h"

#include <algorithm>
#include <initializer_list>

namespace {

struct VendorRow {
    const char* id;
    const char* name;
};

const VendorRow kVendors[] = {
    {"GenuineIntel", "Intel"},   {"UMC UMC UMC ", "UMC"},      {"AuthenticAMD", "AMD"},
    {"CyrixInstead", "Cyrix"},   {"NexGenDriven", "NexGen"},   {"CentaurHauls", "Centaur"},
    {"RiseRiseRise", "Rise"},    {"GenuineTMx86", "Transmeta"},
};

// The leaf-2 descriptors the model rules know (Intel's cache and TLB descriptor table).
const uint8_t kKnownDescriptors[] = {
    0x01, 0x02, 0x03, 0x04, 0x06, 0x08, 0x0A, 0x0C, 0x10, 0x15, 0x1A, 0x22, 0x23, 0x25, 0x29, 0x39, 0x3C, 0x40,
    0x41, 0x42, 0x43, 0x44, 0x45, 0x50, 0x51, 0x52, 0x5B, 0x5C, 0x5D, 0x66, 0x67, 0x68, 0x70, 0x71, 0x72, 0x77,
    0x79, 0x7A, 0x7B, 0x7C, 0x7E, 0x81, 0x82, 0x83, 0x84, 0x85, 0x88, 0x89, 0x8A, 0x8D, 0x90, 0x96, 0x9B,
};

// Second-level cache classes of the P6 and NetBurst processors, by descriptor.
const std::initializer_list<uint8_t> kL2Of128K = {0x39, 0x41, 0x79, 0x81};
const std::initializer_list<uint8_t> kL2Of256K = {0x3C, 0x42, 0x7A, 0x7E, 0x82};
const std::initializer_list<uint8_t> kL2Of512K = {0x43, 0x7B, 0x83};
const std::initializer_list<uint8_t> kL2Of1MOrMore = {0x44, 0x45, 0x7C, 0x84, 0x85};
// Itanium's third-level caches.
const std::initializer_list<uint8_t> kMercedCaches = {0x25, 0x29, 0x88, 0x89};

bool HasAny(const CacheDescriptors& kept, std::initializer_list<uint8_t> wanted) {
    // Position 0 holds AL, which is never kept; every other position can hold a descriptor.
    for (size_t i = 1; i < kept.size(); ++i) {
        if (std::find(wanted.begin(), wanted.end(), kept[i]) != wanted.end()) return true;
    }
    return false;
}

std::string Amd(const CpuFacts& cpu) {
    const unsigned family = cpu.signature.family(), model = cpu.signature.model(),
                   stepping = cpu.signature.stepping();
    switch (family) {
    case 4:
        switch (model) {
        case 1: return stepping == 2 ? "AMD 486 Am80486DXL/DXLV" : "AMD 486 Am80486DX";
        case 3: return "AMD 486 Am80486DX2";
        case 7: return "AMD 486 Am80486DX2 write-back";
        case 8: return "AMD 486 Am80486DX4";
        case 9: return "AMD 486 Am80486DX4 write-back";
        case 14: return "AMD 5x86 Am5x86 write-through";
        case 15: return "AMD 5x86 Am5x86 write-back";
        }
        return "AMD 486/586";
    case 5:
        switch (model) {
        case 0: return "AMD K5 5k86 SSA/5";
        case 1:
        case 2:
        case 3: return "AMD K5 5k86 Godot";
        case 6: return stepping == 1 ? "AMD K6 (0.30 um) step B" : stepping == 2 ? "AMD K6 (0.30 um) step C" : "AMD K6 (0.30 um)";
        case 7: return stepping == 0 ? "AMD K6 Little Foot (0.25 um) step A" : "AMD K6 Little Foot (0.25 um) step B";
        case 8: return stepping == 0 ? "AMD K6-2 Chomper step A" : "AMD K6-2 Chomper CXT";
        case 9: return "AMD K6-III Sharptooth";
        case 13: return "AMD K6-2+ / K6-III+ (0.18 um)";
        }
        return "AMD K6";
    case 6:
        switch (model) {
        case 1: return "AMD Athlon Argon (0.25 um)";
        case 2: return "AMD Athlon Pluto/Orion (0.18 um)";
        case 3: return "AMD Duron Spitfire";
        case 4: return "AMD Athlon Thunderbird";
        case 5: return "AMD Athlon Ultra Mustang";
        case 6: return "AMD Athlon XP/MP Palomino";
        case 7: return "AMD Duron Morgan";
        case 8: return "AMD Athlon XP Thoroughbred";
        }
        if (cpu.mhz >= 901 && cpu.mhz <= 1509) return "AMD Mobile Duron Morgan,  0.13 SOI";
        if (cpu.mhz >= 1511) return "AMD Athlon Thoroughbred, ClawHammer A0/A1, SledgeHammer, 0.13 SOI";
        return "Unknown AMD processor";
    }
    return "Unknown AMD processor";
}

std::string Intel486(unsigned model) {
    switch (model) {
    case 0: return "Intel i80486DX-25/33";
    case 1: return "Intel i80486DX-50";
    case 2: return "Intel i80486SX";
    case 3: return "Intel i80486DX2";
    case 4: return "Intel i80486SL";
    case 5: return "Intel i80486SX2";
    case 7: return "Intel i80486DX2 write-back";
    case 8: return "Intel i80486DX4";
    case 9: return "Intel i80486DX4 write-back";
    }
    return "Unknown Intel 486 processor";
}

std::string IntelPentium(unsigned model, unsigned stepping) {
    switch (model) {
    case 0: return "Intel Pentium P5 A-step";
    case 1:
        switch (stepping) {
        case 3: return "Intel Pentium P5 B1 (FDIV bug)";
        case 5: return "Intel Pentium P5 C1 (FDIV bug)";
        case 7: return "Intel Pentium P5 D1";
        }
        return "Intel Pentium P5 60/66";
    case 2:
        switch (stepping) {
        case 1: return "Intel Pentium P54C B1 (FDIV bug)";
        case 2: return "Intel Pentium P54C B3 (FDIV bug)";
        case 4: return "Intel Pentium P54C B5";
        case 5: return "Intel Pentium P54C C2/mA1";
        case 6: return "Intel Pentium P54C E0";
        case 11: return "Intel Pentium P54CS cB1";
        case 12: return "Intel Pentium P54CS cC0";
        }
        return "Intel Pentium P54C 75-200";
    case 3: return "Intel Pentium OverDrive P24T";
    case 4: return stepping == 3 ? "Intel Pentium MMX P55C xB1" : "Intel Pentium MMX P55C";
    case 7: return "Intel Pentium P54C 75-200 (0.35 um)";
    case 8: return "Intel Pentium MMX Tillamook (mobile)";
    }
    return "Unknown Intel Pentium P5 processor";
}

// Family 6 processors whose model number needs the extended model field (Core 2 and Nehalem).
std::string IntelCoreGeneration(unsigned fullModel) {
    switch (fullModel) {
    case 0x15: return "Intel Pentium M Tolapai";
    case 0x16: return "Intel Core 2 / Celeron Merom-L (65 nm)";
    case 0x17: return "Intel Core 2 Penryn/Wolfdale (45 nm)";
    case 0x1A: return "Intel Core i7 Bloomfield/Nehalem-EP (45 nm)";
    case 0x1C: return "Intel Atom Diamondville/Silverthorne (45 nm)";
    case 0x1D: return "Intel Xeon Dunnington (45 nm)";
    case 0x1E: return "Intel Core i5/i7 Lynnfield/Clarksfield (45 nm)";
    }
    return "Unknown Intel processor";
}

std::string IntelP6(const CpuFacts& cpu) {
    const CpuSignature& s = cpu.signature;
    if (s.extendedModel() == 1) return IntelCoreGeneration(0x10 | s.model());
    if (s.extendedModel() != 0) return "Unknown Intel processor";
    const CacheDescriptors& d = cpu.descriptors;
    switch (s.model()) {
    case 0: return "Intel Pentium Pro A-step";
    case 1: return "Intel Pentium Pro";
    case 3: return s.type() == 1 ? "Intel Pentium II OverDrive" : "Intel Pentium II Klamath";
    case 5:
        if (HasAny(d, kL2Of512K)) return cpu.mhz > 332 ? "Intel Pentium II Xeon 400-450" : "Intel Pentium II Deschutes";
        if (HasAny(d, kL2Of1MOrMore)) return "Intel Pentium II Xeon";
        if (HasAny(d, kL2Of256K)) return "Intel Pentium II Mobile Tonga";
        if (HasAny(d, kL2Of128K)) return "Intel Celeron Mendocino";
        return "Intel Celeron Covington";
    case 6: return HasAny(d, kL2Of256K) ? "Intel Pentium II Mobile Dixon" : "Intel Celeron Mendocino";
    case 7: return HasAny(d, kL2Of1MOrMore) ? "Intel Pentium III Xeon Tanner" : "Intel Pentium III Katmai";
    case 8:
        if (HasAny(d, kL2Of128K)) return "Intel Celeron Coppermine-128";
        if (HasAny(d, kL2Of256K)) return "Intel Pentium III Coppermine";
        if (HasAny(d, kL2Of1MOrMore)) return "Intel Pentium III Xeon Coppermine";
        return "Intel Pentium III Coppermine";
    case 9: return "Intel Pentium M Banias";
    case 10: return cpu.mhz > 732 ? "Intel Pentium III Cascades 0.18 or Gallatin 0.13 " : "Intel Pentium III Xeon Cascades";
    case 11:
        if (HasAny(d, kL2Of256K)) return "Intel Celeron Tualatin";
        if (HasAny(d, kL2Of512K)) return "Intel Pentium III Tualatin";
        return "Intel Pentium III Tualatin";
    case 13: return "Intel Pentium M Dothan";
    case 14: return "Intel Core Yonah";
    case 15: return "Intel Core 2 Merom/Conroe";
    }
    return "Unknown Intel processor";
}

std::string IntelNetBurst(const CpuFacts& cpu) {
    const CpuSignature& s = cpu.signature;
    const CacheDescriptors& d = cpu.descriptors;
    if (s.extendedFamily() == 1) {
        return HasAny(d, kMercedCaches) ? "Intel Merced step B1/B2/C/D" : "Intel Itanium 2 (McKinley)";
    }
    if (s.extendedFamily() != 0) return "Unknown Intel processor";
    switch (s.model()) {
    case 0:
    case 1:
        if (HasAny(d, kL2Of128K)) return "Intel Celeron Willamette-128";
        if (HasAny(d, kL2Of256K)) return "Intel Pentium 4 Willamette";
        return "Intel Xeon Foster";
    case 2:
        if (HasAny(d, kL2Of128K)) return "Intel Celeron Northwood-128";
        if (HasAny(d, kL2Of512K)) return "Intel Pentium 4 Northwood";
        return "Intel Xeon Prestonia/Gallatin";
    case 3: return "Intel Pentium 4 Prescott (0.09 um)";
    case 4: return "Intel Pentium 4 Prescott 2M / Pentium D Smithfield";
    case 6: return "Intel Pentium 4 Cedar Mill / Pentium D Presler";
    }
    return "Unknown Intel processor";
}

std::string Intel(const CpuFacts& cpu) {
    switch (cpu.signature.family()) {
    case 3: return "Intel 386";
    case 4: return Intel486(cpu.signature.model());
    case 5: return IntelPentium(cpu.signature.model(), cpu.signature.stepping());
    case 6: return IntelP6(cpu);
    case 15: return IntelNetBurst(cpu);
    }
    return "Unknown Intel processor";
}

}  // namespace

std::string CpuVendorId(uint32_t ebx, uint32_t edx, uint32_t ecx) {
    std::string id;
    for (uint32_t reg : {ebx, edx, ecx}) {
        for (int shift = 0; shift < 32; shift += 8) id += static_cast<char>((reg >> shift) & 0xFF);
    }
    return id;
}

std::string CpuVendorName(const std::string& vendorId) {
    for (const VendorRow& row : kVendors) {
        if (vendorId == row.id) return row.name;
    }
    return "Unknown";
}

std::string CpuTypeText(unsigned type) {
    switch (type) {
    case 0: return "Primary processor";
    case 1: return "Overdrive processor";
    case 2: return "Secondary processor (for MP)";
    }
    return "Unknown";
}

std::string IntelBrandName(unsigned brandIndex, uint32_t signature) {
    const bool f13OrLater = signature >= 0xF13;
    switch (brandIndex) {
    case 1: return "Intel\xAE Celeron\xAE processor";
    case 2:
    case 4: return "Intel\xAE Pentium\xAE III processor";
    case 3: return signature == 0x6B1 ? "Intel\xAE Celeron\xAE processor" : "Intel\xAE Pentium\xAE III Xeon\x99 processor";
    case 6: return "Mobile Intel\xAE Pentium\xAE III Processor-M";
    case 7: return "Mobile Intel\xAE Celeron\xAE processor";
    case 8: return f13OrLater ? "Intel\xAE Genuine processor" : "Intel\xAE Pentium\xAE 4 processor";
    case 9: return "Intel\xAE Pentium\xAE 4 processor";
    case 10: return "Intel\xAE Celeron\xAE Processor";
    case 11: return f13OrLater ? "Intel\xAE Xeon\x99 processor" : "Intel\xAE Xeon\x99 processor MP";
    case 12: return "Intel\xAE Xeon\x99 processor MP";
    case 14: return f13OrLater ? "Mobile Intel\xAE Pentium\xAE 4 processor" : "Intel\xAE Xeon\x99 processor";
    case 15: return "Mobile Intel\xAE Celeron\xAE Processor";
    }
    return "Not available";
}

CacheDescriptors KeepKnownDescriptors(uint32_t eax, uint32_t ebx, uint32_t ecx, uint32_t edx) {
    CacheDescriptors kept{};
    if ((eax & 0xFF) != 1) return kept;
    const uint32_t regs[] = {eax, ebx, ecx, edx};
    for (size_t i = 1; i < kept.size(); ++i) {
        const uint8_t byte = static_cast<uint8_t>(regs[i / 4] >> (8 * (i % 4)));
        if (std::find(std::begin(kKnownDescriptors), std::end(kKnownDescriptors), byte) != std::end(kKnownDescriptors)) {
            kept[i] = byte;
        }
    }
    return kept;
}

std::string ProcessorModelName(const CpuFacts& cpu) {
    if (cpu.vendorName == "Intel") return Intel(cpu);
    if (cpu.vendorName == "AMD") return Amd(cpu);
    for (const char* named : {"UMC", "Transmeta", "Cyrix", "Centaur", "NexGen", "Rise"}) {
        if (cpu.vendorName == named) return cpu.vendorName;
    }
    return "Unknown processor";
}
