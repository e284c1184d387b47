#pragma once
// A fixed-size byte buffer for keys and passwords that wipes itself whenever its contents go away:
// on destruction, on move-from and on Wipe(). It is never copied implicitly, so a secret has one
// owner and one place to be erased.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace vlr {

// memset through a volatile function pointer: the compiler cannot prove the store dead and drop it.
void WipeBytes(void* p, size_t n);

class CSecretBuffer {
public:
    CSecretBuffer() = default;
    explicit CSecretBuffer(size_t size) : bytes_(size ? new uint8_t[size]() : nullptr), size_(size) {}
    CSecretBuffer(const uint8_t* p, size_t size) : CSecretBuffer(size) {
        if (size) std::memcpy(bytes_.get(), p, size);
    }
    ~CSecretBuffer() { Wipe(); }

    CSecretBuffer(const CSecretBuffer&) = delete;
    CSecretBuffer& operator=(const CSecretBuffer&) = delete;
    CSecretBuffer(CSecretBuffer&& other) noexcept : bytes_(std::move(other.bytes_)), size_(other.size_) {
        other.size_ = 0;
    }
    CSecretBuffer& operator=(CSecretBuffer&& other) noexcept {
        if (this != &other) {
            Wipe();
            bytes_ = std::move(other.bytes_);
            size_ = other.size_;
            other.size_ = 0;
        }
        return *this;
    }

    uint8_t* data() { return bytes_.get(); }
    const uint8_t* data() const { return bytes_.get(); }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

    // Overwrites the contents with zeros and releases them; the buffer is then empty.
    void Wipe() {
        if (bytes_) WipeBytes(bytes_.get(), size_);
        bytes_.reset();
        size_ = 0;
    }

private:
    std::unique_ptr<uint8_t[]> bytes_;
    size_t size_ = 0;
};

}  // namespace vlr
