#pragma once
// The few primitives the image format needs, each a thin call into libgcrypt.
#include <cstddef>
#include <cstdint>

#include "SecretBuffer.h"

struct gcry_cipher_handle;

namespace vlr {

// Initialises libgcrypt once per process (version check, secure memory for its own key copies; on
// Windows that memory is locked, so no key schedule reaches the page file).
// Every function below calls it; calling it again is free.
void InitCrypto();

void Sha256(const uint8_t* data, size_t size, uint8_t out[32]);
bool HmacSha256(const uint8_t* key, size_t keySize, const uint8_t* data, size_t size, uint8_t out[32]);

// Fills `out` from libgcrypt's strong random generator.
void Randomize(uint8_t* out, size_t size);

// Argon2id(password, salt) with the given cost, 32 bytes into `out`. False when libgcrypt refuses
// the parameters or runs out of memory.
bool DeriveKeyArgon2id(const uint8_t* password, size_t passwordSize, const uint8_t* salt, size_t saltSize,
                       uint32_t passes, uint32_t memoryKiB, uint32_t lanes, CSecretBuffer& out);

// AES-256 key wrap (RFC 3394): `wrapped` receives keySize + 8 bytes.
bool WrapKey(const CSecretBuffer& kek, const CSecretBuffer& key, uint8_t* wrapped);
// Unwraps `wrappedSize` bytes; false when the integrity value does not match (wrong key-encryption key).
bool UnwrapKey(const CSecretBuffer& kek, const uint8_t* wrapped, size_t wrappedSize, CSecretBuffer& key);

// AES-256-XTS over 512-byte sectors, each sector one data unit whose tweak is its sector number.
// Not thread-safe: one user at a time.
class CSectorCipher {
public:
    CSectorCipher() = default;
    ~CSectorCipher() { Reset(); }
    CSectorCipher(const CSectorCipher&) = delete;
    CSectorCipher& operator=(const CSectorCipher&) = delete;

    // Sets the 64-byte XTS key. libgcrypt keeps its own key schedule and wipes it on Reset().
    bool SetKey(const CSecretBuffer& key);
    // Releases the key schedule (libgcrypt wipes the context when it closes it).
    void Reset();
    bool HasKey() const { return handle_ != nullptr; }

    // Encrypts or decrypts `count` sectors numbered from `first`; `in` and `out` may be the same buffer.
    bool Encrypt(uint64_t first, size_t count, const uint8_t* in, uint8_t* out);
    bool Decrypt(uint64_t first, size_t count, const uint8_t* in, uint8_t* out);

private:
    bool Run(bool encrypt, uint64_t first, size_t count, const uint8_t* in, uint8_t* out);
    gcry_cipher_handle* handle_ = nullptr;
};

}  // namespace vlr
