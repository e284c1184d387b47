#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "VlrImage.h"
#include "VolumeFixture.h"

using namespace vlr;

namespace {

std::string Hex(const uint8_t* p, size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

std::vector<uint8_t> FromHex(const std::string& h) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 1 < h.size(); i += 2) out.push_back(static_cast<uint8_t>(std::stoul(h.substr(i, 2), nullptr, 16)));
    return out;
}

std::string Sha256Hex(const std::vector<uint8_t>& data) {
    uint8_t sum[32];
    Sha256(data.data(), data.size(), sum);
    return Hex(sum, 32);
}

// IEEE 1619-2007 XTS-AES-256 test vector 10: one 512-byte data unit, sequence number 0xff.
// It pins the tweak encoding (the sector number, little-endian) to the standard's.
TEST(SectorCipher, MatchesTheStandardXtsAes256Vector) {
    auto key = FromHex("2718281828459045235360287471352662497757247093699959574966967627"
                       "3141592653589793238462643383279502884197169399375105820974944592");
    CSecretBuffer secret(key.data(), key.size());
    CSectorCipher cipher;
    ASSERT_TRUE(cipher.SetKey(secret));
    std::vector<uint8_t> data(512);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i);
    std::vector<uint8_t> out(512);
    ASSERT_TRUE(cipher.Encrypt(0xff, 1, data.data(), out.data()));
    EXPECT_EQ(Hex(out.data(), 32), "1c3b3a102f770386e4836c99e370cf9bea00803f5e482357a4ae12d414a3e63b");
    ASSERT_TRUE(cipher.Decrypt(0xff, 1, out.data(), out.data()));
    EXPECT_EQ(out, data);
}

