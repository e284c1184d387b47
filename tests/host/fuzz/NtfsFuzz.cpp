// libFuzzer target for the NTFS walk. A small volume is built around the input: a boot sector, an
// MFT of 16 one-KiB records whose record 0 ($MFT) maps them and marks only itself in use, and the
// input laid over records 1 to 15 (and, past them, over record 0 itself). A scan and a name wipe
// then run over it, so the fuzzer drives the fix-up, attributes, run lists, names and parent links.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "NtfsWalk.h"

namespace {

void Put16(std::vector<uint8_t>& v, size_t at, uint16_t x) { v[at] = x & 0xFF, v[at + 1] = x >> 8; }
void Put32(std::vector<uint8_t>& v, size_t at, uint32_t x) { Put16(v, at, x & 0xFFFF), Put16(v, at + 2, x >> 16); }

constexpr size_t kCluster = 4096, kRecord = 1024, kMft = kCluster;  // the MFT is cluster 1

std::vector<uint8_t> Template() {
    std::vector<uint8_t> v(8 * kCluster, 0);
    std::memcpy(&v[3], "NTFS    ", 8);
    Put16(v, 11, 512);
    v[13] = 8;
    Put32(v, 40, 64);  // total sectors
    Put32(v, 48, 1);   // MFT cluster
    v[64] = 0xF6;      // 1024-byte records
    v[510] = 0x55, v[511] = 0xAA;

    size_t r = kMft;
    std::memcpy(&v[r], "FILE", 4);
    Put16(v, r + 4, 48);   // update sequence array at 48
    Put16(v, r + 6, 3);    // 3 entries: number + 2 blocks
    Put16(v, r + 20, 56);  // first attribute
    Put16(v, r + 22, 1);   // in use
    Put32(v, r + 24, 56 + 72 + 32 + 8);
    Put16(v, r + 48, 1);   // sequence number 1, also at both block ends
    Put16(v, r + 510, 1);
    Put16(v, r + 1022, 1);
    size_t a = r + 56;  // $DATA, non-resident, one run of 4 clusters at cluster 1
    Put32(v, a, 0x80);
    Put32(v, a + 4, 72);
    v[a + 8] = 1;
    Put32(v, a + 24, 3);  // last VCN
    Put16(v, a + 32, 64);
    Put32(v, a + 48, 16 * kRecord);
    v[a + 64] = 0x11, v[a + 65] = 0x04, v[a + 66] = 0x01;
    a += 72;  // $BITMAP, resident, 2 bytes: only record 0 in use
    Put32(v, a, 0xB0);
    Put32(v, a + 4, 32);
    Put32(v, a + 16, 2);
    Put16(v, a + 20, 24);
    v[a + 24] = 0x01;
    Put32(v, a + 32, 0xFFFFFFFF);
    return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<uint8_t> kTemplate = Template();
    std::vector<uint8_t> image = kTemplate;
    const size_t records = 15 * kRecord;
    std::memcpy(&image[kMft + kRecord], data, size < records ? size : records);
    if (size > records) {
        size_t extra = size - records < kRecord ? size - records : kRecord;
        std::memcpy(&image[kMft], data + records, extra);
    }
    diskfs::MemorySectorDevice device(image);
    diskfs::NtfsWalk scan(device);
    scan.biasMinutes = 0;
    scan.control.skipEmpty = (size & 1) != 0;
    diskfs::DeletedFileList list;
    scan.ScanDeleted("C:", list);
    diskfs::NtfsWalk wipe(device);
    wipe.WipeDeletedNames();
    return 0;
}
