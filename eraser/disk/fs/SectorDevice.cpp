#include "SectorDevice.h"

#include <cstdio>
#include <cstring>

namespace diskfs {

namespace {
// count * sectorSize in 64 bits, or false when it cannot be a real transfer.
bool TransferLength(uint32_t count, uint32_t sectorSize, uint64_t* length) {
    if (sectorSize == 0) return false;
    *length = static_cast<uint64_t>(count) * sectorSize;
    return true;
}
}  // namespace

bool MemorySectorDevice::Range(uint64_t first, uint32_t count, uint32_t sectorSize, size_t* offset,
                               size_t* length) const {
    uint64_t len = 0;
    if (!TransferLength(count, sectorSize, &len)) return false;
    if (first > bytes_.size() / sectorSize) return false;
    uint64_t off = first * sectorSize;
    if (len > bytes_.size() - off) return false;
    *offset = static_cast<size_t>(off);
    *length = static_cast<size_t>(len);
    return true;
}

bool MemorySectorDevice::ReadSectors(uint64_t first, uint32_t count, uint32_t sectorSize, uint8_t* out) {
    size_t off = 0, len = 0;
    if (!Range(first, count, sectorSize, &off, &len)) return false;
    if (len) std::memcpy(out, bytes_.data() + off, len);
    return true;
}

bool MemorySectorDevice::WriteSectors(uint64_t first, uint32_t count, uint32_t sectorSize, const uint8_t* in) {
    size_t off = 0, len = 0;
    if (!Range(first, count, sectorSize, &off, &len)) return false;
    if (len) std::memcpy(bytes_.data() + off, in, len);
    ++writeCalls;
    return true;
}

ImageSectorDevice::~ImageSectorDevice() { Close(); }

bool ImageSectorDevice::Open(const std::string& path, uint64_t offset, bool writable) {
    Close();
    std::FILE* f = std::fopen(path.c_str(), writable ? "r+b" : "rb");
    if (!f) return false;
    if (std::fseek(f, 0, SEEK_END) != 0) {
        std::fclose(f);
        return false;
    }
#ifdef _WIN32
    long long size = _ftelli64(f);
#else
    long long size = ftello(f);
#endif
    if (size < 0 || static_cast<uint64_t>(size) < offset) {
        std::fclose(f);
        return false;
    }
    file_ = f;
    offset_ = offset;
    end_ = static_cast<uint64_t>(size);
    return true;
}

void ImageSectorDevice::Close() {
    if (file_) std::fclose(static_cast<std::FILE*>(file_));
    file_ = nullptr;
}

bool ImageSectorDevice::Seek(uint64_t first, uint32_t count, uint32_t sectorSize, uint64_t* length) {
    if (!file_ || !TransferLength(count, sectorSize, length)) return false;
    uint64_t room = end_ - offset_;
    if (first > room / sectorSize) return false;
    uint64_t pos = first * sectorSize;
    if (*length > room - pos) return false;
    std::FILE* f = static_cast<std::FILE*>(file_);
#ifdef _WIN32
    return _fseeki64(f, static_cast<long long>(offset_ + pos), SEEK_SET) == 0;
#else
    return fseeko(f, static_cast<off_t>(offset_ + pos), SEEK_SET) == 0;
#endif
}

bool ImageSectorDevice::ReadSectors(uint64_t first, uint32_t count, uint32_t sectorSize, uint8_t* out) {
    uint64_t len = 0;
    if (!Seek(first, count, sectorSize, &len)) return false;
    return std::fread(out, 1, static_cast<size_t>(len), static_cast<std::FILE*>(file_)) == len;
}

bool ImageSectorDevice::WriteSectors(uint64_t first, uint32_t count, uint32_t sectorSize, const uint8_t* in) {
    uint64_t len = 0;
    if (!Seek(first, count, sectorSize, &len)) return false;
    std::FILE* f = static_cast<std::FILE*>(file_);
    return std::fwrite(in, 1, static_cast<size_t>(len), f) == len && std::fflush(f) == 0;
}

}  // namespace diskfs
