#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "DiskImages.h"
#include "DiskVolume.h"
#include "Threads.h"

// The volume object on drives the harness declares: X: serves a fixture volume image as its raw
// device, G: is a CD-ROM.

TEST(DiskVolumeOpen, RecognisesFat32AndNtfsOnTheirFamiliesAndRefusesTheRest) {
    struct Case {
        const char* image;  // put behind X: first, or null
        int family;
        char letter;
        bool opens;
        int error;
        int isNtfs;
    } cases[] = {
        {"fat32.img", 1, 'X', true, 0, 0},
        {nullptr, 0, 'x', true, 0, 0},     // FAT32 on Windows 95/98/Me too, either case
        {nullptr, 1, '5', false, 1, 0},    // a digit is no drive letter
        {nullptr, 1, '[', false, 1, 0},
        {nullptr, 2, 'X', false, 0, 0},    // no such family
        {nullptr, 1, 'G', false, 2, 0},    // a CD-ROM's file system is not supported
        {nullptr, 1, 'Q', false, 3, 0},    // no such drive
        {"ntfs.img", 1, 'X', true, 0, 1},
        {nullptr, 0, 'X', false, 0, 1},    // NTFS cannot be walked on Windows 95/98/Me
    };
    for (const Case& c : cases) {
        if (c.image) {
            ASSERT_TRUE(ServeOnDriveX(c.image)) << c.image;
        }
        DiskVolume volume;
        EXPECT_EQ(volume.Open(c.family, c.letter), c.opens) << c.family << " " << c.letter;
        EXPECT_EQ(volume.error, c.error) << c.family << " " << c.letter;
        if (c.opens) {
            EXPECT_EQ(volume.root, std::string(1, c.letter) + ":");
            EXPECT_EQ(volume.isNtfs, c.isNtfs);
            EXPECT_EQ(volume.ntFamily, c.family);
        } else {
            EXPECT_EQ(volume.root, "c:") << "a refused drive leaves the volume as it was";
        }
    }
}

TEST(DiskVolumeScan, ThroughTheVolumeDeviceFindsWhatTheImageToolFinds) {
    for (const char* name : {"fat32", "ntfs"}) {
        ASSERT_TRUE(ServeOnDriveX(std::string(name) + ".img"));
        DiskVolume volume;
        ASSERT_TRUE(volume.Open(1, 'X')) << name;
        diskfs::DeletedFileList list;
        ASSERT_TRUE(volume.Scan(list)) << name;
        std::string expected = ReadBytes(FixturePath(std::string(name) + ".expected"));
        EXPECT_GT(list.size(), 5u) << name;
        EXPECT_EQ(ScanText(list), expected) << name;
        EXPECT_NE(volume.DeviceHandle(), INVALID_HANDLE_VALUE) << "the device stays open for previews";
    }
}

namespace {

// A window that keeps every record a scan sends it, and may cancel the scan after the n-th.
struct Listener {
    HWND window = nullptr;
    std::vector<diskfs::DeletedFileRecord*> records;
    DiskVolume* cancelVolume = nullptr;
    size_t cancelAfter = 0;

    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<Listener*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (self && message == diskfs::kFoundRecordMessage && lParam == 0) {
            self->records.push_back(reinterpret_cast<diskfs::DeletedFileRecord*>(wParam));
            if (self->cancelVolume && self->records.size() == self->cancelAfter) self->cancelVolume->Cancel();
            return 0;
        }
        return ::DefWindowProcA(hwnd, message, wParam, lParam);
    }

