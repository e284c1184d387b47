#include "SystemGather.h"

#include <cpuid.h>
#include <x86intrin.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "CpuModel.h"
#include "IdentifyData.h"
#include "OsName.h"

namespace {

const char kProductOptionsKey[] = "SYSTEM\\CurrentControlSet\\Control\\ProductOptions";
const char kInternetExplorerKey[] = "SOFTWARE\\Microsoft\\Internet Explorer";
const DWORD kNameBuffer = 16;
const DWORD kLabelBuffer = 80;
const DWORD kRegistryText = 260;
static_assert(sizeof(OSVERSIONINFOEXA) == 156 && sizeof(OSVERSIONINFOA) == 148, "the version records' sizes");

std::string Root(char letter) { return std::string(1, letter) + ":\\"; }

// A registry text value of at most `size` bytes; empty when missing or not text.
std::string RegistryText(HKEY root, const char* key, const char* value, DWORD size) {
    HKEY opened;
    if (::RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return std::string();
    std::vector<char> data(size + 1, '\0');
    DWORD type = 0, length = size;
    const LONG result = ::RegQueryValueExA(opened, value, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &length);
    ::RegCloseKey(opened);
    // The value need not end in a zero; the extra byte does.
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::string();
    return std::string(data.data());
}

uint32_t Kilobytes(unsigned long long bytes) {
    const unsigned long long kb = bytes >> 10;
    return kb > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(kb);
}

void PutWord(uint8_t* at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

// The identify command record (SENDCMDINPARAMS): buffer size, the eight task-file registers,
// the drive number.
void PutIdentifyCommand(uint8_t* record, int drive, uint8_t command, uint8_t driveHead) {
    PutWord(record, kIdentifyWords * 2, 4);
    record[4] = 0;          // features
    record[5] = 1;          // sector count
    record[6] = 1;          // sector number
    record[7] = 0;          // cylinder low
    record[8] = 0;          // cylinder high
    record[9] = driveHead;  // 0xA0 master, 0xB0 slave
    record[10] = command;
    record[12] = static_cast<uint8_t>(drive);
}

bool SmartWay(SystemInfo& info, IdeDeviceIo& io) {
    bool found = false;
    for (int n = 0; n < kIdeSlots; ++n) {
        char path[32];
        std::snprintf(path, sizeof path, "\\\\.\\PhysicalDrive%d", n);
        HANDLE device = io.Open(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, 0);
        if (device == INVALID_HANDLE_VALUE) continue;
        uint8_t version[kSmartVersionSize] = {};
        DWORD returned = 0;
        // GETVERSIONINPARAMS byte 3: which IDE devices the driver sees; bits 4-7 are ATAPI ones.
        const uint8_t deviceMap = io.Control(device, kSmartGetVersion, nullptr, 0, version, sizeof version, returned) ? version[3] : 0;
        if (deviceMap != 0) {
            const uint8_t command = deviceMap >> (n + 4) & 1 ? kAtapiIdentify : kAtaIdentify;
            uint8_t in[kSmartInSize] = {};
            PutIdentifyCommand(in, n, command, n % 2 ? 0xB0 : 0xA0);
            std::vector<uint8_t> out(kSmartOutSize, 0);
            uint16_t words[kIdentifyWords];
            if (io.Control(device, kSmartRcvDriveData, in, sizeof in, out.data(), kSmartOutSize, returned) &&
                IdentifyWordsAt(out.data(), out.size(), kSmartOutHeader, words)) {
                info.ide[n] = DecodeIdentify(n, words);
                found = true;
            }
        }
        io.Close(device);
    }
    return found;
}

void ScsiWay(SystemInfo& info, IdeDeviceIo& io) {
    for (int controller = 0; controller < 2; ++controller) {
        char path[32];
        std::snprintf(path, sizeof path, "\\\\.\\Scsi%d:", controller);
        HANDLE device = io.Open(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, 0);
        if (device == INVALID_HANDLE_VALUE) continue;
        for (int drive = 0; drive < 2; ++drive) {
            std::vector<uint8_t> buffer(kScsiOutSize, 0);
            // SRB_IO_CONTROL: header length, signature, time-out, control code, return code, length.
            PutWord(&buffer[0], kSrbHeaderSize, 4);
            std::memcpy(&buffer[4], "SCSIDISK", 8);
            PutWord(&buffer[12], 10000, 4);
            PutWord(&buffer[16], kScsiMiniportIdentify, 4);
            PutWord(&buffer[24], kScsiOutSize - kSrbHeaderSize, 4);
            buffer[kSrbHeaderSize + 10] = kAtaIdentify;
            buffer[kSrbHeaderSize + 12] = static_cast<uint8_t>(drive);
            DWORD returned = 0;
            uint16_t words[kIdentifyWords];
            if (io.Control(device, kScsiMiniport, buffer.data(), kScsiInSize, buffer.data(), kScsiOutSize, returned) &&
                IdentifyWordsAt(buffer.data(), buffer.size(), kSrbHeaderSize + kSmartOutHeader, words) &&
                !IdentifyString(words, 27, 46).empty()) {
                const int slot = controller * 2 + drive;
                info.ide[slot] = DecodeIdentify(slot, words);
            }
        }
        io.Close(device);
    }
}

void VxdWay(SystemInfo& info, IdeDeviceIo& io) {
    HANDLE thread = ::GetCurrentThread();
    ::SetThreadPriority(thread, THREAD_PRIORITY_TIME_CRITICAL);
    HANDLE device = io.Open("\\\\.\\IDE21201.VXD", 0, 0, FILE_FLAG_DELETE_ON_CLOSE);
    if (device != INVALID_HANDLE_VALUE) {
        std::vector<uint8_t> record(kVxdRecordSize, 0);
        DWORD returned = 0;
        if (io.Control(device, kVxdGetIdentify, nullptr, 0, record.data(), kVxdRecordSize, returned)) {
            // Only the first two controllers have slots in the report.
            for (int disk = 0; disk < kIdeSlots; ++disk) {
                uint16_t words[kIdentifyWords];
                if (record[4 + disk] && record[disk / 2] && IdentifyWordsAt(record.data(), record.size(), 12 + disk * 512, words)) {
                    info.ide[disk] = DecodeIdentify(disk, words);
                }
            }
        }
        io.Close(device);
    }
    ::SetThreadPriority(thread, THREAD_PRIORITY_NORMAL);
}

uint32_t g_clockMhz = 0;

}  // namespace

HANDLE Win32IdeDeviceIo::Open(const std::string& path, DWORD access, DWORD share, DWORD flags) {
    return ::CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING, flags, nullptr);
}

bool Win32IdeDeviceIo::Control(HANDLE device, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                               DWORD& returned) {
    return ::DeviceIoControl(device, code, const_cast<void*>(in), inSize, out, outSize, &returned, nullptr) != 0;
}

void Win32IdeDeviceIo::Close(HANDLE device) { ::CloseHandle(device); }

uint32_t GatherOsVersion(SystemInfo& info) {
    OsVersionFacts facts;
    OSVERSIONINFOEXA extended = {};
    extended.dwOSVersionInfoSize = sizeof extended;
    OSVERSIONINFOA& plain = reinterpret_cast<OSVERSIONINFOA&>(extended);
    if (::GetVersionExA(&plain)) {
        facts.query = OsVersionFacts::Query::extended;
        facts.productType = extended.wProductType;
        facts.suiteMask = extended.wSuiteMask;
    } else {
        extended = {};
        plain.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        if (!::GetVersionExA(&plain)) return 0;
        facts.query = OsVersionFacts::Query::plain;
        if (plain.dwPlatformId == VER_PLATFORM_WIN32_NT) {
            facts.registryProductType = RegistryText(HKEY_LOCAL_MACHINE, kProductOptionsKey, "ProductType", kRegistryText);
        }
    }
    facts.platform = plain.dwPlatformId;
    facts.major = plain.dwMajorVersion;
    facts.minor = plain.dwMinorVersion;
    facts.build = plain.dwBuildNumber;
    facts.servicePack.assign(plain.szCSDVersion, strnlen(plain.szCSDVersion, sizeof plain.szCSDVersion));
    const OsNameTexts texts = DescribeOs(facts);
    info.osName = texts.name;
    info.osEdition = texts.edition;
    info.osVersion = texts.version;
    return facts.platform;
}

void GatherNames(SystemInfo& info) {
    char name[kNameBuffer] = {};
    DWORD size = sizeof name;
    if (::GetComputerNameA(name, &size)) info.computerName.assign(name, strnlen(name, sizeof name));
    char user[kNameBuffer] = {};
    size = sizeof user;
    if (::GetUserNameA(user, &size)) info.userName.assign(user, strnlen(user, sizeof user));
}

void GatherIeVersion(SystemInfo& info) {
    info.ieVersion = RegistryText(HKEY_LOCAL_MACHINE, kInternetExplorerKey, "Version", kRegistryText);
}

// GlobalMemoryStatus stops at 2 GB in a 32-bit process (its fields are SIZE_T), so a machine with more
// memory would be reported wrongly; GlobalMemoryStatusEx (Windows 2000 and later, looked up by name so
// that the eraser still loads on Windows 95/98/Me) counts in 64 bits.
void GatherMemory(SystemInfo& info) {
    typedef BOOL(WINAPI * MemoryStatusExFn)(MEMORYSTATUSEX*);
    const auto statusEx = reinterpret_cast<MemoryStatusExFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "GlobalMemoryStatusEx")));
    MEMORYSTATUSEX wide = {};
    wide.dwLength = sizeof wide;
    if (statusEx && statusEx(&wide)) {
        info.totalPhysKb = Kilobytes(wide.ullTotalPhys);
        info.availPhysKb = Kilobytes(wide.ullAvailPhys);
        info.totalVirtualKb = Kilobytes(wide.ullTotalVirtual);
        info.availVirtualKb = Kilobytes(wide.ullAvailVirtual);
        return;
    }
    MEMORYSTATUS status = {};
    status.dwLength = sizeof status;
    ::GlobalMemoryStatus(&status);
    info.totalPhysKb = Kilobytes(status.dwTotalPhys);
    info.availPhysKb = Kilobytes(status.dwAvailPhys);
    info.totalVirtualKb = Kilobytes(status.dwTotalVirtual);
    info.availVirtualKb = Kilobytes(status.dwAvailVirtual);
}

