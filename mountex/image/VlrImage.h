#pragma once
// A .vlr image file: creation, opening with a password, and sector access to the decrypted volume.
// The layout is in VlrFormat.h.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Crypto.h"
#include "ImageFile.h"
#include "Threads.h"
#include "VlrFormat.h"

namespace vlr {

enum class VlrResult {
    Ok,
    OpenedFromBackup,  // the primary header was damaged; the backup opened the image and repaired it
    NotFound,          // no file at the path
    Truncated,         // the file is shorter than its header says
    WrongPassword,     // a sound header whose key the password does not unlock
    Damaged,           // neither header is usable
    BadPassword,       // the password is not 4 to 16 bytes
    BadSize,           // the size is not 100 to 11264 MB
    KdfFailed,         // the key derivation could not run (memory)
    IoError,
};

const char* ResultName(VlrResult result);

inline bool Succeeded(VlrResult r) { return r == VlrResult::Ok || r == VlrResult::OpenedFromBackup; }

constexpr size_t kMinPasswordSize = 4;
constexpr size_t kMaxPasswordSize = 16;

struct KdfCost {
    uint32_t passes;
    uint32_t memoryKiB;
    uint32_t lanes;
};

// Argon2id with 64 MiB and 4 passes. Opening an image costs one derivation, so this is the price an
// attacker pays per password guess and the user pays per mount. On this machine (2 cores, libgcrypt
// 1.10, no parallel lanes) it takes about 0.4 to 0.5 s: long enough to make guessing a 4-character
// password over its whole space take years of machine time, short enough that mounting does not feel
// slow, and 64 MiB stays well inside a 32-bit process's address space on Windows.
constexpr KdfCost kDefaultKdfCost = {4, 64 * 1024, 1};
static_assert(uint64_t{kDefaultKdfCost.passes} * kDefaultKdfCost.memoryKiB <= kMaxKdfWorkKiB &&
                  kDefaultKdfCost.memoryKiB <= kMaxKdfMemoryKiB,
              "an image made with the default cost must open");

struct CreateOptions {
    KdfCost kdf = kDefaultKdfCost;
    // Test hook: when set, these replace the random salt (kSaltSize bytes) and data key
    // (kDataKeySize bytes) so that an image's bytes are reproducible. Never set in the product.
    const uint8_t* fixedSalt = nullptr;
    const uint8_t* fixedDataKey = nullptr;
};

class CVlrImage {
public:
    CVlrImage() = default;
    ~CVlrImage() { Close(); }
    CVlrImage(const CVlrImage&) = delete;
    CVlrImage& operator=(const CVlrImage&) = delete;

    // Creates (or replaces) the image at `path`: sizeMB of data filled with the encryption of zeros,
    // so that no sector later shows whether it was ever written. A partial file is removed on failure.
    static VlrResult Create(const std::string& path, uint32_t sizeMB, const uint8_t* password, size_t passwordSize,
                            const CreateOptions& options = CreateOptions());
    // The same, leaving this object holding the new image open, as Open() would (without deriving
    // the key a second time).
    VlrResult CreateOpen(const std::string& path, uint32_t sizeMB, const uint8_t* password, size_t passwordSize,
                         const CreateOptions& options = CreateOptions());

    // Opens the image with the password. On success the image holds the data key until Close().
    VlrResult Open(const std::string& path, const uint8_t* password, size_t passwordSize);

    // Sector access to the decrypted volume; false on a range outside the volume or an I/O error.
    // Safe to call from several threads.
    bool ReadSectors(uint64_t first, uint32_t count, uint8_t* out);
    bool WriteSectors(uint64_t first, uint32_t count, const uint8_t* in);
    bool Flush();

    // Releases the file and wipes every key.
    void Close();

    bool IsOpen() const { return file_.IsOpen(); }
    uint64_t SectorCount() const { return sectorCount_; }

    // The open image file's identity, and its renaming (CImageFile::MoveTo).
    bool FileIdentity(vlr::FileIdentity& identity) const { return file_.Identity(identity); }
    bool MoveTo(const std::string& path) { return file_.MoveTo(path); }

private:
    VlrResult Unlock(const uint8_t* rawHeader, const VlrHeader& header, const uint8_t* password,
                     size_t passwordSize);
    bool InRange(uint64_t first, uint32_t count) const {
        return first <= sectorCount_ && count <= sectorCount_ - first;
    }

    CImageFile file_;
    CSectorCipher cipher_;
    uint64_t sectorCount_ = 0;
    CLock lock_;                  // guards cipher_ and scratch_
    std::vector<uint8_t> scratch_;  // ciphertext on its way to or from the file, never plaintext
};

}  // namespace vlr
