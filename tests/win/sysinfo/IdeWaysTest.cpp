// The three ways to the IDE identify data, against a scripted disk driver that answers the way the
// real ones do: it checks the request's addressing and command and answers for the device named.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>

#include "SystemGather.h"

namespace {

// An identify block holding a model name, and ATAPI devices marked as such in word 0.
std::vector<uint16_t> Identify(const std::string& model, bool atapi = false) {
    std::vector<uint16_t> words(kIdentifyWords, 0);
    std::string padded = model;
    padded.resize(40, ' ');
    for (int i = 0; i < 20; ++i) {
        words[27 + i] = static_cast<uint16_t>(static_cast<unsigned char>(padded[2 * i]) << 8 | static_cast<unsigned char>(padded[2 * i + 1]));
    }
    words[0] = atapi ? 0x85C0 : 0x0040;
    words[60] = 0x1000;  // 4096 sectors: 2 MBytes
    return words;
}

void PutWords(const std::vector<uint16_t>& words, uint8_t* at) {
    for (size_t i = 0; i < words.size(); ++i) {
        at[2 * i] = static_cast<uint8_t>(words[i]);
        at[2 * i + 1] = static_cast<uint8_t>(words[i] >> 8);
    }
}

class ScriptedDriver : public IdeDeviceIo {
public:
    // Devices behind \\.\PhysicalDriveN (SMART) by N; behind \\.\ScsiC: by C * 2 + D; behind the
    // Windows 95/98/Me driver by disk number 0 to 7.
    std::map<int, std::vector<uint16_t>> physical, scsi, vxd;
    std::map<int, bool> atapi;  // physical drives that are ATAPI devices
    bool haveVxd = false;
    std::vector<std::string> opened;
    int openHandles = 0;

    HANDLE Open(const std::string& path, DWORD access, DWORD share, DWORD flags) override {
        opened.push_back(path);
        int n = -1;
        if (std::sscanf(path.c_str(), "\\\\.\\PhysicalDrive%d", &n) == 1) {
            if (!physical.count(n)) return INVALID_HANDLE_VALUE;
            return Handle(0x100 + n);
        }
        if (std::sscanf(path.c_str(), "\\\\.\\Scsi%d:", &n) == 1) {
            if (!scsi.count(n * 2) && !scsi.count(n * 2 + 1)) return INVALID_HANDLE_VALUE;
            return Handle(0x200 + n);
        }
        if (path == "\\\\.\\IDE21201.VXD" && haveVxd && flags == FILE_FLAG_DELETE_ON_CLOSE) return Handle(0x300);
        return INVALID_HANDLE_VALUE;
    }

    bool Control(HANDLE device, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                 DWORD& returned) override {
        const int id = static_cast<int>(reinterpret_cast<INT_PTR>(device));
        const uint8_t* request = static_cast<const uint8_t*>(in);
        uint8_t* answer = static_cast<uint8_t*>(out);
        if (id >> 8 == 1 && code == kSmartGetVersion && outSize >= 24) {
            std::memset(answer, 0, 24);
            for (const auto& drive : physical) answer[3] |= static_cast<uint8_t>(1 << (drive.first + (atapi[drive.first] ? 4 : 0)));
            returned = 24;
            return true;
        }
        if (id >> 8 == 1 && code == kSmartRcvDriveData && inSize >= 33 && outSize >= 16 + 512) {
            const int n = request[12];
            const uint8_t expectedHead = n % 2 ? 0xB0 : 0xA0;
            const uint8_t expectedCommand = atapi[n] ? kAtapiIdentify : kAtaIdentify;
            // A request for another drive than the one opened, or with the wrong command, fails.
            if (n != (id & 0xFF) || request[9] != expectedHead || request[10] != expectedCommand || request[5] != 1 ||
                request[0] + (request[1] << 8) != 512) {
                return false;
            }
            std::memset(answer, 0, outSize);
            PutWords(physical[n], answer + 16);
            returned = 16 + 512;
            return true;
        }
        if (id >> 8 == 2 && code == kScsiMiniport && inSize >= 28 + 33 && outSize >= 28 + 16 + 512 &&
            std::memcmp(request + 4, "SCSIDISK", 8) == 0 && request[16] == 0x01 && request[17] == 0x05 &&
            request[18] == 0x1B && request[38] == kAtaIdentify) {
            const int slot = (id & 0xFF) * 2 + request[40];
            std::vector<uint8_t> reply(outSize, 0);
            std::memcpy(reply.data(), request, 28);
            if (scsi.count(slot)) PutWords(scsi[slot], reply.data() + 44);
            std::memcpy(answer, reply.data(), outSize);
            returned = outSize;
            return true;
        }
        if (id == 0x300 && code == kVxdGetIdentify && outSize >= kVxdRecordSize) {
            std::memset(answer, 0, outSize);
            for (const auto& disk : vxd) {
                answer[disk.first / 2] = 1;
                answer[4 + disk.first] = 1;
                PutWords(disk.second, answer + 12 + disk.first * 512);
            }
            returned = kVxdRecordSize;
            return true;
        }
        return false;
    }

