#pragma once
// Sector access to a mounted volume on both Windows families: the NT volume device (\\.\X:) and the
// MS-DOS absolute-disk services that VWIN32 offers on Windows 95/98/Me.
#include <windows.h>

#include <cstdint>

#include "SectorDevice.h"

// The NT family: ReadFile/WriteFile on a synchronous volume handle, the position carried by an
// OVERLAPPED structure. The handle belongs to the caller.
class NtVolumeDevice : public diskfs::SectorDevice {
public:
    explicit NtVolumeDevice(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
    void SetHandle(HANDLE handle) { handle_ = handle; }

    bool ReadSectors(uint64_t first, uint32_t count, uint32_t sectorSize, uint8_t* out) override;
    bool WriteSectors(uint64_t first, uint32_t count, uint32_t sectorSize, const uint8_t* in) override;

private:
    HANDLE handle_;
};

// The register block VWIN32 reads and writes back (28 bytes).
struct DiocRegisters {
    DWORD ebx, edx, ecx, eax, edi, esi, flags;
};
static_assert(sizeof(DiocRegisters) == 28, "VWIN32 expects seven 32-bit registers");

#pragma pack(push, 1)
// The disk-I/O packet of the extended absolute disk read/write (interrupt 21h, 7305h).
struct DiskIoPacket {
    DWORD startSector;
    WORD count;
    DWORD buffer;
};
#pragma pack(pop)
static_assert(sizeof(DiskIoPacket) == 10, "the packet is packed");

// One VWIN32 call as it will be made: control code, registers (EBX pointing at `packet` for disk
// transfers) and, for the benefit of a transport that is not the real device, the transfer buffer.
struct Vwin32Request {
    DWORD controlCode = 0;
    DiocRegisters registers = {};
    DiskIoPacket packet = {};
    uint8_t* buffer = nullptr;
};

// Carries a request to VWIN32 (or to a stand-in in tests) and leaves the returned registers in it.
class Vwin32Transport {
public:
    virtual ~Vwin32Transport() = default;
    virtual bool Execute(Vwin32Request& request) = 0;
};

// The real device: DeviceIoControl on a handle to \\.\vwin32.
class Vwin32HandleTransport : public Vwin32Transport {
public:
    explicit Vwin32HandleTransport(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
    void SetHandle(HANDLE handle) { handle_ = handle; }
    bool Execute(Vwin32Request& request) override;

private:
    HANDLE handle_;
};

// Windows 95/98/Me: sectors through VWIN32's absolute disk read/write, at most 1000 per call, and
// the logical-volume lock a direct write needs.
class Vwin32Device : public diskfs::SectorDevice {
public:
    static constexpr DWORD kDosDriveInfo = 6;  // VWIN32_DIOC_DOS_DRIVEINFO (interrupt 21h, 73xxh)
    static constexpr DWORD kDosIoctl = 1;      // VWIN32_DIOC_DOS_IOCTL (interrupt 21h, 44xxh)
    static constexpr uint32_t kMaxSectorsPerCall = 1000;
    static constexpr DWORD kCarry = 1;

    // `driveNumber`: 1 for A:, 2 for B:, ...
    Vwin32Device(Vwin32Transport& transport, int driveNumber) : transport_(transport), drive_(driveNumber) {}

    // Splits longer transfers into calls of 1000 sectors and a remainder.
    bool ReadSectors(uint64_t first, uint32_t count, uint32_t sectorSize, uint8_t* out) override;
    bool WriteSectors(uint64_t first, uint32_t count, uint32_t sectorSize, const uint8_t* in) override;
    // One call; more than 1000 sectors fail at once.
    bool Transfer(uint64_t first, uint32_t count, uint8_t* buffer, bool write);

    bool LockVolume(int level);
    void UnlockVolume();

private:
    bool Split(uint64_t first, uint32_t count, uint32_t sectorSize, uint8_t* buffer, bool write);

    Vwin32Transport& transport_;
    int drive_;
};
