#pragma once
// Little-endian field loads and stores for on-disk structures, and a bounded view of a buffer.
// On-disk bytes are never cast to structs: every field is loaded from its offset.
#include <cstddef>
#include <cstdint>

namespace diskfs {

inline uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t Le64(const uint8_t* p) {
    return static_cast<uint64_t>(Le32(p)) | (static_cast<uint64_t>(Le32(p + 4)) << 32);
}
inline void PutLe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

// A window onto `size` bytes. Every load checks its range; a load outside it returns 0 and sets
// the error flag, which stays set, so a parser can load a group of fields and check once.
class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool Fits(size_t offset, size_t length) const { return offset <= size_ && length <= size_ - offset; }
    uint8_t U8(size_t offset) { return Fits(offset, 1) ? data_[offset] : Fail(); }
    uint16_t U16(size_t offset) { return Fits(offset, 2) ? Le16(data_ + offset) : Fail(); }
    uint32_t U32(size_t offset) { return Fits(offset, 4) ? Le32(data_ + offset) : Fail(); }
    uint64_t U64(size_t offset) { return Fits(offset, 8) ? Le64(data_ + offset) : Fail(); }
    // A sub-window of `length` bytes at `offset`; an empty, failed window when it does not fit.
    ByteReader Sub(size_t offset, size_t length) {
        if (!Fits(offset, length)) {
            Fail();
            ByteReader bad(nullptr, 0);
            bad.failed_ = true;
            return bad;
        }
        return ByteReader(data_ + offset, length);
    }

    const uint8_t* Data() const { return data_; }
    size_t Size() const { return size_; }
    bool Failed() const { return failed_; }

private:
    uint8_t Fail() {
        failed_ = true;
        return 0;
    }

    const uint8_t* data_;
    size_t size_;
    bool failed_ = false;
};

}  // namespace diskfs