void GatherCdroms(SystemInfo& info) {
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        if (::GetDriveTypeA(Root(letter).c_str()) == DRIVE_CDROM) info.cdromRoots.push_back(Root(letter));
    }
}

void GatherIdeDrives(SystemInfo& info, uint32_t platform, IdeDeviceIo& io) {
    if (platform == VER_PLATFORM_WIN32_NT) {
        if (!SmartWay(info, io)) ScsiWay(info, io);
    } else {
        VxdWay(info, io);
    }
}

void GatherFixedDrives(SystemInfo& info) {
    // Looked up at run time: the first Windows 95 has no GetDiskFreeSpaceExA.
    using FreeSpaceEx = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
    const FreeSpaceEx freeSpaceEx = reinterpret_cast<FreeSpaceEx>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "GetDiskFreeSpaceExA")));
    const DWORD drives = ::GetLogicalDrives();
    for (int bit = 0; bit < 26; ++bit) {
        if (!(drives >> bit & 1)) continue;
        FixedDriveRecord record;
        record.root = Root(static_cast<char>('A' + bit));
        if (::GetDriveTypeA(record.root.c_str()) != DRIVE_FIXED) continue;
        char label[kLabelBuffer + 1] = {};
        if (::GetVolumeInformationA(record.root.c_str(), label, kLabelBuffer, nullptr, nullptr, nullptr, nullptr, 0)) {
            record.label = label;
        }
        ULARGE_INTEGER available = {}, total = {};
        if (freeSpaceEx && freeSpaceEx(record.root.c_str(), &available, &total, nullptr)) {
            record.totalMb = total.QuadPart >> 20;
            record.freeMb = available.QuadPart >> 20;
        }
        info.fixedDrives.push_back(record);
    }
}

