#pragma once
// What the report says about the processor, decoded from the values the CPUID instruction returns.
// Portable: the instruction itself is executed by the caller.
#include <array>
#include <cstdint>
#include <string>

// "GenuineIntel" from the bytes of leaf 0's EBX, EDX and ECX, in that order.
std::string CpuVendorId(uint32_t ebx, uint32_t edx, uint32_t ecx);

// The short vendor name of a vendor identification: "Intel", "AMD", "Cyrix" ... or "Unknown".
std::string CpuVendorName(const std::string& vendorId);

// The fields of leaf 1's EAX (the processor signature).
struct CpuSignature {
    uint32_t value = 0;
    unsigned stepping() const { return value & 0xF; }
    unsigned model() const { return (value >> 4) & 0xF; }
    unsigned family() const { return (value >> 8) & 0xF; }
    unsigned type() const { return (value >> 12) & 0xF; }
    unsigned extendedModel() const { return (value >> 16) & 0xF; }
    unsigned extendedFamily() const { return (value >> 20) & 0xFF; }
};

// "Primary processor", "Overdrive processor", "Secondary processor (for MP)" or "Unknown".
std::string CpuTypeText(unsigned type);

// Intel's brand name for the brand index (leaf 1, EBX bits 0-7); "Not available" for an index the
// table does not list. The marks (R) and (TM) are the code page 1252 bytes 0xAE and 0x99.
std::string IntelBrandName(unsigned brandIndex, uint32_t signature);

// Leaf 2's descriptor bytes as the model rules use them: when AL is 1, every byte of EAX, EBX, ECX
// and EDX (AL itself excepted) that is one of the descriptors the rules know stays at its position
// (EAX bytes 0-3, EBX 4-7, ECX 8-11, EDX 12-15); every other position is 0.
using CacheDescriptors = std::array<uint8_t, 16>;
CacheDescriptors KeepKnownDescriptors(uint32_t eax, uint32_t ebx, uint32_t ecx, uint32_t edx);

// Everything the model-name table looks at.
struct CpuFacts {
    std::string vendorName;  // CpuVendorName
    CpuSignature signature;
    CacheDescriptors descriptors{};  // Intel only; all 0 elsewhere
    uint32_t mhz = 0;                // the measured clock rate
};

// The processor's model name ("Intel Pentium III Coppermine", "AMD K6-2 Chomper" ...).
std::string ProcessorModelName(const CpuFacts& cpu);
