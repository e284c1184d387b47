#pragma once
// The system report: the record `SystemInfo` that the dialog gathers once, and the tree of texts it
// shows. Portable: labels come from the caller (the string table on Windows).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "IdentifyData.h"

// A fixed drive: root path ("D:\"), volume label, total and free space in MB (bytes >> 20).
struct FixedDriveRecord {
    std::string root;
    std::string label;
    uint64_t totalMb = 0;
    uint64_t freeMb = 0;
};

constexpr int kIdeSlots = 4;

// Every value is gathered once when the dialog opens; a value that cannot be read stays empty or 0.
struct SystemInfo {
    std::string osName, osEdition, osVersion;
    std::string computerName, userName;
    std::string ieVersion;
    // Physical and virtual memory in KB (total, available).
    uint32_t totalPhysKb = 0, availPhysKb = 0, totalVirtualKb = 0, availVirtualKb = 0;
    std::vector<std::string> cdromRoots;  // "E:\" ...
    std::vector<FixedDriveRecord> fixedDrives;
    IdeDriveSlot ide[kIdeSlots];
    std::string cpuModelName, cpuSignature, cpuStepping, cpuVendorId, cpuBrandName, cpuType;
    uint32_t cpuMhz = 0;
};

// Tree images (the dialog's image list: icons 400, 401, 399, 405, 402, 403, 404 in that order).
enum ReportImage { kImageComputer = 0, kImageCpu, kImageMemory, kImageLogical, kImageDisk, kImageCdrom, kImageRoot };

struct ReportNode {
    std::string text;
    int image = 0;
    std::vector<ReportNode> children;
};

// The label of a string-table id (62115 ... 62143).
using LabelLookup = std::function<std::string(unsigned id)>;

// The label ids, as the string table numbers them.
enum ReportLabel : unsigned {
    kLabelRoot = 62115, kLabelComputer, kLabelComputerName, kLabelUser, kLabelOs, kLabelIe,
    kLabelCpu, kLabelCpuName, kLabelCpuId, kLabelCpuVendor, kLabelCpuClock, kLabelCpuType,
    kLabelMemory, kLabelMemorySize, kLabelMemoryFree, kLabelVirtual, kLabelVirtualFree,
    kLabelDisks, kLabelDiskChannel, kLabelDiskName, kLabelDiskSerial, kLabelDiskCapacity, kLabelDiskBuffer,
    kLabelDiskType, kLabelLogical, kLabelFreeSpace, kLabelTotalSize, kLabelCdrom, kLabelDiskVersion,
};

// The whole report: the root with its six sections (computer, CPU, memory, disks, logical drives,
// CD-ROM letters), every child in the order the dialog shows it.
ReportNode BuildReportTree(const SystemInfo& info, const LabelLookup& label);

// "<label> <n> MBytes" of a size in MB.
std::string MegabytesText(const std::string& label, uint64_t megabytes);
