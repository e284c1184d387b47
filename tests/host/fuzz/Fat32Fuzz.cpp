// libFuzzer target for the FAT32 walk. The input is a list of byte edits (offset 16 bits, value)
// laid over a small valid volume, so mutations reach the FAT, the directories and the long names
// as well as the boot sector; a scan and a name wipe then run over the damaged volume.
#include <cstddef>
#include <cstdint>

#include "Fat32Walk.h"
#include "TinyFat32.h"

namespace {

std::vector<uint8_t> Template() {
    tiny::Fat32Image v;
    v.Short(2, 0, "FUZZ       ", 0x08, 0, 0);
    v.Short(2, 1, "\xE5OCUMENTTXT", 0x23, 11, 1234);
    size_t s = v.Long(2, 2, "A long deleted name.txt", true);
    v.Short(2, s, "\xE5LONGD~1TXT", 0x20, 12, 40);
    s = v.Long(2, s + 1, "Folder", false);
    v.Short(2, s, "FOLDER     ", 0x10, 3, 0);
    v.Directory(3, 2);
    v.SetFat(3, 6);
    v.SetFat(6, 0x0FFFFFFF);
    v.Short(3, 2, "\xE5LAN    TXT", 0x20, 13, 77);
    v.Short(3, 3, "SUB        ", 0x10, 5, 0);
    v.Directory(5, 3);
    v.Short(5, 2, "\xE5" "EEP    TXT", 0x20, 15, 9);
    v.Short(2, s + 1, "\xE5LD        ", 0x10, 4, 0);
    v.Directory(4, 2);
    v.SetFat(4, 0);
    v.Short(4, 2, "INNER   DAT", 0x20, 14, 88);
    return v.bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<uint8_t> kTemplate = Template();
    std::vector<uint8_t> image = kTemplate;
    for (size_t i = 0; i + 3 <= size; i += 3) image[(data[i] | (data[i + 1] << 8)) % image.size()] = data[i + 2];

    diskfs::MemorySectorDevice device(image);
    diskfs::Fat32Walk scan(device);
    scan.control.skipEmpty = (size & 1) != 0;
    diskfs::DeletedFileList list;
    scan.ScanDeleted("C:", list);

    diskfs::Fat32Walk wipe(device);
    wipe.blankForm = (size & 2) ? diskfs::BlankForm::kZeroAttribute : diskfs::BlankForm::kArchiveAttribute;
    wipe.WipeDeletedNames();
    return 0;
}
