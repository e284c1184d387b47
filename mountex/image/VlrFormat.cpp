#include "VlrFormat.h"

#include <cstring>

#include "Crypto.h"

namespace vlr {

const uint8_t kMagic[8] = {'V', 'L', 'R', 'D', 'I', 'S', 'K', 0x1A};

namespace {

uint64_t LoadLe(const uint8_t* p, uint32_t size) {
    uint64_t v = 0;
    for (uint32_t i = size; i-- > 0;) v = (v << 8) | p[i];
    return v;
}

void StoreLe(uint8_t* p, uint32_t size, uint64_t v) {
    for (uint32_t i = 0; i < size; ++i, v >>= 8) p[i] = static_cast<uint8_t>(v);
}

uint64_t Get(const uint8_t* header, FieldId id) {
    return LoadLe(header + kHeaderFields[id].offset, kHeaderFields[id].size);
}

void Put(uint8_t* header, FieldId id, uint64_t v) {
    StoreLe(header + kHeaderFields[id].offset, kHeaderFields[id].size, v);
}

void PutBytes(uint8_t* header, FieldId id, const uint8_t* bytes) {
    std::memcpy(header + kHeaderFields[id].offset, bytes, kHeaderFields[id].size);
}

void GetBytes(const uint8_t* header, FieldId id, uint8_t* bytes) {
    std::memcpy(bytes, header + kHeaderFields[id].offset, kHeaderFields[id].size);
}

}  // namespace

void EncodeHeader(const VlrHeader& h, uint8_t out[kHeaderSize]) {
    std::memset(out, 0, kHeaderSize);
    PutBytes(out, kFieldMagic, kMagic);
    Put(out, kFieldVersion, kFormatVersion);
    Put(out, kFieldHeaderSize, kHeaderSize);
    Put(out, kFieldKdf, h.kdf);
    Put(out, kFieldKdfPasses, h.kdfPasses);
    Put(out, kFieldKdfMemory, h.kdfMemoryKiB);
    Put(out, kFieldKdfLanes, h.kdfLanes);
    Put(out, kFieldSectorSize, kSectorSize);
    Put(out, kFieldDataOffset, kDataOffset);
    Put(out, kFieldSectorCount, h.sectorCount);
    PutBytes(out, kFieldSalt, h.salt);
    PutBytes(out, kFieldWrappedKey, h.wrappedKey);
    PutBytes(out, kFieldKeyCheck, h.keyCheck);
    Sha256(out, kHeaderFields[kFieldChecksum].offset, out + kHeaderFields[kFieldChecksum].offset);
}

HeaderStatus DecodeHeader(const uint8_t* in, size_t size, VlrHeader& h) {
    if (size < kHeaderSize) return HeaderStatus::BadMagic;
    // Stage 1: the fixed part.
    if (std::memcmp(in + kHeaderFields[kFieldMagic].offset, kMagic, sizeof kMagic) != 0) return HeaderStatus::BadMagic;
    if (Get(in, kFieldVersion) != kFormatVersion || Get(in, kFieldHeaderSize) != kHeaderSize)
        return HeaderStatus::BadVersion;
    // Stage 2: every field within the bounds this format allows.
    const uint64_t kdf = Get(in, kFieldKdf), passes = Get(in, kFieldKdfPasses);
    const uint64_t memory = Get(in, kFieldKdfMemory), lanes = Get(in, kFieldKdfLanes);
    const uint64_t sectors = Get(in, kFieldSectorCount);
    if (kdf != kKdfArgon2id || passes < 1 || passes > kMaxKdfPasses || lanes < 1 || lanes > kMaxKdfLanes ||
        memory < 8 * lanes || memory > kMaxKdfMemoryKiB || passes * memory > kMaxKdfWorkKiB)
        return HeaderStatus::BadField;
    if (Get(in, kFieldSectorSize) != kSectorSize || Get(in, kFieldDataOffset) != kDataOffset)
        return HeaderStatus::BadField;
    if (sectors % kSectorsPerMB != 0 || sectors / kSectorsPerMB < kMinSizeMB || sectors / kSectorsPerMB > kMaxSizeMB)
        return HeaderStatus::BadField;
    for (uint32_t i = 0; i < kHeaderFields[kFieldReserved].size; ++i)
        if (in[kHeaderFields[kFieldReserved].offset + i] != 0) return HeaderStatus::BadField;
    // Stage 3: the checksum over everything before it.
    uint8_t sum[kChecksumSize];
    Sha256(in, kHeaderFields[kFieldChecksum].offset, sum);
    if (std::memcmp(sum, in + kHeaderFields[kFieldChecksum].offset, kChecksumSize) != 0)
        return HeaderStatus::BadChecksum;

    h.kdf = static_cast<uint32_t>(kdf);
    h.kdfPasses = static_cast<uint32_t>(passes);
    h.kdfMemoryKiB = static_cast<uint32_t>(memory);
    h.kdfLanes = static_cast<uint32_t>(lanes);
    h.sectorCount = sectors;
    GetBytes(in, kFieldSalt, h.salt);
    GetBytes(in, kFieldWrappedKey, h.wrappedKey);
    GetBytes(in, kFieldKeyCheck, h.keyCheck);
    return HeaderStatus::Ok;
}

}  // namespace vlr
