#include "MoveIn.h"

#include <cstring>

#include "GbkText.h"

namespace {

// Folders deeper than this are not walked (a path of 259 characters cannot hold more anyway).
const int kMaxDepth = 130;
const size_t kMaxPath = 260;  // a path must stay shorter: it lives in 260-byte buffers

// `path` with ASCII letters in lower case and every double-byte character as it is: the form in
// which two paths are compared, since the system ignores the case of file names and a trail byte
// that looks like a letter is not one.
std::string Folded(const std::string& path) {
    std::string folded = path;
    for (size_t i = 0; i < folded.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(folded[i]);
        if (gbk::IsLeadByte(c) && i + 1 < folded.size()) {
            ++i;
        } else if (c >= 'A' && c <= 'Z') {
            folded[i] = static_cast<char>(c - 'A' + 'a');
        }
    }
    return folded;
}

// True when `inner` lies inside the folder `outer` (both folded).
bool Inside(const std::string& inner, const std::string& outer) {
    const std::string prefix = gbk::WithBackslash(outer);
    return inner.size() > prefix.size() && inner.compare(0, prefix.size(), prefix) == 0;
}

// The path without a trailing backslash, except for a drive root.
std::string Trimmed(const std::string& path) {
    if (path.size() > 3 && gbk::EndsWithBackslash(path)) return path.substr(0, path.size() - 1);
    return path;
}

bool IsDriveRoot(const std::string& path) {
    return (path.size() == 2 || (path.size() == 3 && path[2] == '\\')) && path[1] == ':';
}

char DriveOf(const std::string& path) {
    if (path.size() < 2 || path[1] != ':') return 0;
    const char c = path[0];
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

uint64_t Allocated(uint64_t size) {
    return (size + MoveIn::kAllocationUnit - 1) / MoveIn::kAllocationUnit * MoveIn::kAllocationUnit;
}

// Closes a file of MoveFiles when it goes out of scope.
class HeldFile {
public:
    HeldFile(MoveFiles& files, MoveFiles::File file) : files_(files), file_(file) {}
    ~HeldFile() { Close(); }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    MoveFiles::File Get() const { return file_; }
    void Close() {
        if (file_) files_.Close(file_);
        file_ = nullptr;
    }

private:
    MoveFiles& files_;
    MoveFiles::File file_;
};

}  // namespace

MoveIn::MoveIn(const std::string& root, const std::string& imagePath, MoveFiles& files, MoveObserver& observer)
    : root_(gbk::WithBackslash(root)), imagePath_(imagePath), files_(files), observer_(observer) {}

MoveOutcome MoveIn::Run(const std::vector<std::string>& items) {
    items_.clear();
    changes_.clear();
    moved_.clear();
    leftovers_.clear();
    failedPath_.clear();
    needed_ = free_ = total_ = done_ = 0;
    const MoveOutcome checked = Check(items);
    if (checked != MoveOutcome::moved) return checked;
    return Copy();
}

MoveOutcome MoveIn::Fail(MoveOutcome outcome, const std::string& path) {
    failedPath_ = path;
    return outcome;
}

MoveOutcome MoveIn::Check(const std::vector<std::string>& given) {
    const char diskDrive = DriveOf(root_);
    const std::string image = Folded(imagePath_);
    std::vector<std::string> paths, folded;
    for (const std::string& raw : given) {
        if (raw.size() >= kMaxPath) return Fail(MoveOutcome::pathTooLong, raw);
        const std::string path = Trimmed(raw);
        if (IsDriveRoot(path)) return Fail(MoveOutcome::driveRoot, raw);
        if (diskDrive && DriveOf(path) == diskDrive) return Fail(MoveOutcome::onSecretDisk, raw);
        const std::string f = Folded(path);
        if (!image.empty() && (f == image || Inside(image, f))) return Fail(MoveOutcome::isDiskImage, raw);
        paths.push_back(path);
        folded.push_back(f);
    }

    // An item given twice, or inside another item, goes with that one.
    std::vector<std::string> names;
    for (size_t i = 0; i < paths.size(); ++i) {
        bool covered = false;
        for (size_t j = 0; j < paths.size() && !covered; ++j) {
            if (j == i) continue;
            covered = (folded[i] == folded[j] && j < i) || Inside(folded[i], folded[j]);
        }
        if (covered) continue;
        uint64_t size = 0;
        const MoveFiles::Kind kind = files_.Probe(paths[i], size);
        if (kind == MoveFiles::Kind::none) return Fail(MoveOutcome::missing, paths[i]);
        if (kind == MoveFiles::Kind::link) continue;  // a link is never followed: nothing of it is copied
        const std::string name = gbk::NameOf(paths[i]);
        const std::string foldedName = Folded(name);
        for (const std::string& taken : names)
            if (taken == foldedName) return Fail(MoveOutcome::sameName, paths[i]);
        names.push_back(foldedName);

        Item item{paths[i], root_ + name, kind == MoveFiles::Kind::folder, {}};
        const MoveOutcome walked = Walk(item, item.source, item.target, 0);
        if (walked != MoveOutcome::moved) return walked;
        items_.push_back(item);
    }

    for (const Item& item : items_) {
        for (const Step& step : item.steps) {
            if (step.folder) continue;
            needed_ += Allocated(step.size);
            total_ += 2 * step.size;
        }
    }
    free_ = files_.FreeBytes(root_);
    if (needed_ > free_) return MoveOutcome::noRoom;
    return MoveOutcome::moved;
}

MoveOutcome MoveIn::Walk(Item& item, const std::string& source, const std::string& target, int depth) {
    if (source.size() >= kMaxPath) return Fail(MoveOutcome::pathTooLong, source);
    if (target.size() >= kMaxPath) return Fail(MoveOutcome::pathTooLong, target);
    uint64_t size = 0;
    const MoveFiles::Kind kind = files_.Probe(source, size);
    if (kind == MoveFiles::Kind::file) {
        item.steps.push_back({source, target, false, size});
        return MoveOutcome::moved;
    }
    if (kind != MoveFiles::Kind::folder) return MoveOutcome::moved;  // a link, or gone meanwhile
    item.steps.push_back({source, target, true, 0});
    if (depth >= kMaxDepth) return Fail(MoveOutcome::cannotList, source);
    std::vector<MoveFiles::Entry> entries;
    if (!files_.List(source, entries)) return Fail(MoveOutcome::cannotList, source);
    for (const MoveFiles::Entry& entry : entries) {
        if (entry.kind == MoveFiles::Kind::link) continue;
        const MoveOutcome walked = Walk(item, source + "\\" + entry.name, target + "\\" + entry.name, depth + 1);
        if (walked != MoveOutcome::moved) return walked;
    }
    return MoveOutcome::moved;
}

MoveOutcome MoveIn::Copy() {
    original_.resize(kBlock);
    copy_.resize(kBlock);
    for (const Item& item : items_) {
        const MoveOutcome copied = CopyItem(item);
        if (copied != MoveOutcome::moved) {
            Undo();
            return copied;
        }
    }
    // Every copy is verified: what was set aside goes for good.
    for (const Change& change : changes_) {
        if (change.kind != Change::setAside) continue;
        if (change.folder) {
            RemoveTree(change.aside);
        } else {
            files_.RemoveFile(change.aside);
        }
    }
    changes_.clear();
    return MoveOutcome::moved;
}

MoveOutcome MoveIn::CopyItem(const Item& item) {
    uint64_t size = 0;
    const MoveFiles::Kind there = files_.Probe(item.target, size);
    if (there != MoveFiles::Kind::none) {
        if (observer_.Cancelled()) return MoveOutcome::cancelled;
        if (!observer_.Replace(item.target, item.folder && there == MoveFiles::Kind::folder)) {
            // Skipped: its bytes will not be copied, and the progress says so.
            for (const Step& step : item.steps) done_ += 2 * step.size;
            return MoveOutcome::moved;
        }
    }
    for (const Step& step : item.steps) {
        if (observer_.Cancelled()) return MoveOutcome::cancelled;
        const MoveOutcome placed = step.folder ? PlaceStep(step) : CopyOneFile(step);
        if (placed != MoveOutcome::moved) return placed;
    }
    moved_.push_back(item.source);
    return MoveOutcome::moved;
}

bool MoveIn::SetAside(const std::string& path, bool folder) {
    const std::string folderPath = gbk::FolderOf(path);
    for (unsigned n = 0; n < 1000; ++n) {
        const std::string aside = folderPath + "\\~VeloraOld" + std::to_string(n) + ".tmp";
        if (aside.size() >= kMaxPath) return false;
        uint64_t size = 0;
        if (files_.Probe(aside, size) != MoveFiles::Kind::none) continue;
        if (!files_.Rename(path, aside)) return false;
        changes_.push_back({Change::setAside, path, aside, folder});
        return true;
    }
    return false;
}

// A folder of an item: one that is there already takes the files; anything else in its place is
// set aside.
MoveOutcome MoveIn::PlaceStep(const Step& step) {
    uint64_t size = 0;
    const MoveFiles::Kind there = files_.Probe(step.target, size);
    if (there == MoveFiles::Kind::folder) return MoveOutcome::moved;
    if (there != MoveFiles::Kind::none && !SetAside(step.target, false)) {
        return Fail(MoveOutcome::writeFailed, step.target);
    }
    if (!files_.MakeFolder(step.target)) return Fail(MoveOutcome::writeFailed, step.target);
    changes_.push_back({Change::madeFolder, step.target, std::string(), true});
    return MoveOutcome::moved;
}

bool MoveIn::ReadFull(MoveFiles::File file, char* buffer, uint32_t& got) {
    got = 0;
    while (got < kBlock) {
        uint32_t part = 0;
        if (!files_.Read(file, buffer + got, kBlock - got, part)) return false;
        if (part == 0) break;
        got += part;
    }
    return true;
}

MoveOutcome MoveIn::CopyOneFile(const Step& step) {
    HeldFile source(files_, files_.OpenRead(step.source));
    if (!source.Get()) return Fail(MoveOutcome::readFailed, step.source);
    // Created first and looked at only when that fails: under Wine every look for a name that is not
    // there reads the whole folder (names are matched without case), which made a move of many small
    // files into one folder slow.
    MoveFiles::File created = files_.CreateWrite(step.target);
    if (!created) {
        uint64_t size = 0;
        const MoveFiles::Kind there = files_.Probe(step.target, size);
        if (there == MoveFiles::Kind::none || !SetAside(step.target, there == MoveFiles::Kind::folder)) {
            return Fail(MoveOutcome::writeFailed, step.target);
        }
        created = files_.CreateWrite(step.target);
    }
    HeldFile copy(files_, created);
    if (!copy.Get()) return Fail(MoveOutcome::writeFailed, step.target);
    changes_.push_back({Change::madeFile, step.target, std::string(), false});
    for (;;) {
        if (observer_.Cancelled()) return MoveOutcome::cancelled;
        uint32_t got = 0;
        if (!ReadFull(source.Get(), original_.data(), got)) return Fail(MoveOutcome::readFailed, step.source);
        if (got == 0) break;
        if (!files_.Write(copy.Get(), original_.data(), got)) return Fail(MoveOutcome::writeFailed, step.target);
        done_ += got;
        observer_.Progress(step.source, done_, total_);
    }
    // The comparison must read what reached the disk, not what still waits in a buffer of ours.
    if (!files_.Flush(copy.Get())) return Fail(MoveOutcome::writeFailed, step.target);
    files_.CopyTimes(source.Get(), copy.Get());
    copy.Close();
    return Verify(step, source.Get());
}

// Reads the copy back and compares it with its original, block by block. The original stays open
// (shared with readers only) from the first block copied to the last compared, so nobody changes it
// in between. The copy's bytes usually come from the system's cache, which holds what was
// written; what would catch a failing disk read is the read-back after a restart.
MoveOutcome MoveIn::Verify(const Step& step, MoveFiles::File source) {
    HeldFile copy(files_, files_.OpenRead(step.target));
    if (!copy.Get()) return Fail(MoveOutcome::compareFailed, step.target);
    if (!files_.Rewind(source)) return Fail(MoveOutcome::readFailed, step.source);
    for (;;) {
        if (observer_.Cancelled()) return MoveOutcome::cancelled;
        uint32_t fromOriginal = 0, fromCopy = 0;
        if (!ReadFull(source, original_.data(), fromOriginal)) return Fail(MoveOutcome::readFailed, step.source);
        if (!ReadFull(copy.Get(), copy_.data(), fromCopy)) return Fail(MoveOutcome::compareFailed, step.target);
        if (fromOriginal != fromCopy || std::memcmp(original_.data(), copy_.data(), fromOriginal) != 0) {
            return Fail(MoveOutcome::compareFailed, step.target);
        }
        if (fromOriginal == 0) return MoveOutcome::moved;
        done_ += fromOriginal;
        observer_.Progress(step.source, done_, total_);
    }
}

void MoveIn::Undo() {
    for (auto change = changes_.rbegin(); change != changes_.rend(); ++change) {
        bool undone = true;
        switch (change->kind) {
        case Change::madeFile:
            undone = files_.RemoveFile(change->path);
            break;
        case Change::madeFolder:
            undone = files_.RemoveFolder(change->path);
            break;
        case Change::setAside:
            undone = files_.Rename(change->aside, change->path);
            break;
        }
        if (!undone) leftovers_.push_back(change->kind == Change::setAside ? change->aside : change->path);
    }
    changes_.clear();
    moved_.clear();
}

// Removes a set-aside folder of the disk with everything in it; links are removed, never entered.
void MoveIn::RemoveTree(const std::string& path) {
    std::vector<MoveFiles::Entry> entries;
    files_.List(path, entries);
    for (const MoveFiles::Entry& entry : entries) {
        const std::string inner = path + "\\" + entry.name;
        if (entry.kind == MoveFiles::Kind::folder) {
            RemoveTree(inner);
        } else if (entry.kind == MoveFiles::Kind::link) {
            if (!files_.RemoveFolder(inner)) files_.RemoveFile(inner);
        } else {
            files_.RemoveFile(inner);
        }
    }
    files_.RemoveFolder(path);
}
