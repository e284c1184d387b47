#pragma once
// Gathering the system report on Windows: one function per part, in the order the dialog calls
// them. Every step fails silently; what it cannot read stays empty or 0.
#include <windows.h>

#include <cstdint>
#include <string>

#include "SystemReport.h"

// The device requests of the IDE identify ways. The program uses Win32IdeDeviceIo; tests answer
// as a disk driver would.
class IdeDeviceIo {
public:
    virtual ~IdeDeviceIo() = default;
    // CreateFileA with OPEN_EXISTING; INVALID_HANDLE_VALUE when the device cannot be opened.
    virtual HANDLE Open(const std::string& path, DWORD access, DWORD share, DWORD flags) = 0;
    // DeviceIoControl; on success stores the bytes returned.
    virtual bool Control(HANDLE device, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                         DWORD& returned) = 0;
    virtual void Close(HANDLE device) = 0;
};

class Win32IdeDeviceIo : public IdeDeviceIo {
public:
    HANDLE Open(const std::string& path, DWORD access, DWORD share, DWORD flags) override;
    bool Control(HANDLE device, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                 DWORD& returned) override;
    void Close(HANDLE device) override;
};

// The identify requests and the sizes of their records.
constexpr DWORD kSmartGetVersion = 0x74080;
constexpr DWORD kSmartRcvDriveData = 0x7C088;
constexpr DWORD kScsiMiniport = 0x4D008;
constexpr DWORD kScsiMiniportIdentify = 0x1B0501;
constexpr DWORD kVxdGetIdentify = 1;
constexpr DWORD kSmartVersionSize = 24;   // GETVERSIONINPARAMS
constexpr DWORD kSmartInSize = 35;        // the identify command record
constexpr DWORD kSmartOutSize = 531;      // driver status (16 bytes), then the identify block
constexpr DWORD kSmartOutHeader = 16;
constexpr DWORD kScsiInSize = 63;         // SRB_IO_CONTROL (28 bytes), then the command record
constexpr DWORD kScsiOutSize = 560;
constexpr DWORD kSrbHeaderSize = 28;
constexpr DWORD kVxdRecordSize = 4 + 8 + 8 * 512;  // controllers present, disks present, 8 identify blocks
constexpr uint8_t kAtaIdentify = 0xEC;
constexpr uint8_t kAtapiIdentify = 0xA1;

// OS name, edition and version text; returns the platform id (0 when the query failed).
uint32_t GatherOsVersion(SystemInfo& info);
// Computer and user name, each through a 16-byte buffer: a longer name stays empty.
void GatherNames(SystemInfo& info);
void GatherIeVersion(SystemInfo& info);
void GatherMemory(SystemInfo& info);
void GatherCdroms(SystemInfo& info);
// The IDE identify data by the way of `platform`: SMART requests, then the SCSI miniport when
// they found nothing (NT family, 2); the IDE21201.VXD driver elsewhere.
void GatherIdeDrives(SystemInfo& info, uint32_t platform, IdeDeviceIo& io);
void GatherFixedDrives(SystemInfo& info);
void GatherCpu(SystemInfo& info);
// Everything, in the dialog's order.
void GatherSystemInfo(SystemInfo& info, IdeDeviceIo& io);

// The processor clock in MHz: time-stamp counter cycles over one second of the performance
// counter, measured once per process and reused while above 1; 0 without a performance counter.
uint32_t MeasuredClockMhz();