    Listener() {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "ScanListener";
        ::RegisterClassA(&wc);
        window = ::CreateWindowA("ScanListener", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~Listener() { ::DestroyWindow(window); }
};

}  // namespace

TEST(DiskVolumeScan, SendsEachRecordBeforeListingItAndStopsAtTheLimitOrOnCancel) {
    for (const char* name : {"fat32", "ntfs"}) {
        ASSERT_TRUE(ServeOnDriveX(std::string(name) + ".img"));
        struct Case {
            int limit;
            size_t cancelAfter;
            size_t found;
        } cases[] = {{-1, 0, 0}, {3, 0, 3}, {-1, 2, 2}, {1, 0, 1}};
        size_t all = 0;
        for (const Case& c : cases) {
            DiskVolume volume;
            ASSERT_TRUE(volume.Open(1, 'X'));
            EXPECT_FALSE(volume.Cancel()) << "nothing to cancel before a scan";
            EXPECT_FALSE(volume.SetLimit(0));
            if (c.limit != -1) {
                EXPECT_TRUE(volume.SetLimit(c.limit));
            }
            Listener listener;
            listener.cancelVolume = c.cancelAfter ? &volume : nullptr;
            listener.cancelAfter = c.cancelAfter;
            volume.SetNotifyWindow(listener.window);
            diskfs::DeletedFileList list;
            EXPECT_TRUE(volume.Scan(list)) << name;
            if (c.limit == -1 && c.cancelAfter == 0) all = list.size();
            size_t found = c.found ? c.found : all;
            EXPECT_EQ(list.size(), found) << name << " limit " << c.limit << " cancel " << c.cancelAfter;
            ASSERT_EQ(listener.records.size(), list.size()) << name;
            size_t i = 0;
            for (const auto& r : list) EXPECT_EQ(listener.records[i++], r.get()) << "sent in list order";
            EXPECT_EQ(volume.walker->control.cancel.load(), 0) << "a finished scan forgets its cancel flag";
            EXPECT_EQ(volume.walker->control.notify, nullptr);
        }
        EXPECT_GT(all, 3u) << name;
    }
}

TEST(DiskVolumeWipeNames, ThroughTheVolumeDeviceLeavesNothingForTheNextScan) {
    ASSERT_TRUE(ServeOnDriveX("fat32.img"));
    std::string before = ReadBytes(kDriveXImage);
    DiskVolume volume;
    ASSERT_TRUE(volume.Open(1, 'X'));
    ASSERT_TRUE(volume.WipeNames());
    volume.walker.reset();  // the device handle is closed before the image is read back
    std::string after = ReadBytes(kDriveXImage);
    ASSERT_EQ(after.size(), before.size());
    // Every byte that changed lies in a 32-byte entry that is now a blank deleted entry
    // (0xE5, attribute 0x20, nothing else).
    size_t blanked = 0;
    for (size_t entry = 0; entry < after.size(); entry += 32) {
        if (before.compare(entry, 32, after, entry, 32) == 0) continue;
        std::string blank(32, '\0');
        blank[0] = '\xE5';
        blank[11] = 0x20;
        EXPECT_EQ(after.substr(entry, 32), blank) << "entry at byte " << entry;
        ++blanked;
    }
    EXPECT_GT(blanked, 10u);

    diskfs::DeletedFileList list;
    volume.skipEmpty = 0;
    ASSERT_TRUE(volume.Scan(list));
    EXPECT_EQ(ScanText(list), "");

    ASSERT_TRUE(ServeOnDriveX("ntfs.img"));
    ASSERT_TRUE(volume.Open(1, 'X'));
    ASSERT_TRUE(volume.WipeNames());
    list.clear();
    ASSERT_TRUE(volume.Scan(list));
    EXPECT_EQ(ScanText(list), "");
}

TEST(DiskVolumeScan, AScanInAWorkerThreadReportsToTheWindowThreadWhichCanCancelIt) {
    // As the recoverable-files check runs it: the scan in a worker, the records arriving in the
    // window's thread, and Cancel pressed there.
    ASSERT_TRUE(ServeOnDriveX("ntfs.img"));
    DiskVolume volume;
    ASSERT_TRUE(volume.Open(1, 'X'));
    Listener listener;
    listener.cancelVolume = &volume;
    listener.cancelAfter = 3;
    volume.SetNotifyWindow(listener.window);
    diskfs::DeletedFileList list;
    std::atomic<bool> finished{false};
    bool scanned = false;
    DWORD windowThread = ::GetCurrentThreadId();
    vlr::CTask worker([&] {
        scanned = volume.Scan(list);
        finished = true;
        ::PostThreadMessageA(windowThread, WM_NULL, 0, 0);
        return true;
    });
    MSG msg;
    DWORD deadline = ::GetTickCount() + 20000;
    while (!finished && ::GetTickCount() < deadline) {
        if (::MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT) == WAIT_OBJECT_0) {
            while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&msg);
        }
    }
    worker.Join();
    EXPECT_TRUE(scanned);
    EXPECT_EQ(list.size(), 3u) << "the scan stops before the entry after the cancel";
    ASSERT_EQ(listener.records.size(), 3u);
    EXPECT_EQ(listener.records.front(), list.front().get());
}

TEST(DiskVolumeScan, AVolumeCutShortGivesAFailureOrAPartialResult) {
    // The device ends before the volume its boot sector describes: reads past the end come back
    // short and count as failures. Cut inside the FATs, the scan fails; cut further on, in the
    // data area, folders beyond the end are passed over and the rest is reported.
    std::string whole = ReadBytes(FixturePath("fat32.img"));
    ASSERT_GT(whole.size(), 4u << 20);
    const auto byteAt = [&](size_t i) { return static_cast<size_t>(static_cast<unsigned char>(whole[i])); };
    const size_t dataStart = (byteAt(14) | byteAt(15) << 8) * 512 +  // reserved sectors
                             2 * (byteAt(36) | byteAt(37) << 8 | byteAt(38) << 16) * 512;  // two FATs
    size_t expected = 0;
    for (char c : ReadBytes(FixturePath("fat32.expected"))) expected += c == '\n';
    size_t partial = 0;
    for (size_t cut = 64 * 1024; cut < dataStart + (512u << 10); cut = cut < dataStart ? dataStart : cut + (16u << 10)) {
        ASSERT_TRUE(WriteBytes(kDriveXImage, whole.substr(0, cut)));
        ASSERT_TRUE(DefineHostDrive('X', DRIVE_X_FOLDER, DRIVE_X_FOLDER "/volume.img"));
        DiskVolume volume;
        ASSERT_TRUE(volume.Open(1, 'X')) << cut;
        diskfs::DeletedFileList list;
        bool scanned = volume.Scan(list);
        if (cut < dataStart) {
            EXPECT_FALSE(scanned) << "cut at " << cut << ", inside the FATs";
        }
        EXPECT_LE(list.size(), expected) << cut;
        if (scanned && list.size() > 0 && list.size() < expected) ++partial;
    }
    EXPECT_GT(partial, 0u) << "no cut gave a partial result";
}
