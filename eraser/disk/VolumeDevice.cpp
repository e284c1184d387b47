#include "VolumeDevice.h"

namespace {

// The largest piece handed to one ReadFile/WriteFile (a DWORD length; whole sectors of any size).
constexpr uint64_t kMaxPiece = 64u << 20;

bool PositionedIo(HANDLE handle, uint64_t offset, uint64_t length, uint8_t* buffer, bool write) {
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr) return false;
    while (length > 0) {
        DWORD piece = static_cast<DWORD>(length < kMaxPiece ? length : kMaxPiece);
        OVERLAPPED at = {};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD done = 0;
        BOOL ok = write ? ::WriteFile(handle, buffer, piece, &done, &at) : ::ReadFile(handle, buffer, piece, &done, &at);
        if (!ok || done != piece) return false;
        offset += piece;
        buffer += piece;
        length -= piece;
    }
    return true;
}

}  // namespace

bool NtVolumeDevice::ReadSectors(uint64_t first, uint32_t count, uint32_t sectorSize, uint8_t* out) {
    if (sectorSize == 0 || first > UINT64_MAX / sectorSize) return false;
    return PositionedIo(handle_, first * sectorSize, static_cast<uint64_t>(count) * sectorSize, out, false);
}

bool NtVolumeDevice::WriteSectors(uint64_t first, uint32_t count, uint32_t sectorSize, const uint8_t* in) {
    if (sectorSize == 0 || first > UINT64_MAX / sectorSize) return false;
    return PositionedIo(handle_, first * sectorSize, static_cast<uint64_t>(count) * sectorSize,
                        const_cast<uint8_t*>(in), true);
}

bool Vwin32HandleTransport::Execute(Vwin32Request& request) {
    DWORD returned = 0;
    return ::DeviceIoControl(handle_, request.controlCode, &request.registers, sizeof request.registers,
                             &request.registers, sizeof request.registers, &returned, nullptr) != FALSE;
}

bool Vwin32Device::Transfer(uint64_t first, uint32_t count, uint8_t* buffer, bool write) {
    if (count > kMaxSectorsPerCall || first > 0xFFFFFFFFu) return false;
    Vwin32Request request;
    request.controlCode = kDosDriveInfo;
    request.buffer = buffer;
    request.packet.startSector = static_cast<DWORD>(first);
    request.packet.count = static_cast<WORD>(count);
    request.packet.buffer = static_cast<DWORD>(reinterpret_cast<uintptr_t>(buffer));
    request.registers.eax = 0x7305;
    request.registers.ecx = 0xFFFFFFFF;
    request.registers.edx = static_cast<DWORD>(drive_);
    request.registers.esi = write ? 0x6001 : 0;
    request.registers.ebx = static_cast<DWORD>(reinterpret_cast<uintptr_t>(&request.packet));
    if (!transport_.Execute(request)) return false;
    return !write || (request.registers.flags & kCarry) == 0;
}

bool Vwin32Device::Split(uint64_t first, uint32_t count, uint32_t sectorSize, uint8_t* buffer, bool write) {
    if (sectorSize == 0) return false;
    while (count > 0) {
        uint32_t now = count < kMaxSectorsPerCall ? count : kMaxSectorsPerCall;
        if (!Transfer(first, now, buffer, write)) return false;
        first += now;
        count -= now;
        buffer += static_cast<size_t>(now) * sectorSize;
    }
    return true;
}

bool Vwin32Device::ReadSectors(uint64_t first, uint32_t count, uint32_t sectorSize, uint8_t* out) {
    return Split(first, count, sectorSize, out, false);
}

bool Vwin32Device::WriteSectors(uint64_t first, uint32_t count, uint32_t sectorSize, const uint8_t* in) {
    return Split(first, count, sectorSize, const_cast<uint8_t*>(in), true);
}

bool Vwin32Device::LockVolume(int level) {
    Vwin32Request request;
    request.controlCode = kDosIoctl;
    request.registers.eax = 0x440D;
    request.registers.ecx = 0x084A;
    request.registers.ebx = static_cast<DWORD>(level * 256 + drive_);
    request.registers.edx = 0;
    request.registers.flags = kCarry;
    return transport_.Execute(request) && (request.registers.flags & kCarry) == 0;
}

void Vwin32Device::UnlockVolume() {
    Vwin32Request request;
    request.controlCode = kDosIoctl;
    request.registers.eax = 0x440D;
    request.registers.ecx = 0x086A;
    request.registers.ebx = static_cast<DWORD>(drive_);
    request.registers.flags = kCarry;
    transport_.Execute(request);
}