// An image made with a fixed salt and data key must come out byte for byte the same: a change of the
// layout, the key derivation, the key wrap or the sector encryption fails here.
TEST(VlrFormat, AnImageWithAFixedSaltAndKeyHasTheKnownBytes) {
    char tmpl[] = "/tmp/vlrkat-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string path = std::string(tmpl) + "/kat.vlr";
    uint8_t salt[kSaltSize], key[kDataKeySize];
    for (size_t i = 0; i < kSaltSize; ++i) salt[i] = static_cast<uint8_t>(i);
    for (size_t i = 0; i < kDataKeySize; ++i) key[i] = static_cast<uint8_t>(0x40 + i);
    CreateOptions options;
    options.kdf = {2, 256, 1};
    options.fixedSalt = salt;
    options.fixedDataKey = key;
    const std::string pw = "katpassword";
    ASSERT_EQ(CVlrImage::Create(path, 100, reinterpret_cast<const uint8_t*>(pw.data()), pw.size(), options),
              VlrResult::Ok);
    const std::vector<uint8_t> file = fixture::ReadBytes(path);
    std::remove(path.c_str());
    rmdir(tmpl);
    ASSERT_EQ(file.size(), 4096u + 100u * 1024 * 1024 + 4096u);

    // The readable fields, spelled out: magic, version 1, header 512, Argon2id t=2 m=256 p=1,
    // sector 512, data at 4096, 204800 sectors, then the salt 00..1f.
    EXPECT_EQ(Hex(file.data(), 80),
              "564c524449534b1a" "0100" "0002" "01000000" "02000000" "00010000" "01000000" "00020000"
              "0010000000000000" "0020030000000000"
              "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
    const std::vector<uint8_t> header(file.begin(), file.begin() + kHeaderSize);
    EXPECT_EQ(Hex(header.data() + 80, 72),
              "02553d37f5d698e7384a41456c127c1c45d09a65c031621fb8d174602f4fc03e"
              "168c1b62d6a25102bb6144b35e893f4eb52903f5b6f3f5d729f8012bbda4333f"
              "e01cc74d5efe387f") << "wrapped key";
    EXPECT_EQ(Hex(header.data() + 152, 32), "ad16dc1ed0e6f6b9de4e6cc418c9d2405feeea4a63499fb4591bcf008f722181") << "key check";
    EXPECT_EQ(Hex(header.data() + 480, 32), "7668e2aca6febd801addbcb898ede820634e71dcf282670e6164346b0d91b389") << "header checksum";
    EXPECT_EQ(Hex(file.data() + 4096, 32), "f440e540cab49753a17d1a98e11fa5355cd0ae0e7cf218275c1c64580dba0e34") << "sector 0";
    EXPECT_EQ(Sha256Hex(file), "afd31c83c3ac2446ae36028ecf14ee17706057582de0a5b191cb626e78a0f82b") << "whole file";
    // The backup slot is the primary slot, byte for byte.
    EXPECT_TRUE(std::equal(file.begin(), file.begin() + kHeaderSlotSize, file.end() - kHeaderSlotSize));
}

TEST(VlrFormat, HeaderRoundTripsAndEveryFieldIsChecked) {
    VlrHeader h;
    h.kdfPasses = 16;
    h.kdfMemoryKiB = 4096;
    h.kdfLanes = 2;
    h.sectorCount = 300ull * kSectorsPerMB;
    for (size_t i = 0; i < kSaltSize; ++i) h.salt[i] = static_cast<uint8_t>(i * 3);
    for (size_t i = 0; i < kWrappedKeySize; ++i) h.wrappedKey[i] = static_cast<uint8_t>(i * 5);
    for (size_t i = 0; i < kKeyCheckSize; ++i) h.keyCheck[i] = static_cast<uint8_t>(i * 7);
    uint8_t raw[kHeaderSize];
    EncodeHeader(h, raw);
    VlrHeader back;
    ASSERT_EQ(DecodeHeader(raw, sizeof raw, back), HeaderStatus::Ok);
    EXPECT_EQ(back.kdfPasses, 16u);
    EXPECT_EQ(back.kdfMemoryKiB, 4096u);
    EXPECT_EQ(back.kdfLanes, 2u);
    EXPECT_EQ(back.sectorCount, h.sectorCount);
    EXPECT_EQ(Hex(back.salt, kSaltSize), Hex(h.salt, kSaltSize));
    EXPECT_EQ(Hex(back.wrappedKey, kWrappedKeySize), Hex(h.wrappedKey, kWrappedKeySize));
    EXPECT_EQ(Hex(back.keyCheck, kKeyCheckSize), Hex(h.keyCheck, kKeyCheckSize));

    // Values a damaged or hostile header could carry, each refused before the checksum is even looked at
    // (the checksum is recomputed so only the field check can refuse them).
    struct Case {
        const char* what;
        FieldId field;
        uint64_t value;
        HeaderStatus expected;
    } cases[] = {
        {"version 2", kFieldVersion, 2, HeaderStatus::BadVersion},
        {"header size 4096", kFieldHeaderSize, 4096, HeaderStatus::BadVersion},
        {"unknown KDF", kFieldKdf, 2, HeaderStatus::BadField},
        {"zero passes", kFieldKdfPasses, 0, HeaderStatus::BadField},
        {"a million passes", kFieldKdfPasses, 1000000, HeaderStatus::BadField},
        {"4 TiB of KDF memory", kFieldKdfMemory, 0xFFFFFFFF, HeaderStatus::BadField},
        {"memory below 8 KiB per lane", kFieldKdfMemory, 15, HeaderStatus::BadField},
        {"zero lanes", kFieldKdfLanes, 0, HeaderStatus::BadField},
        // Opening costs one derivation at the header's price: far above what creation asks, a crafted
        // header would stall the machine for minutes.
        {"17 passes", kFieldKdfPasses, 17, HeaderStatus::BadField},
        {"257 MiB of KDF memory", kFieldKdfMemory, 257 * 1024, HeaderStatus::BadField},
        {"16 passes over 128 MiB", kFieldKdfMemory, 128 * 1024, HeaderStatus::BadField},
        {"sector size 4096", kFieldSectorSize, 4096, HeaderStatus::BadField},
        {"data offset 0", kFieldDataOffset, 0, HeaderStatus::BadField},
        {"99 MB", kFieldSectorCount, 99ull * kSectorsPerMB, HeaderStatus::BadField},
        {"11265 MB", kFieldSectorCount, 11265ull * kSectorsPerMB, HeaderStatus::BadField},
        {"a part of a MB", kFieldSectorCount, 300ull * kSectorsPerMB + 1, HeaderStatus::BadField},
        {"2^64 - 1 sectors", kFieldSectorCount, ~0ull, HeaderStatus::BadField},
        {"reserved byte set", kFieldReserved, 1, HeaderStatus::BadField},
    };
    for (const Case& c : cases) {
        uint8_t bad[kHeaderSize];
        std::copy(raw, raw + kHeaderSize, bad);
        uint64_t v = c.value;
        for (uint32_t i = 0; i < kHeaderFields[c.field].size && i < 8; ++i, v >>= 8)
            bad[kHeaderFields[c.field].offset + i] = static_cast<uint8_t>(v);
        Sha256(bad, kHeaderFields[kFieldChecksum].offset, bad + kHeaderFields[kFieldChecksum].offset);
        EXPECT_EQ(DecodeHeader(bad, sizeof bad, back), c.expected) << c.what;
    }
    // What creation asks, and up to four times its work, still opens.
    for (const KdfCost& cost : {kDefaultKdfCost, KdfCost{16, 64 * 1024, 1}, KdfCost{4, 256 * 1024, 4}}) {
        VlrHeader costly = h;
        costly.kdfPasses = cost.passes;
        costly.kdfMemoryKiB = cost.memoryKiB;
        costly.kdfLanes = cost.lanes;
        uint8_t encoded[kHeaderSize];
        EncodeHeader(costly, encoded);
        EXPECT_EQ(DecodeHeader(encoded, sizeof encoded, back), HeaderStatus::Ok)
            << cost.passes << " passes over " << cost.memoryKiB << " KiB were refused";
    }
    uint8_t bad[kHeaderSize];
    std::copy(raw, raw + kHeaderSize, bad);
    bad[kHeaderFields[kFieldSalt].offset] ^= 1;
    EXPECT_EQ(DecodeHeader(bad, sizeof bad, back), HeaderStatus::BadChecksum) << "a changed salt must fail the checksum";
    bad[0] ^= 1;
    EXPECT_EQ(DecodeHeader(bad, sizeof bad, back), HeaderStatus::BadMagic);
    EXPECT_EQ(DecodeHeader(raw, kHeaderSize - 1, back), HeaderStatus::BadMagic) << "a short buffer must not be read";
}

}  // namespace
