// deleted-scan: lists the deleted files whose names a FAT32 or NTFS volume image still holds, or
// blanks those names in place.
//
//   deleted-scan [--offset BYTES] [--limit N] [--all] [--wipe-names] IMAGE
//
// One line per file, in scan order: path TAB time TAB size TAB attributes TAB first cluster.
// Paths and names are printed in code page 936 (GBK), as Windows shows them; on Linux read them
// with `deleted-scan IMAGE | iconv -f GBK -t UTF-8`.
// Exit status: 0 success, 1 not a FAT32 or NTFS volume or unreadable, 2 bad usage.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "DeletedFileRecord.h"
#include "Fat32Walk.h"
#include "NtfsWalk.h"
#include "SectorDevice.h"

namespace {

const char kUsage[] =
    "usage: deleted-scan [--offset BYTES] [--limit N] [--all] [--wipe-names] IMAGE\n"
    "  --offset BYTES  the volume starts this many bytes into IMAGE (default 0)\n"
    "  --limit N       report at most N files\n"
    "  --all           report empty files too\n"
    "  --wipe-names    blank the names of deleted files in IMAGE instead of listing them\n"
    "Output is GBK text; on Linux pipe it through `iconv -f GBK -t UTF-8`.\n";

int Usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

bool ParseNumber(const char* text, long long min, long long* value) {
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < min) return false;
    *value = v;
    return true;
}

enum class Kind { kUnknown, kFat32, kNtfs };

Kind Detect(diskfs::SectorDevice& device) {
    uint8_t sector[512];
    if (!device.ReadSectors(0, 1, 512, sector)) return Kind::kUnknown;
    if (std::memcmp(sector + 3, "NTFS    ", 8) == 0) return Kind::kNtfs;
    diskfs::Fat32Boot boot;
    if (diskfs::ParseFat32Boot(sector, &boot)) return Kind::kFat32;
    return Kind::kUnknown;
}

}  // namespace

int main(int argc, char** argv) {
    long long offset = 0, limit = 0;
    bool all = false, wipe = false;
    const char* image = nullptr;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--offset" && i + 1 < argc) {
            if (!ParseNumber(argv[++i], 0, &offset)) return Usage();
        } else if (arg == "--limit" && i + 1 < argc) {
            if (!ParseNumber(argv[++i], -1, &limit) || limit > 0x7FFFFFFF) return Usage();
        } else if (arg == "--all") {
            all = true;
        } else if (arg == "--wipe-names") {
            wipe = true;
        } else if (!arg.empty() && arg[0] != '-' && !image) {
            image = argv[i];
        } else {
            return Usage();
        }
    }
    if (!image) return Usage();

    diskfs::ImageSectorDevice device;
    if (!device.Open(image, static_cast<uint64_t>(offset), wipe)) {
        std::fprintf(stderr, "deleted-scan: cannot open %s\n", image);
        return 1;
    }
    Kind kind = Detect(device);
    if (kind == Kind::kUnknown) {
        std::fprintf(stderr, "deleted-scan: %s is not a FAT32 or NTFS volume\n", image);
        return 1;
    }
    diskfs::Fat32Walk fat(device);
    diskfs::NtfsWalk ntfs(device);
    diskfs::WalkControl& control = kind == Kind::kFat32 ? fat.control : ntfs.control;
    if (limit != 0) control.limit = static_cast<int>(limit);
    if (all) control.skipEmpty = false;

    if (wipe) {
        bool ok = kind == Kind::kFat32 ? fat.WipeDeletedNames() : ntfs.WipeDeletedNames();
        if (!ok) {
            std::fprintf(stderr, "deleted-scan: the names could not be wiped in %s\n", image);
            return 1;
        }
        return 0;
    }
    diskfs::DeletedFileList list;
    bool ok = kind == Kind::kFat32 ? fat.ScanDeleted("X:", list) : ntfs.ScanDeleted("X:", list);
    for (const auto& r : list) {
        std::printf("%s\t%s\t%u\t%u\t%u\n", r->path.c_str(), r->timeText.c_str(), static_cast<unsigned>(r->size),
                    static_cast<unsigned>(r->attributes), static_cast<unsigned>(r->firstCluster));
    }
    if (!ok) {
        std::fprintf(stderr, "deleted-scan: %s could not be read\n", image);
        return 1;
    }
    return 0;
}
