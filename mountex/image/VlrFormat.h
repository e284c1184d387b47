#pragma once
// The on-disk layout of a .vlr image file, and the encoding of its header.
//
//   offset 0                       primary header slot (4096 bytes: a 512-byte header, then zeros)
//   offset 4096                    data area: sectorCount sectors of 512 bytes, AES-256-XTS,
//                                  tweak = sector number (little-endian 128-bit, IEEE 1619 data unit)
//   offset 4096 + sectorCount*512  backup header slot, a copy of the primary (4096 bytes)
//
// Header fields, all integers little-endian (kHeaderFields below is the one table that both
// EncodeHeader and DecodeHeader use):
//
//   0    8  magic "VLRDISK" 0x1A
//   8    2  format version (1)
//   10   2  header size (512)
//   12   4  key-derivation function (1 = Argon2id)
//   16   4  KDF passes (Argon2 t)
//   20   4  KDF memory in KiB (Argon2 m)
//   24   4  KDF lanes (Argon2 p)
//   28   4  sector size (512)
//   32   8  data offset in bytes (4096)
//   40   8  data sector count (size in MB * 2048)
//   48  32  KDF salt
//   80  72  the 64-byte XTS data key wrapped under the password key (AES-256 key wrap, RFC 3394)
//   152 32  key check: HMAC-SHA-256 keyed with the data key over bytes 0..151
//   184 296 reserved, zero
//   480 32  header checksum: SHA-256 of bytes 0..479
//
// The checksum tells a damaged header from a sound one without the password; the key wrap's
// integrity value then tells a wrong password from the right one, and the key check binds the
// recovered key to the parameters it was stored with.
#include <cstddef>
#include <cstdint>

namespace vlr {

constexpr uint32_t kSectorSize = 512;
constexpr uint32_t kHeaderSize = 512;
constexpr uint32_t kHeaderSlotSize = 4096;
constexpr uint64_t kDataOffset = kHeaderSlotSize;
constexpr uint32_t kSectorsPerMB = 1024 * 1024 / kSectorSize;
constexpr uint32_t kMinSizeMB = 100;
constexpr uint32_t kMaxSizeMB = 11264;
constexpr uint16_t kFormatVersion = 1;
constexpr uint32_t kKdfArgon2id = 1;
constexpr size_t kSaltSize = 32;
constexpr size_t kDataKeySize = 64;                 // two AES-256 keys for XTS
constexpr size_t kWrappedKeySize = kDataKeySize + 8;  // key wrap adds one 64-bit integrity block
constexpr size_t kKeyCheckSize = 32;
constexpr size_t kChecksumSize = 32;

// Bounds on the KDF parameters accepted from a header. Opening pays whatever derivation the header
// asks for before the password can be told right or wrong, so a damaged or crafted header must not
// make it allocate gigabytes or run for minutes: the bounds sit at four times what creation uses
// (4 passes over 64 MiB, VlrImage.h), which is also the most work (passes times memory) accepted.
constexpr uint32_t kMaxKdfPasses = 16;
constexpr uint32_t kMaxKdfMemoryKiB = 256 * 1024;  // 256 MiB
constexpr uint32_t kMaxKdfLanes = 16;
constexpr uint64_t kMaxKdfWorkKiB = 4ull * 4 * 64 * 1024;

enum FieldId {
    kFieldMagic,
    kFieldVersion,
    kFieldHeaderSize,
    kFieldKdf,
    kFieldKdfPasses,
    kFieldKdfMemory,
    kFieldKdfLanes,
    kFieldSectorSize,
    kFieldDataOffset,
    kFieldSectorCount,
    kFieldSalt,
    kFieldWrappedKey,
    kFieldKeyCheck,
    kFieldReserved,
    kFieldChecksum,
    kFieldCount
};

struct HeaderField {
    uint32_t offset;
    uint32_t size;
};

constexpr HeaderField kHeaderFields[kFieldCount] = {
    {0, 8},     {8, 2},     {10, 2},    {12, 4},   {16, 4},
    {20, 4},    {24, 4},    {28, 4},    {32, 8},   {40, 8},
    {48, kSaltSize},        {80, kWrappedKeySize}, {152, kKeyCheckSize},
    {184, 296}, {480, kChecksumSize},
};

constexpr bool FieldsAreContiguous() {
    for (int i = 1; i < kFieldCount; ++i)
        if (kHeaderFields[i].offset != kHeaderFields[i - 1].offset + kHeaderFields[i - 1].size) return false;
    return kHeaderFields[0].offset == 0 &&
           kHeaderFields[kFieldCount - 1].offset + kHeaderFields[kFieldCount - 1].size == kHeaderSize;
}
static_assert(FieldsAreContiguous(), "header fields must tile the 512-byte header exactly");

extern const uint8_t kMagic[8];

struct VlrHeader {
    uint32_t kdf = kKdfArgon2id;
    uint32_t kdfPasses = 0;
    uint32_t kdfMemoryKiB = 0;
    uint32_t kdfLanes = 0;
    uint64_t sectorCount = 0;
    uint8_t salt[kSaltSize] = {};
    uint8_t wrappedKey[kWrappedKeySize] = {};
    uint8_t keyCheck[kKeyCheckSize] = {};
};

enum class HeaderStatus { Ok, BadMagic, BadVersion, BadField, BadChecksum };

// Writes the 512-byte header, checksum included. The key check must already be in `header`.
void EncodeHeader(const VlrHeader& header, uint8_t out[kHeaderSize]);

// Checks `in` in stages (fixed part, sanity of every field, checksum) and fills `header` only when
// all pass. `size` is the number of bytes available at `in`.
HeaderStatus DecodeHeader(const uint8_t* in, size_t size, VlrHeader& header);

// The bytes the key check covers: the header up to the key check field.
constexpr size_t kKeyCheckCoverage = kHeaderFields[kFieldKeyCheck].offset;

// The file size an image with `sectorCount` data sectors has.
inline uint64_t ImageFileSize(uint64_t sectorCount) {
    return kDataOffset + sectorCount * kSectorSize + kHeaderSlotSize;
}

}  // namespace vlr
