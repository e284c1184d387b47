#include "Crypto.h"

#include <gcrypt.h>

#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

namespace vlr {

namespace {
void* (*volatile gMemset)(void*, int, size_t) = std::memset;

#ifdef _WIN32
// libgcrypt's own secure memory is not locked on Windows (it never calls VirtualLock), so the key
// schedules it keeps there could be paged out to the page file. Here every secure allocation gets pages
// of its own, locked into memory, wiped and unlocked when freed. Key schedules are few and small, so a
// page or two each is no loss. A block starts kSecureHead bytes into its pages, after its size.
constexpr size_t kSecureHead = 16;
constexpr uint32_t kSecureMark = 0x4B4C4F51;  // "QLOK"

size_t SecurePages(size_t size) {
    SYSTEM_INFO info;
    ::GetSystemInfo(&info);
    const size_t page = info.dwPageSize;
    return (size + kSecureHead + page - 1) / page * page;
}

void* AllocateSecure(size_t size) {
    const size_t total = SecurePages(size);
    auto* base = static_cast<uint8_t*>(::VirtualAlloc(nullptr, total, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (!base) return nullptr;
    bool locked = ::VirtualLock(base, total) != FALSE;
    if (!locked) {
        // The process may lock no more than its minimum working set: raise it by what is asked for.
        SIZE_T minimum = 0, maximum = 0;
        HANDLE self = ::GetCurrentProcess();
        if (::GetProcessWorkingSetSize(self, &minimum, &maximum) &&
            ::SetProcessWorkingSetSize(self, minimum + total, maximum > minimum + total ? maximum : minimum + total))
            locked = ::VirtualLock(base, total) != FALSE;
    }
    if (!locked) {
        ::VirtualFree(base, 0, MEM_RELEASE);
        return nullptr;
    }
    std::memcpy(base, &size, sizeof size);
    std::memcpy(base + sizeof size, &kSecureMark, sizeof kSecureMark);
    return base + kSecureHead;
}

int IsSecure(const void* p) {
    if (!p) return 0;
    MEMORY_BASIC_INFORMATION region;
    const auto* block = static_cast<const uint8_t*>(p);
    if (!::VirtualQuery(block, &region, sizeof region) || region.AllocationBase != block - kSecureHead) return 0;
    uint32_t mark = 0;
    std::memcpy(&mark, block - kSecureHead + sizeof(size_t), sizeof mark);
    return mark == kSecureMark;
}

size_t SecureSize(const void* p) {
    size_t size = 0;
    std::memcpy(&size, static_cast<const uint8_t*>(p) - kSecureHead, sizeof size);
    return size;
}

void FreeSecure(void* p) {
    uint8_t* base = static_cast<uint8_t*>(p) - kSecureHead;
    const size_t total = SecurePages(SecureSize(p));
    gMemset(base, 0, total);
    ::VirtualUnlock(base, total);
    ::VirtualFree(base, 0, MEM_RELEASE);
}

void* Allocate(size_t size) { return std::malloc(size); }

void* Reallocate(void* p, size_t size) {
    if (!IsSecure(p)) return std::realloc(p, size);
    void* moved = AllocateSecure(size);
    if (!moved) return nullptr;
    const size_t old = SecureSize(p);
    std::memcpy(moved, p, old < size ? old : size);
    FreeSecure(p);
    return moved;
}

void Free(void* p) {
    if (IsSecure(p))
        FreeSecure(p);
    else
        std::free(p);
}
#endif
}  // namespace

void WipeBytes(void* p, size_t n) {
    if (p && n) gMemset(p, 0, n);
}

void InitCrypto() {
    // A function-local static is initialised once, whichever thread comes first.
    static const bool ready = [] {
#ifdef _WIN32
        gcry_set_allocation_handler(Allocate, AllocateSecure, IsSecure, Reallocate, Free);
#endif
        gcry_check_version(nullptr);
        // libgcrypt keeps its own copies of keys in secure memory. Locking it needs privileges the
        // helper may not have; the keys are wiped on release either way, so stay quiet about it.
        gcry_control(GCRYCTL_DISABLE_SECMEM_WARN);
        gcry_control(GCRYCTL_INIT_SECMEM, 65536, 0);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
        return true;
    }();
    (void)ready;
}

void Sha256(const uint8_t* data, size_t size, uint8_t out[32]) {
    InitCrypto();
    gcry_md_hash_buffer(GCRY_MD_SHA256, out, data, size);
}

bool HmacSha256(const uint8_t* key, size_t keySize, const uint8_t* data, size_t size, uint8_t out[32]) {
    InitCrypto();
    gcry_md_hd_t md;
    if (gcry_md_open(&md, GCRY_MD_SHA256, GCRY_MD_FLAG_HMAC | GCRY_MD_FLAG_SECURE)) return false;
    bool ok = gcry_md_setkey(md, key, keySize) == 0;
    if (ok) {
        gcry_md_write(md, data, size);
        std::memcpy(out, gcry_md_read(md, GCRY_MD_SHA256), 32);
    }
    gcry_md_close(md);
    return ok;
}

void Randomize(uint8_t* out, size_t size) {
    InitCrypto();
    gcry_randomize(out, size, GCRY_STRONG_RANDOM);
}

bool DeriveKeyArgon2id(const uint8_t* password, size_t passwordSize, const uint8_t* salt, size_t saltSize,
                       uint32_t passes, uint32_t memoryKiB, uint32_t lanes, CSecretBuffer& out) {
    InitCrypto();
    // libgcrypt 1.10 offers Argon2 only through the gcry_kdf_open family (gcry_kdf_derive knows scrypt
    // and PBKDF2 but answers "unknown algorithm" for Argon2). Parameters: tag length, t, m, p.
    const unsigned long params[4] = {32, passes, memoryKiB, lanes};
    gcry_kdf_hd_t hd;
    if (gcry_kdf_open(&hd, GCRY_KDF_ARGON2, GCRY_KDF_ARGON2ID, params, 4, password, passwordSize, salt, saltSize,
                      nullptr, 0, nullptr, 0))
        return false;
    CSecretBuffer key(32);
    bool ok = gcry_kdf_compute(hd, nullptr) == 0 && gcry_kdf_final(hd, key.size(), key.data()) == 0;
    gcry_kdf_close(hd);
    if (ok) out = std::move(key);
    return ok;
}

namespace {

bool OpenWrap(const CSecretBuffer& kek, gcry_cipher_hd_t* hd) {
    InitCrypto();
    if (kek.size() != 32) return false;
    if (gcry_cipher_open(hd, GCRY_CIPHER_AES256, GCRY_CIPHER_MODE_AESWRAP, GCRY_CIPHER_SECURE)) return false;
    if (gcry_cipher_setkey(*hd, kek.data(), kek.size())) {
        gcry_cipher_close(*hd);
        return false;
    }
    return true;
}

}  // namespace

bool WrapKey(const CSecretBuffer& kek, const CSecretBuffer& key, uint8_t* wrapped) {
    gcry_cipher_hd_t hd;
    if (!OpenWrap(kek, &hd)) return false;
    bool ok = gcry_cipher_encrypt(hd, wrapped, key.size() + 8, key.data(), key.size()) == 0;
    gcry_cipher_close(hd);
    return ok;
}

bool UnwrapKey(const CSecretBuffer& kek, const uint8_t* wrapped, size_t wrappedSize, CSecretBuffer& key) {
    if (wrappedSize < 24 || wrappedSize % 8 != 0) return false;
    gcry_cipher_hd_t hd;
    if (!OpenWrap(kek, &hd)) return false;
    CSecretBuffer plain(wrappedSize - 8);
    bool ok = gcry_cipher_decrypt(hd, plain.data(), plain.size(), wrapped, wrappedSize) == 0;
    gcry_cipher_close(hd);
    if (ok) key = std::move(plain);
    return ok;
}

bool CSectorCipher::SetKey(const CSecretBuffer& key) {
    InitCrypto();
    Reset();
    if (key.size() != 64) return false;
    gcry_cipher_hd_t hd;
    if (gcry_cipher_open(&hd, GCRY_CIPHER_AES256, GCRY_CIPHER_MODE_XTS, GCRY_CIPHER_SECURE)) return false;
    if (gcry_cipher_setkey(hd, key.data(), key.size())) {
        gcry_cipher_close(hd);
        return false;
    }
    handle_ = hd;
    return true;
}

void CSectorCipher::Reset() {
    if (handle_) gcry_cipher_close(handle_);
    handle_ = nullptr;
}

bool CSectorCipher::Encrypt(uint64_t first, size_t count, const uint8_t* in, uint8_t* out) {
    return Run(true, first, count, in, out);
}

bool CSectorCipher::Decrypt(uint64_t first, size_t count, const uint8_t* in, uint8_t* out) {
    return Run(false, first, count, in, out);
}

bool CSectorCipher::Run(bool encrypt, uint64_t first, size_t count, const uint8_t* in, uint8_t* out) {
    if (!handle_) return false;
    uint8_t tweak[16] = {};
    for (size_t i = 0; i < count; ++i) {
        uint64_t sector = first + i;
        for (int b = 0; b < 8; ++b) tweak[b] = static_cast<uint8_t>(sector >> (8 * b));
        if (gcry_cipher_setiv(handle_, tweak, sizeof tweak)) return false;
        const size_t at = i * 512;
        gcry_error_t e = encrypt ? (in == out ? gcry_cipher_encrypt(handle_, out + at, 512, nullptr, 0)
                                              : gcry_cipher_encrypt(handle_, out + at, 512, in + at, 512))
                                 : (in == out ? gcry_cipher_decrypt(handle_, out + at, 512, nullptr, 0)
                                              : gcry_cipher_decrypt(handle_, out + at, 512, in + at, 512));
        if (e) return false;
    }
    return true;
}

}  // namespace vlr