    void Close(HANDLE device) override { --openHandles; }

private:
    HANDLE Handle(int id) {
        ++openHandles;
        return reinterpret_cast<HANDLE>(static_cast<INT_PTR>(id));
    }
};

std::vector<std::string> Channels(const SystemInfo& info) {
    std::vector<std::string> present;
    for (const IdeDriveSlot& slot : info.ide) present.push_back(slot.present ? slot.channel + "|" + slot.model : "-");
    return present;
}

}  // namespace

TEST(IdeWays, EachWayFillsTheSlotOfTheDeviceItAddressed) {
    const DWORD nt = VER_PLATFORM_WIN32_NT, win9x = VER_PLATFORM_WIN32_WINDOWS;
    struct Case {
        const char* what;
        DWORD platform;
        ScriptedDriver driver;
        std::vector<std::string> slots;
    };
    std::vector<Case> cases;
    {
        Case c{"SMART: an ATA master and an ATAPI slave on the second controller", nt, {}, {}};
        c.driver.physical[0] = Identify("ST380011A");
        c.driver.physical[3] = Identify("_NEC DVD_RW ND-3540A", true);
        c.driver.atapi[3] = true;
        c.driver.scsi[1] = Identify("NOT ASKED");
        c.slots = {"Primary Master|ST380011A", "-", "-", "Secondary Slave|_NEC DVD_RW ND-3540A"};
        cases.push_back(c);
    }
    {
        Case c{"SCSI miniport when SMART finds nothing: Scsi1: device 1", nt, {}, {}};
        c.driver.scsi[3] = Identify("Maxtor 6Y080L0");
        c.driver.scsi[2] = Identify("");  // answers, but without a model: not listed
        c.slots = {"-", "-", "-", "Secondary Slave|Maxtor 6Y080L0"};
        cases.push_back(c);
    }
    {
        Case c{"the Windows 95/98/Me driver: disks 1 and 2, and 5 beyond the four slots", win9x, {}, {}};
        c.driver.haveVxd = true;
        c.driver.vxd[1] = Identify("IBM-DTLA-307030");
        c.driver.vxd[2] = Identify("QUANTUM FIREBALL");
        c.driver.vxd[5] = Identify("THIRD CONTROLLER");
        c.driver.physical[0] = Identify("NOT ASKED");
        c.slots = {"-", "Primary Slave|IBM-DTLA-307030", "Secondary Master|QUANTUM FIREBALL", "-"};
        cases.push_back(c);
    }
    {
        Case c{"no driver file on Windows 95/98/Me: no disk", win9x, {}, {}};
        c.slots = {"-", "-", "-", "-"};
        cases.push_back(c);
    }
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        SystemInfo info;
        GatherIdeDrives(info, c.platform, c.driver);
        EXPECT_EQ(Channels(info), c.slots);
        EXPECT_EQ(c.driver.openHandles, 0) << "every opened device is closed again";
    }
    // The SMART way tries the four physical drives; the miniport is only asked when it found nothing.
    SystemInfo info;
    ScriptedDriver smart = cases[0].driver;
    smart.opened.clear();
    GatherIdeDrives(info, VER_PLATFORM_WIN32_NT, smart);
    EXPECT_EQ(smart.opened, (std::vector<std::string>{"\\\\.\\PhysicalDrive0", "\\\\.\\PhysicalDrive1",
                                                      "\\\\.\\PhysicalDrive2", "\\\\.\\PhysicalDrive3"}));
    EXPECT_EQ(info.ide[0].capacity, "2 MBytes");
    EXPECT_EQ(info.ide[3].type, "Removable");
}
