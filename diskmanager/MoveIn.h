#pragma once
// Moving files and folders into the open secret disk in one step: every item is checked before
// anything is copied, copied into the disk's root (a folder with its tree), each copy flushed, read
// back and compared byte for byte with its original; only when every copy is verified are the
// items reported as moved, for Purgix to erase. A failed copy, a failed comparison or a cancel
// removes every copy of the run and puts back what it had set aside, so the disk is as it was.
// Files are reached through MoveFiles and the person through MoveObserver.
#include <cstdint>
#include <string>
#include <vector>

#include "MoveFiles.h"

// Told between blocks; answers the questions of the move.
class MoveObserver {
public:
    virtual ~MoveObserver() = default;
    // Polled before every block read or written; true stops the move, which then removes its copies.
    virtual bool Cancelled() = 0;
    // After every block: the original being copied or compared, and the bytes done of the total.
    // Each byte counts twice, once copied and once compared.
    virtual void Progress(const std::string& source, uint64_t done, uint64_t total) = 0;
    // An item's name is taken in the disk's root already (`target`). `merge`: both are folders, and
    // the item's files go into the folder there, replacing same-named files; otherwise the item
    // replaces what is there. True does that, false skips the item (it is neither copied nor moved).
    virtual bool Replace(const std::string& target, bool merge) = 0;
};

enum class MoveOutcome {
    moved,          // every item not skipped is copied and verified (Moved())
    pathTooLong,    // FailedPath(): an original or copy path of 260 characters or more
    onSecretDisk,   // FailedPath(): an item on the secret disk itself
    isDiskImage,    // FailedPath(): the disk's image file, or a folder that holds it
    driveRoot,      // FailedPath(): a whole drive
    sameName,       // FailedPath(): an item whose name another item of the run takes already
    missing,        // FailedPath(): an item that is not there
    cannotList,     // FailedPath(): a folder of an item whose content cannot be read
    noRoom,         // Needed() is more than Free(); nothing was copied
    readFailed,     // FailedPath(): the original that could not be opened or read
    writeFailed,    // FailedPath(): the copy that could not be made or written
    compareFailed,  // FailedPath(): the copy that could not be read back or differs from its original
    cancelled,
};

class MoveIn {
public:
    // Files are copied and compared in blocks of this size.
    static constexpr uint32_t kBlock = 1u << 20;
    // Each file is counted with its size rounded up to this for the room it needs on the disk.
    static constexpr uint64_t kAllocationUnit = 4096;

    // `root`: the secret disk's root, such as "H:\". `imagePath`: its image file (may be empty).
    MoveIn(const std::string& root, const std::string& imagePath, MoveFiles& files, MoveObserver& observer);

    // Moves `items` (full paths of files and folders). An item given twice, or lying inside a
    // folder also given, is taken once, with its folder.
    MoveOutcome Run(const std::vector<std::string>& items);

    const std::string& FailedPath() const { return failedPath_; }
    uint64_t Needed() const { return needed_; }
    uint64_t Free() const { return free_; }
    // The items copied and verified, as given: the originals to hand to Purgix.
    const std::vector<std::string>& Moved() const { return moved_; }
    // After a failure: copies of this run the undo could not remove.
    const std::vector<std::string>& Leftovers() const { return leftovers_; }

private:
    struct Step {
        std::string source, target;
        bool folder;
        uint64_t size;
    };
    struct Item {
        std::string source, target;
        bool folder;
        std::vector<Step> steps;  // the item itself first, then its tree, folders before their content
    };
    // What the copy changed on the disk, undone in reverse order.
    struct Change {
        enum Kind { madeFile, madeFolder, setAside } kind;
        std::string path, aside;
        bool folder;  // of a set-aside item
    };

    MoveOutcome Check(const std::vector<std::string>& given);
    MoveOutcome Walk(Item& item, const std::string& source, const std::string& target, int depth);
    MoveOutcome Copy();
    MoveOutcome CopyItem(const Item& item);
    MoveOutcome PlaceStep(const Step& step);
    MoveOutcome CopyOneFile(const Step& step);
    MoveOutcome Verify(const Step& step, MoveFiles::File source);
    bool SetAside(const std::string& path, bool folder);
    MoveOutcome Fail(MoveOutcome outcome, const std::string& path);
    void Undo();
    void RemoveTree(const std::string& path);
    bool ReadFull(MoveFiles::File file, char* buffer, uint32_t& got);

    std::string root_, imagePath_;
    MoveFiles& files_;
    MoveObserver& observer_;
    std::vector<Item> items_;
    std::vector<Change> changes_;
    std::vector<char> original_, copy_;
    std::string failedPath_;
    uint64_t needed_ = 0, free_ = 0, total_ = 0, done_ = 0;
    std::vector<std::string> moved_, leftovers_;
};
