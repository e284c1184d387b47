#include "VlrImage.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "Threads.h"

namespace vlr {

namespace {

// Creation writes the data area in chunks this large, encrypting the next chunk while the previous
// one is being written: large writes keep the disk streaming, and the overlap hides the cipher.
constexpr size_t kFillChunkSectors = 16384;  // 8 MiB
// Sector I/O encrypts at most this many sectors into the scratch buffer per file write.
constexpr uint32_t kIoChunkSectors = 2048;  // 1 MiB

bool SameBytes(const uint8_t* a, const uint8_t* b, size_t n) {
    uint8_t diff = 0;
    for (size_t i = 0; i < n; ++i) diff |= static_cast<uint8_t>(a[i] ^ b[i]);
    return diff == 0;
}

bool PasswordSizeOk(size_t size) { return size >= kMinPasswordSize && size <= kMaxPasswordSize; }

// Fills the data area with the encryption of zeros under `cipher`.
bool FillDataArea(CImageFile& file, CSectorCipher& cipher, uint64_t sectorCount) {
    const std::vector<uint8_t> zeros(kFillChunkSectors * kSectorSize, 0);
    std::vector<uint8_t> buffers[2] = {std::vector<uint8_t>(zeros.size()), std::vector<uint8_t>(zeros.size())};
    std::unique_ptr<CTask> pending[2];
    int which = 0;
    bool ok = true;
    for (uint64_t first = 0; ok && first < sectorCount; first += kFillChunkSectors, which ^= 1) {
        const size_t count = static_cast<size_t>(std::min<uint64_t>(kFillChunkSectors, sectorCount - first));
        if (pending[which] && !pending[which]->Join()) ok = false;
        if (!ok || !cipher.Encrypt(first, count, zeros.data(), buffers[which].data())) {
            ok = false;
            break;
        }
        const uint8_t* data = buffers[which].data();
        const uint64_t offset = kDataOffset + first * kSectorSize;
        pending[which].reset(new CTask([&file, data, offset, count] {
            return file.WriteAt(offset, data, count * kSectorSize);
        }));
    }
    for (auto& p : pending)
        if (p && !p->Join()) ok = false;
    return ok;
}

}  // namespace

const char* ResultName(VlrResult result) {
    switch (result) {
    case VlrResult::Ok: return "ok";
    case VlrResult::OpenedFromBackup: return "opened-from-backup";
    case VlrResult::NotFound: return "not-found";
    case VlrResult::Truncated: return "truncated";
    case VlrResult::WrongPassword: return "wrong-password";
    case VlrResult::Damaged: return "damaged";
    case VlrResult::BadPassword: return "bad-password";
    case VlrResult::BadSize: return "bad-size";
    case VlrResult::KdfFailed: return "kdf-failed";
    case VlrResult::IoError: return "io-error";
    }
    return "unknown";
}

VlrResult CVlrImage::Create(const std::string& path, uint32_t sizeMB, const uint8_t* password, size_t passwordSize,
                            const CreateOptions& options) {
    CVlrImage image;
    return image.CreateOpen(path, sizeMB, password, passwordSize, options);
}

VlrResult CVlrImage::CreateOpen(const std::string& path, uint32_t sizeMB, const uint8_t* password,
                                size_t passwordSize, const CreateOptions& options) {
    Close();
    if (!PasswordSizeOk(passwordSize) || !password) return VlrResult::BadPassword;
    if (sizeMB < kMinSizeMB || sizeMB > kMaxSizeMB) return VlrResult::BadSize;

    VlrHeader header;
    header.kdfPasses = options.kdf.passes;
    header.kdfMemoryKiB = options.kdf.memoryKiB;
    header.kdfLanes = options.kdf.lanes;
    header.sectorCount = uint64_t{sizeMB} * kSectorsPerMB;
    CSecretBuffer dataKey(kDataKeySize);
    if (options.fixedSalt)
        std::memcpy(header.salt, options.fixedSalt, kSaltSize);
    else
        Randomize(header.salt, kSaltSize);
    if (options.fixedDataKey)
        std::memcpy(dataKey.data(), options.fixedDataKey, kDataKeySize);
    else
        Randomize(dataKey.data(), kDataKeySize);

    CLockHold lock(lock_);
    if (!cipher_.SetKey(dataKey)) return VlrResult::KdfFailed;
    if (!file_.Create(path)) return VlrResult::IoError;
    // The password key only wraps the data key in the header, which is written last: it is derived
    // while the data area is filled, so creation costs the fill, not the fill and the derivation.
    CSecretBuffer kek;
    CTask derived([&] {
        return DeriveKeyArgon2id(password, passwordSize, header.salt, kSaltSize, header.kdfPasses,
                                 header.kdfMemoryKiB, header.kdfLanes, kek);
    });
    const bool filled = FillDataArea(file_, cipher_, header.sectorCount);
    const bool keyed = derived.Join() && WrapKey(kek, dataKey, header.wrappedKey);
    kek.Wipe();

    uint8_t slot[kHeaderSlotSize] = {};
    EncodeHeader(header, slot);
    const bool checked = keyed && HmacSha256(dataKey.data(), dataKey.size(), slot, kKeyCheckCoverage, header.keyCheck);
    dataKey.Wipe();
    EncodeHeader(header, slot);

    // Data first, headers last: an interrupted creation leaves no file that looks openable.
    const bool ok = filled && checked &&
                    file_.WriteAt(kDataOffset + header.sectorCount * kSectorSize, slot, kHeaderSlotSize) &&
                    file_.WriteAt(0, slot, kHeaderSlotSize) && file_.Sync();
    if (!ok) {
        cipher_.Reset();
        file_.Close();
        std::remove(path.c_str());
        return keyed && checked ? VlrResult::IoError : VlrResult::KdfFailed;
    }
    sectorCount_ = header.sectorCount;
    return VlrResult::Ok;
}

VlrResult CVlrImage::Open(const std::string& path, const uint8_t* password, size_t passwordSize) {
    Close();
    if (!PasswordSizeOk(passwordSize) || !password) return VlrResult::BadPassword;
    switch (file_.OpenExisting(path)) {
    case CImageFile::OpenStatus::Ok: break;
    case CImageFile::OpenStatus::NotFound: return VlrResult::NotFound;
    case CImageFile::OpenStatus::Failed: return VlrResult::IoError;
    }
    uint64_t size = 0;
    if (!file_.Size(size)) {
        Close();
        return VlrResult::IoError;
    }
    if (size < kHeaderSlotSize) {
        Close();
        return VlrResult::Truncated;
    }

    uint8_t raw[kHeaderSize];
    VlrHeader header;
    VlrResult result = VlrResult::Damaged;
    if (!file_.ReadAt(0, raw, kHeaderSize)) {
        result = VlrResult::IoError;
    } else if (DecodeHeader(raw, kHeaderSize, header) == HeaderStatus::Ok) {
        result = size < ImageFileSize(header.sectorCount) ? VlrResult::Truncated
                                                          : Unlock(raw, header, password, passwordSize);
        // A sound primary whose key check fails was altered after it was written; the backup decides.
        if (result != VlrResult::Damaged) {
            if (!Succeeded(result)) Close();
            return result;
        }
    }
    if (result == VlrResult::IoError) {
        Close();
        return result;
    }

    // The primary is unusable: the backup sits in the last slot of a file of exactly the size it states.
    result = VlrResult::Damaged;
    uint8_t backup[kHeaderSize];
    if (size >= ImageFileSize(uint64_t{kMinSizeMB} * kSectorsPerMB) &&
        file_.ReadAt(size - kHeaderSlotSize, backup, kHeaderSize) &&
        DecodeHeader(backup, kHeaderSize, header) == HeaderStatus::Ok && ImageFileSize(header.sectorCount) == size) {
        result = Unlock(backup, header, password, passwordSize);
        if (result == VlrResult::Ok) {
            // Put the sound header back in front, so that one more damaged header does not lose the disk.
            uint8_t slot[kHeaderSlotSize] = {};
            std::memcpy(slot, backup, kHeaderSize);
            result = file_.WriteAt(0, slot, kHeaderSlotSize) && file_.Sync() ? VlrResult::OpenedFromBackup
                                                                              : VlrResult::IoError;
        }
    }
    if (!Succeeded(result)) Close();
    return result;
}

VlrResult CVlrImage::Unlock(const uint8_t* raw, const VlrHeader& header, const uint8_t* password,
                            size_t passwordSize) {
    CSecretBuffer kek;
    if (!DeriveKeyArgon2id(password, passwordSize, header.salt, kSaltSize, header.kdfPasses, header.kdfMemoryKiB,
                           header.kdfLanes, kek))
        return VlrResult::KdfFailed;
    CSecretBuffer dataKey;
    if (!UnwrapKey(kek, header.wrappedKey, kWrappedKeySize, dataKey)) return VlrResult::WrongPassword;
    uint8_t check[kKeyCheckSize];
    if (!HmacSha256(dataKey.data(), dataKey.size(), raw, kKeyCheckCoverage, check)) return VlrResult::KdfFailed;
    if (!SameBytes(check, header.keyCheck, kKeyCheckSize)) return VlrResult::Damaged;
    if (!cipher_.SetKey(dataKey)) return VlrResult::KdfFailed;
    sectorCount_ = header.sectorCount;
    return VlrResult::Ok;
}

bool CVlrImage::ReadSectors(uint64_t first, uint32_t count, uint8_t* out) {
    CLockHold lock(lock_);
    if (!IsOpen() || !InRange(first, count)) return false;
    if (!file_.ReadAt(kDataOffset + first * kSectorSize, out, size_t{count} * kSectorSize)) return false;
    return cipher_.Decrypt(first, count, out, out);
}

bool CVlrImage::WriteSectors(uint64_t first, uint32_t count, const uint8_t* in) {
    CLockHold lock(lock_);
    if (!IsOpen() || !InRange(first, count)) return false;
    while (count) {
        const uint32_t n = std::min(count, kIoChunkSectors);
        scratch_.resize(size_t{n} * kSectorSize);
        if (!cipher_.Encrypt(first, n, in, scratch_.data()) ||
            !file_.WriteAt(kDataOffset + first * kSectorSize, scratch_.data(), scratch_.size()))
            return false;
        first += n;
        count -= n;
        in += size_t{n} * kSectorSize;
    }
    return true;
}

bool CVlrImage::Flush() {
    CLockHold lock(lock_);
    return IsOpen() && file_.Sync();
}

void CVlrImage::Close() {
    CLockHold lock(lock_);
    cipher_.Reset();
    file_.Close();
    sectorCount_ = 0;
    scratch_.clear();
    scratch_.shrink_to_fit();
}

}  // namespace vlr