uint32_t MeasuredClockMhz() {
    if (g_clockMhz > 1) return g_clockMhz;
    LARGE_INTEGER frequency = {}, start = {}, now = {};
    if (!::QueryPerformanceFrequency(&frequency) || frequency.QuadPart == 0) return g_clockMhz = 0;
    ::QueryPerformanceCounter(&start);
    const unsigned long long cyclesBefore = __rdtsc();
    do {
        ::QueryPerformanceCounter(&now);
    } while (now.QuadPart - start.QuadPart < frequency.QuadPart);
    const unsigned long long cycles = __rdtsc() - cyclesBefore;
    return g_clockMhz = static_cast<uint32_t>(cycles / 1000000);
}

void GatherCpu(SystemInfo& info) {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(0, &eax, &ebx, &ecx, &edx)) return;
    const unsigned highestLeaf = eax;
    info.cpuVendorId = CpuVendorId(ebx, edx, ecx);
    CpuFacts cpu;
    cpu.vendorName = CpuVendorName(info.cpuVendorId);
    const bool intel = cpu.vendorName == "Intel";
    if (highestLeaf >= 1) {
        __cpuid(1, eax, ebx, ecx, edx);
        cpu.signature.value = eax;
        char text[16];
        std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(eax));
        info.cpuSignature = text;
        std::snprintf(text, sizeof text, "%X", cpu.signature.stepping());
        info.cpuStepping = text;
        info.cpuType = CpuTypeText(cpu.signature.type());
        if (intel) info.cpuBrandName = IntelBrandName(ebx & 0xFF, eax);
    }
    cpu.mhz = info.cpuMhz = MeasuredClockMhz();
    if (intel && highestLeaf >= 2) {
        __cpuid(2, eax, ebx, ecx, edx);
        cpu.descriptors = KeepKnownDescriptors(eax, ebx, ecx, edx);
    }
    info.cpuModelName = ProcessorModelName(cpu);
}

void GatherSystemInfo(SystemInfo& info, IdeDeviceIo& io) {
    const uint32_t platform = GatherOsVersion(info);
    GatherNames(info);
    GatherIeVersion(info);
    GatherMemory(info);
    GatherCdroms(info);
    GatherIdeDrives(info, platform, io);
    GatherFixedDrives(info);
    GatherCpu(info);
}
