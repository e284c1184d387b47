#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "DiskImages.h"
#include "VolumeWalker.h"

// The Windows 95/98/Me path, with a stand-in for the VWIN32 device that serves a volume image from
// memory and keeps every request as it arrived.

namespace {

struct Call {
    DWORD code;
    DiocRegisters in;
    DiskIoPacket packet;
    bool packetAtEbx;
};

class FakeVwin32 : public Vwin32Transport {
public:
    explicit FakeVwin32(std::string image = std::string(4000 * 512, '\0')) : image(std::move(image)) {}

    bool Execute(Vwin32Request& r) override {
        calls.push_back({r.controlCode, r.registers, r.packet,
                         r.registers.ebx == static_cast<DWORD>(reinterpret_cast<uintptr_t>(&r.packet))});
        r.registers.flags = 0;
        if (r.controlCode == Vwin32Device::kDosIoctl) {
            if (r.registers.ecx == 0x084A && static_cast<int>(r.registers.ebx >> 8) == failLockLevel)
                r.registers.flags = Vwin32Device::kCarry;
            return true;
        }
        if (r.controlCode != Vwin32Device::kDosDriveInfo || r.registers.eax != 0x7305) return false;
        size_t offset = static_cast<size_t>(r.packet.startSector) * 512, length = size_t{r.packet.count} * 512;
        if (offset > image.size() || length > image.size() - offset) return false;
        if (r.registers.esi == 0x6001) {
            if (writeCarry) r.registers.flags = Vwin32Device::kCarry;
            else std::memcpy(&image[offset], r.buffer, length);
        } else {
            std::memcpy(r.buffer, image.data() + offset, length);
        }
        return true;
    }

    std::string image;
    std::vector<Call> calls;
    int failLockLevel = 0;
    bool writeCarry = false;
};

}  // namespace

TEST(Vwin32Device, CutsTransfersIntoCallsOfAThousandSectorsWithTheDiskServiceRegisters) {
    struct Case {
        uint32_t count;
        std::vector<WORD> calls;
    } cases[] = {{1, {1}}, {1000, {1000}}, {1001, {1000, 1}}, {2500, {1000, 1000, 500}}};
    for (const Case& c : cases) {
        for (bool write : {false, true}) {
            FakeVwin32 fake;
            Vwin32Device device(fake, 3);  // C:
            std::vector<uint8_t> buffer(size_t{c.count} * 512, 0x5A);
            bool ok = write ? device.WriteSectors(7, c.count, 512, buffer.data())
                            : device.ReadSectors(7, c.count, 512, buffer.data());
            ASSERT_TRUE(ok) << c.count;
            ASSERT_EQ(fake.calls.size(), c.calls.size()) << c.count;
            DWORD sector = 7;
            for (size_t i = 0; i < fake.calls.size(); ++i) {
                const Call& call = fake.calls[i];
                EXPECT_EQ(call.code, 6u);
                EXPECT_EQ(call.in.eax, 0x7305u);
                EXPECT_EQ(call.in.ecx, 0xFFFFFFFFu);
                EXPECT_EQ(call.in.edx, 3u);
                EXPECT_EQ(call.in.esi, write ? 0x6001u : 0u);
                EXPECT_TRUE(call.packetAtEbx) << "EBX holds the packet's address";
                EXPECT_EQ(call.packet.startSector, sector);
                EXPECT_EQ(call.packet.count, c.calls[i]);
                EXPECT_EQ(call.packet.buffer - fake.calls[0].packet.buffer, (sector - 7) * 512)
                    << "the buffer advances by 1000 sectors a call";
                sector += call.packet.count;
            }
        }
    }
    FakeVwin32 fake;
    Vwin32Device device(fake, 3);
    std::vector<uint8_t> buffer(1001 * 512);
    EXPECT_FALSE(device.Transfer(0, 1001, buffer.data(), false)) << "one call never carries more than 1000";
    EXPECT_TRUE(fake.calls.empty());
    fake.writeCarry = true;
    EXPECT_FALSE(device.WriteSectors(0, 1, 512, buffer.data())) << "a write that comes back with carry failed";
    EXPECT_TRUE(device.ReadSectors(0, 1, 512, buffer.data())) << "a read looks at the call's result only";
}

TEST(Fat32Walker9x, ScansLikeTheNtWalkerAndWipesUnderAThreeLevelLock) {
    std::string image = ReadBytes(FixturePath("fat32.img"));
    ASSERT_GT(image.size(), 1u << 20);
    {
        FakeVwin32 fake(image);
        Fat32Walker9x walker(&fake);
        diskfs::DeletedFileList list;
        ASSERT_TRUE(walker.ScanDeleted("X:", list));
        EXPECT_EQ(ScanText(list), ReadBytes(FixturePath("fat32.expected")));
        EXPECT_EQ(fake.calls[0].packet.startSector, 0u);
        EXPECT_EQ(fake.calls[0].packet.count, 1u) << "the boot sector is read as sector 0, count 1";
        EXPECT_EQ(fake.calls[0].in.edx, 24u) << "X: is drive 24";
    }

    FakeVwin32 fake(image);
    Fat32Walker9x walker(&fake);
    ASSERT_TRUE(walker.WipeDeletedNames("x:"));
    std::vector<DWORD> ioctls;  // ECX and EBX of each lock call, in order
    for (const Call& call : fake.calls) {
        if (call.code != Vwin32Device::kDosIoctl) continue;
        EXPECT_EQ(call.in.eax, 0x440Du);
        EXPECT_EQ(call.in.flags, 1u);
        ioctls.push_back(call.in.ecx << 16 | call.in.ebx);
    }
    EXPECT_EQ(ioctls, (std::vector<DWORD>{0x084A0118, 0x084A0218, 0x084A0318, 0x086A0018, 0x086A0018, 0x086A0018}));
    EXPECT_EQ(fake.calls.front().code, Vwin32Device::kDosDriveInfo) << "the boot sector comes before the lock";
    EXPECT_EQ(fake.calls.back().code, Vwin32Device::kDosIoctl) << "the volume is unlocked after the walk";
    size_t blanked = 0, writes = 0;
    for (const Call& call : fake.calls) writes += call.in.esi == 0x6001;
    for (size_t entry = 0; entry < image.size(); entry += 32) {
        if (image.compare(entry, 32, fake.image, entry, 32) == 0) continue;
        EXPECT_EQ(fake.image.substr(entry, 32), "\xE5" + std::string(31, '\0')) << "entry at byte " << entry;
        ++blanked;
    }
    EXPECT_GT(blanked, 10u);
    EXPECT_GT(writes, 0u);

    for (int failing : {1, 2, 3}) {
        FakeVwin32 refusing(image);
        refusing.failLockLevel = failing;
        Fat32Walker9x locked(&refusing);
        EXPECT_FALSE(locked.WipeDeletedNames("X:")) << failing;
        EXPECT_EQ(refusing.image, image) << "nothing is written without the lock";
        size_t unlocks = 0, locks = 0;
        for (const Call& call : refusing.calls) {
            unlocks += call.code == Vwin32Device::kDosIoctl && call.in.ecx == 0x086A;
            locks += call.code == Vwin32Device::kDosIoctl && call.in.ecx == 0x084A;
        }
        EXPECT_EQ(locks, static_cast<size_t>(failing));
        EXPECT_EQ(unlocks, 1u) << "a failed lock is undone once";
    }
}
