#pragma once
// The one way the file-system walks reach a volume: whole sectors, numbered from the start of the
// volume. The Win32 volume device (\\.\X:), the VWIN32 services and image files all implement it.
#include <cstdint>
#include <string>
#include <vector>

namespace diskfs {

class SectorDevice {
public:
    virtual ~SectorDevice() = default;

    // Reads `count` sectors of `sectorSize` bytes starting at sector `first` into `out`, which holds
    // count * sectorSize bytes. Returns false on any I/O error, including a range past the end of
    // the volume; `out` is then unspecified.
    virtual bool ReadSectors(uint64_t first, uint32_t count, uint32_t sectorSize, uint8_t* out) = 0;
    // Writes `count` sectors from `in`, as ReadSectors reads them. Returns false on any I/O error;
    // the sectors in the range are then in an unknown state.
    virtual bool WriteSectors(uint64_t first, uint32_t count, uint32_t sectorSize, const uint8_t* in) = 0;
};

// A volume held in memory (tests, fuzzing). Transfers outside the buffer fail.
class MemorySectorDevice : public SectorDevice {
public:
    explicit MemorySectorDevice(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    bool ReadSectors(uint64_t first, uint32_t count, uint32_t sectorSize, uint8_t* out) override;
    bool WriteSectors(uint64_t first, uint32_t count, uint32_t sectorSize, const uint8_t* in) override;
    const std::vector<uint8_t>& Bytes() const { return bytes_; }
    int writeCalls = 0;  // number of WriteSectors calls that succeeded

private:
    bool Range(uint64_t first, uint32_t count, uint32_t sectorSize, size_t* offset, size_t* length) const;
    std::vector<uint8_t> bytes_;
};

// A volume inside an image file, starting `offset` bytes into it. Opened for reading, and for
// writing too when `writable`.
class ImageSectorDevice : public SectorDevice {
public:
    ImageSectorDevice() = default;
    ~ImageSectorDevice() override;
    ImageSectorDevice(const ImageSectorDevice&) = delete;
    ImageSectorDevice& operator=(const ImageSectorDevice&) = delete;

    bool Open(const std::string& path, uint64_t offset, bool writable);
    void Close();
    bool ReadSectors(uint64_t first, uint32_t count, uint32_t sectorSize, uint8_t* out) override;
    bool WriteSectors(uint64_t first, uint32_t count, uint32_t sectorSize, const uint8_t* in) override;

private:
    bool Seek(uint64_t first, uint32_t count, uint32_t sectorSize, uint64_t* length);
    void* file_ = nullptr;  // std::FILE*
    uint64_t offset_ = 0;
    uint64_t end_ = 0;  // file size
};

}  // namespace diskfs
