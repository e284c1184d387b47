#include "SystemReport.h"

#include <cinttypes>
#include <cstdio>

namespace {

ReportNode Node(const std::string& text, int image) { return ReportNode{text, image, {}}; }

std::string KilobytesText(const std::string& label, uint32_t kilobytes) {
    char number[32];
    std::snprintf(number, sizeof number, " %u KBytes", static_cast<unsigned>(kilobytes));
    return label + number;
}

ReportNode ComputerSection(const SystemInfo& info, const LabelLookup& label) {
    ReportNode section = Node(label(kLabelComputer), kImageComputer);
    // These four labels run straight into their values.
    section.children.push_back(Node(label(kLabelComputerName) + info.computerName, kImageComputer));
    section.children.push_back(Node(label(kLabelUser) + info.userName, kImageComputer));
    section.children.push_back(Node(label(kLabelOs) + info.osName + info.osEdition + info.osVersion, kImageComputer));
    section.children.push_back(Node(label(kLabelIe) + info.ieVersion, kImageComputer));
    return section;
}

ReportNode CpuSection(const SystemInfo& info, const LabelLookup& label) {
    ReportNode section = Node(label(kLabelCpu), kImageCpu);
    std::string vendor = label(kLabelCpuVendor) + " " + info.cpuVendorId;
    if (!info.cpuBrandName.empty()) vendor += "/" + info.cpuBrandName;
    char clock[32];
    std::snprintf(clock, sizeof clock, " %u MHZ", static_cast<unsigned>(info.cpuMhz));
    section.children.push_back(Node(label(kLabelCpuName) + " " + info.cpuModelName, kImageCpu));
    section.children.push_back(Node(label(kLabelCpuId) + " " + info.cpuSignature, kImageCpu));
    section.children.push_back(Node(vendor, kImageCpu));
    section.children.push_back(Node(label(kLabelCpuClock) + clock, kImageCpu));
    section.children.push_back(Node(label(kLabelCpuType) + " " + info.cpuType, kImageCpu));
    return section;
}

ReportNode MemorySection(const SystemInfo& info, const LabelLookup& label) {
    ReportNode section = Node(label(kLabelMemory), kImageMemory);
    section.children.push_back(Node(KilobytesText(label(kLabelMemorySize), info.totalPhysKb), kImageMemory));
    section.children.push_back(Node(KilobytesText(label(kLabelMemoryFree), info.availPhysKb), kImageMemory));
    section.children.push_back(Node(KilobytesText(label(kLabelVirtual), info.totalVirtualKb), kImageMemory));
    section.children.push_back(Node(KilobytesText(label(kLabelVirtualFree), info.availVirtualKb), kImageMemory));
    return section;
}

ReportNode DiskSection(const SystemInfo& info, const LabelLookup& label) {
    ReportNode section = Node(label(kLabelDisks), kImageDisk);
    for (const IdeDriveSlot& drive : info.ide) {
        if (!drive.present) continue;
        ReportNode disk = Node(drive.model + " ( " + drive.capacity + " )", kImageDisk);
        const std::pair<ReportLabel, const std::string*> rows[] = {
            {kLabelDiskChannel, &drive.channel},   {kLabelDiskName, &drive.model},
            {kLabelDiskVersion, &drive.firmware},  {kLabelDiskSerial, &drive.serial},
            {kLabelDiskCapacity, &drive.capacity}, {kLabelDiskBuffer, &drive.buffer},
            {kLabelDiskType, &drive.type},
        };
        for (const auto& row : rows) disk.children.push_back(Node(label(row.first) + " " + *row.second, kImageDisk));
        section.children.push_back(disk);
    }
    return section;
}

ReportNode LogicalSection(const SystemInfo& info, const LabelLookup& label) {
    ReportNode section = Node(label(kLabelLogical), kImageLogical);
    for (const FixedDriveRecord& drive : info.fixedDrives) {
        section.children.push_back(Node(drive.label + " (" + drive.root + " ) " + MegabytesText(label(kLabelTotalSize), drive.totalMb) +
                                            " ( " + MegabytesText(label(kLabelFreeSpace), drive.freeMb) + " )",
                                        kImageLogical));
    }
    return section;
}

ReportNode CdromSection(const SystemInfo& info, const LabelLookup& label) {
    ReportNode section = Node(label(kLabelCdrom), kImageCdrom);
    for (const std::string& root : info.cdromRoots) section.children.push_back(Node(root, kImageCdrom));
    return section;
}

}  // namespace

std::string MegabytesText(const std::string& label, uint64_t megabytes) {
    // The whole 64-bit count: a volume of 2 PiB (2,147,483,648 MB) or more still shows its true size.
    char number[48];
    std::snprintf(number, sizeof number, " %" PRIu64 " MBytes", megabytes);
    return label + number;
}

ReportNode BuildReportTree(const SystemInfo& info, const LabelLookup& label) {
    ReportNode root = Node(label(kLabelRoot), kImageRoot);
    root.children.push_back(ComputerSection(info, label));
    root.children.push_back(CpuSection(info, label));
    root.children.push_back(MemorySection(info, label));
    root.children.push_back(DiskSection(info, label));
    root.children.push_back(LogicalSection(info, label));
    root.children.push_back(CdromSection(info, label));
    return root;
}
