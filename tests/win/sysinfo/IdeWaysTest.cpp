// The three ways to the IDE identify data, against a scripted driver that answers as a real one:
// only a request that addresses the device it was sent to, with that device's command, gets data.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>

#include "SystemGather.h"

namespace {

enum Kind { kAta, kAtapi };

class ScriptedDriver : public IdeDeviceIo {
public:
    std::map<int, Kind> smart;                // \\.\PhysicalDriveN
    std::map<int, std::string> scsi;          // \\.\ScsiC: device D as C * 2 + D, by model
    std::map<int, std::string> vxd;           // disk 0-7 of the Windows 95/98/Me driver
    int openHandles = 0, scsiOpens = 0;

    HANDLE Open(const std::string& path, DWORD, DWORD, DWORD flags) override {
        int n = -1;
        if (std::sscanf(path.c_str(), "\\\\.\\PhysicalDrive%d", &n) == 1 && smart.count(n)) return Handle(0x100 + n);
        if (std::sscanf(path.c_str(), "\\\\.\\Scsi%d:", &n) == 1 && (scsi.count(2 * n) || scsi.count(2 * n + 1))) {
            ++scsiOpens;
            return Handle(0x200 + n);
        }
        if (path == "\\\\.\\IDE21201.VXD" && !vxd.empty() && flags == FILE_FLAG_DELETE_ON_CLOSE) return Handle(0x300);
        return INVALID_HANDLE_VALUE;
    }

    bool Control(HANDLE device, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize, DWORD& returned) override {
        const int id = static_cast<int>(reinterpret_cast<INT_PTR>(device));
        // As the system does for these requests: the input is read before the output is written
        // (the miniport request uses one buffer for both).
        const std::vector<uint8_t> copy(static_cast<const uint8_t*>(in), static_cast<const uint8_t*>(in) + inSize);
        const uint8_t* request = copy.data();
        uint8_t* answer = static_cast<uint8_t*>(out);
        std::memset(answer, 0, outSize);
        returned = outSize;
        if (code == kSmartGetVersion && id >> 8 == 1) {
            for (const auto& drive : smart) answer[3] |= static_cast<uint8_t>(1 << (drive.first + (drive.second == kAtapi ? 4 : 0)));
            return true;
        }
        if (code == kSmartRcvDriveData && id >> 8 == 1 && inSize >= 33 && outSize >= 528) {
            const int n = id & 0xFF;
            const bool atapi = smart[n] == kAtapi;
            if (request[12] != n || request[9] != (n % 2 ? 0xB0 : 0xA0) || request[10] != (atapi ? 0xA1 : 0xEC)) return false;
            Put(answer + 16, atapi ? "CD-ROM " + std::to_string(n) : "DISK " + std::to_string(n));
            return true;
        }
        if (code == kScsiMiniport && id >> 8 == 2 && inSize >= 61 && outSize >= 556 && std::memcmp(request + 4, "SCSIDISK", 8) == 0 &&
            request[16] == 0x01 && request[17] == 0x05 && request[18] == 0x1B && request[38] == 0xEC) {
            const int slot = (id & 0xFF) * 2 + request[40];
            if (scsi.count(slot)) Put(answer + 44, scsi[slot]);
            return true;
        }
        if (code == kVxdGetIdentify && id == 0x300 && outSize >= kVxdRecordSize) {
            for (const auto& disk : vxd) {
                answer[disk.first / 2] = answer[4 + disk.first] = 1;
                Put(answer + 12 + 512 * disk.first, disk.second);
            }
            return true;
        }
        return false;
    }

    void Close(HANDLE) override { --openHandles; }

private:
    HANDLE Handle(int id) {
        ++openHandles;
        return reinterpret_cast<HANDLE>(static_cast<INT_PTR>(id));
    }
    // An identify block in the device's little-endian byte order with the model in words 27-46.
    static void Put(uint8_t* block, std::string model) {
        model.resize(40, ' ');
        for (int i = 0; i < 40; i += 2) {
            block[54 + i] = static_cast<uint8_t>(model[i + 1]);
            block[55 + i] = static_cast<uint8_t>(model[i]);
        }
    }
};

std::vector<std::string> Slots(const SystemInfo& info) {
    std::vector<std::string> slots;
    for (const IdeDriveSlot& slot : info.ide) slots.push_back(slot.present ? slot.channel + ": " + slot.model : "-");
    return slots;
}

}  // namespace

TEST(IdeWays, EachWayFillsTheSlotOfTheDeviceItAddressed) {
    struct Case {
        const char* what;
        DWORD platform;
        ScriptedDriver driver;
        std::vector<std::string> slots;
        int scsiOpens;
    } cases[] = {
        {"SMART: an ATA master, an ATAPI slave on the second controller", VER_PLATFORM_WIN32_NT, {}, {}, 0},
        {"the SCSI miniport once SMART found nothing; a device without a model is left out", VER_PLATFORM_WIN32_NT, {}, {}, 2},
        {"the Windows 95/98/Me driver; its disks 4 to 7 have no slot", VER_PLATFORM_WIN32_WINDOWS, {}, {}, 0},
        {"no IDE21201.VXD on Windows 95/98/Me", VER_PLATFORM_WIN32_WINDOWS, {}, {}, 0},
    };
    cases[0].driver.smart = {{0, kAta}, {3, kAtapi}};
    cases[0].driver.scsi = {{1, "NOT ASKED"}};
    cases[0].slots = {"Primary Master: DISK 0", "-", "-", "Secondary Slave: CD-ROM 3"};
    cases[1].driver.scsi = {{3, "Maxtor 6Y080L0"}, {0, ""}};
    cases[1].slots = {"-", "-", "-", "Secondary Slave: Maxtor 6Y080L0"};
    cases[2].driver.vxd = {{1, "IBM-DTLA-307030"}, {2, "QUANTUM FIREBALL"}, {5, "THIRD CONTROLLER"}};
    cases[2].driver.smart = {{0, kAta}};
    cases[2].slots = {"-", "Primary Slave: IBM-DTLA-307030", "Secondary Master: QUANTUM FIREBALL", "-"};
    cases[3].slots = {"-", "-", "-", "-"};
    for (Case& c : cases) {
        SystemInfo info;
        GatherIdeDrives(info, c.platform, c.driver);
        EXPECT_EQ(Slots(info), c.slots) << c.what;
        EXPECT_EQ(c.driver.scsiOpens, c.scsiOpens) << c.what;
        EXPECT_EQ(c.driver.openHandles, 0) << c.what << ": every device opened is closed";
    }
}
