#pragma once
// A small FAT32 volume built in memory, entry by entry, for tests that need layouts (or damage)
// that the real tools will not produce. 512-byte sectors, one sector per cluster, two FATs.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace tiny {

class Fat32Image {
public:
    static constexpr uint32_t kReserved = 8, kSectorsPerFat = 2, kDataSectors = 120;
    static constexpr uint32_t kTotal = kReserved + 2 * kSectorsPerFat + kDataSectors;

    std::vector<uint8_t> bytes;

    Fat32Image() : bytes(kTotal * 512, 0) {
        uint8_t* b = bytes.data();
        b[0] = 0xEB, b[1] = 0x58, b[2] = 0x90;
        std::memcpy(b + 3, "MSWIN4.1", 8);
        Put16(11, 512);
        b[13] = 1;
        Put16(14, kReserved);
        b[16] = 2;
        b[21] = 0xF8;
        Put32(32, kTotal);
        Put32(36, kSectorsPerFat);
        Put32(44, 2);
        std::memcpy(b + 82, "FAT32   ", 8);
        b[510] = 0x55, b[511] = 0xAA;
        SetFat(0, 0x0FFFFFF8);
        SetFat(1, 0x0FFFFFFF);
        SetFat(2, 0x0FFFFFFF);
    }

    void Put16(size_t at, uint16_t v) { bytes[at] = v & 0xFF, bytes[at + 1] = v >> 8; }
    void Put32(size_t at, uint32_t v) { Put16(at, v & 0xFFFF), Put16(at + 2, v >> 16); }
    size_t ClusterOffset(uint32_t c) const { return (kReserved + 2 * kSectorsPerFat + (c - 2)) * 512; }
    uint8_t* Entry(uint32_t cluster, size_t index) { return &bytes[ClusterOffset(cluster) + 32 * index]; }

    // Sets FAT entry `c` in both FATs.
    void SetFat(uint32_t c, uint32_t value) {
        Put32(kReserved * 512 + 4 * c, value);
        Put32((kReserved + kSectorsPerFat) * 512 + 4 * c, value);
    }

    // A short entry; `name11` is the 11 bytes of name and extension, first byte as it lies on disk.
    void Short(uint32_t dir, size_t index, const char* name11, uint8_t attr, uint32_t first, uint32_t size,
               uint16_t date = 0x3B2F, uint16_t time = 0x7BBD) {
        uint8_t* e = Entry(dir, index);
        std::memset(e, 0, 32);
        std::memcpy(e, name11, 11);
        e[11] = attr;
        size_t base = e - bytes.data();
        Put16(base + 20, first >> 16);
        Put16(base + 26, first & 0xFFFF);
        Put16(base + 22, time);
        Put16(base + 24, date);
        Put32(base + 28, size);
    }

    // The long-name entries of `name` (ASCII) at `index` onwards, last piece first, as the entry at
    // the returned index expects; `deleted` marks each with 0xE5. Returns the short entry's index.
    size_t Long(uint32_t dir, size_t index, const std::string& name, bool deleted) {
        static const int kOffsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
        std::vector<uint16_t> units(name.begin(), name.end());
        size_t pieces = (units.size() + 12) / 13;
        if (units.size() % 13) units.push_back(0);
        units.resize(pieces * 13, 0xFFFF);
        for (size_t p = 0; p < pieces; ++p) {
            size_t seq = pieces - p;
            uint8_t* e = Entry(dir, index + p);
            std::memset(e, 0, 32);
            e[0] = deleted ? 0xE5 : static_cast<uint8_t>(seq | (p == 0 ? 0x40 : 0));
            e[11] = 0x0F;
            for (int k = 0; k < 13; ++k) {
                uint16_t u = units[(seq - 1) * 13 + k];
                e[kOffsets[k]] = u & 0xFF, e[kOffsets[k] + 1] = u >> 8;
            }
        }
        return index + pieces;
    }

    // Makes `cluster` a one-cluster directory whose parent is `parent` ("." and "..").
    void Directory(uint32_t cluster, uint32_t parent) {
        SetFat(cluster, 0x0FFFFFFF);
        Short(cluster, 0, ".          ", 0x10, cluster, 0);
        Short(cluster, 1, "..         ", 0x10, parent == 2 ? 0 : parent, 0);  // the root is cluster 0 here
    }
};

}  // namespace tiny
