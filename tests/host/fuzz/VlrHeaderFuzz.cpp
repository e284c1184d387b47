// libFuzzer target for the secret-disk image header. The input is decoded as it stands, and again
// with the magic put in place and the checksum made right, so the fuzzer reaches the field checks.
// A header that decodes must encode back to the same 512 bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Crypto.h"
#include "VlrFormat.h"

namespace {

void DecodeAndRoundTrip(const uint8_t* bytes, size_t size) {
    vlr::VlrHeader header;
    if (vlr::DecodeHeader(bytes, size, header) != vlr::HeaderStatus::Ok) return;
    uint8_t again[vlr::kHeaderSize];
    vlr::EncodeHeader(header, again);
    if (size < vlr::kHeaderSize || std::memcmp(again, bytes, vlr::kHeaderSize) != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DecodeAndRoundTrip(data, size);

    std::vector<uint8_t> fixed(data, data + size);
    fixed.resize(vlr::kHeaderSize, 0);
    std::memcpy(&fixed[vlr::kHeaderFields[vlr::kFieldMagic].offset], vlr::kMagic, sizeof vlr::kMagic);
    const size_t checksum = vlr::kHeaderFields[vlr::kFieldChecksum].offset;
    vlr::Sha256(fixed.data(), checksum, fixed.data() + checksum);
    DecodeAndRoundTrip(fixed.data(), fixed.size());
    return 0;
}
