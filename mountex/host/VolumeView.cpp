#define FUSE_USE_VERSION 31
#include "VolumeView.h"

#include <fcntl.h>
#include <fuse.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace mountex {

namespace {

const char kVolumeName[] = "/volume";
// The largest read or write the kernel sends in one request (it must match max_read in Start()).
constexpr unsigned kMaxTransfer = 1u << 20;

CVolumeView& View() { return *static_cast<CVolumeView*>(fuse_get_context()->private_data); }

uint64_t VolumeBytes() { return View().Image().SectorCount() * vlr::kSectorSize; }

int GetAttr(const char* path, struct stat* st, struct fuse_file_info*) {
    std::memset(st, 0, sizeof *st);
    if (std::strcmp(path, "/") == 0) {
        st->st_mode = S_IFDIR | 0700;
        st->st_nlink = 2;
    } else if (std::strcmp(path, kVolumeName) == 0) {
        st->st_mode = S_IFREG | 0600;
        st->st_nlink = 1;
        st->st_size = static_cast<off_t>(VolumeBytes());
        st->st_blocks = st->st_size / 512;
        st->st_blksize = 4096;
    } else {
        return -ENOENT;
    }
    st->st_uid = getuid();
    st->st_gid = getgid();
    return 0;
}

int ReadDir(const char* path, void* buf, fuse_fill_dir_t fill, off_t, struct fuse_file_info*,
            enum fuse_readdir_flags) {
    if (std::strcmp(path, "/") != 0) return -ENOENT;
    fill(buf, ".", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
    fill(buf, "..", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
    fill(buf, kVolumeName + 1, nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
    return 0;
}

// ntfs-3g reads and writes its device in 4 KiB pieces. Sent one by one through FUSE they would cost
// a round trip each (measured: over 20 times slower), so the kernel caches the view: reads are served
// and read ahead from its page cache, and writes are gathered there and reach the image in large
// batches. The cache lives in memory only, for as long as the view is mounted, and fsync (which
// ntfs-3g's unmount and Sync() below both call) writes it through to the image.
void* Init(struct fuse_conn_info* conn, struct fuse_config* config) {
    if (conn->capable & FUSE_CAP_WRITEBACK_CACHE) conn->want |= FUSE_CAP_WRITEBACK_CACHE;
    conn->max_write = kMaxTransfer;
    conn->max_read = kMaxTransfer;
    conn->max_readahead = kMaxTransfer;
    config->kernel_cache = 1;
    return fuse_get_context()->private_data;
}

int Open(const char* path, struct fuse_file_info*) {
    return std::strcmp(path, kVolumeName) == 0 ? 0 : -ENOENT;
}

// Transfers [offset, offset + size) of the volume, clipped to its end. Whole-sector requests go
// straight to the image; a request that starts or ends inside a sector goes through a bounce buffer
// of the sectors it touches (a partial write reads, patches and writes back those sectors).
int Transfer(bool write, char* buf, size_t size, off_t offset) {
    const uint64_t total = VolumeBytes();
    if (offset < 0) return -EINVAL;
    const uint64_t off = static_cast<uint64_t>(offset);
    if (off >= total || size == 0) return write && size ? -ENOSPC : 0;
    size = static_cast<size_t>(std::min<uint64_t>(size, total - off));
    const uint64_t first = off / vlr::kSectorSize;
    const uint64_t end = (off + size + vlr::kSectorSize - 1) / vlr::kSectorSize;
    const uint32_t count = static_cast<uint32_t>(end - first);
    vlr::CVlrImage& image = View().Image();
    if (off % vlr::kSectorSize == 0 && size % vlr::kSectorSize == 0) {
        bool ok = write ? image.WriteSectors(first, count, reinterpret_cast<const uint8_t*>(buf))
                        : image.ReadSectors(first, count, reinterpret_cast<uint8_t*>(buf));
        return ok ? static_cast<int>(size) : -EIO;
    }
    std::vector<uint8_t> bounce(size_t{count} * vlr::kSectorSize);
    if (!image.ReadSectors(first, count, bounce.data())) return -EIO;
    const size_t at = static_cast<size_t>(off - first * vlr::kSectorSize);
    if (write) {
        std::memcpy(bounce.data() + at, buf, size);
        if (!image.WriteSectors(first, count, bounce.data())) return -EIO;
    } else {
        std::memcpy(buf, bounce.data() + at, size);
    }
    vlr::WipeBytes(bounce.data(), bounce.size());
    return static_cast<int>(size);
}

int Read(const char* path, char* buf, size_t size, off_t offset, struct fuse_file_info*) {
    if (std::strcmp(path, kVolumeName) != 0) return -ENOENT;
    return Transfer(false, buf, size, offset);
}

int Write(const char* path, const char* buf, size_t size, off_t offset, struct fuse_file_info*) {
    if (std::strcmp(path, kVolumeName) != 0) return -ENOENT;
    return Transfer(true, const_cast<char*>(buf), size, offset);
}

int Fsync(const char* path, int, struct fuse_file_info*) { return View().Image().Flush() ? 0 : -EIO; }

// The volume has the image's size for good; only a "change" to that same size is accepted.
int Truncate(const char* path, off_t size, struct fuse_file_info*) {
    if (std::strcmp(path, kVolumeName) != 0) return -ENOENT;
    return static_cast<uint64_t>(size) == VolumeBytes() ? 0 : -EPERM;
}

// With write-back caching the kernel keeps the file times itself and sends them on every flush; the
// view has no times to keep, so it accepts and forgets them.
int SetTimes(const char* path, const struct timespec[2], struct fuse_file_info*) {
    return std::strcmp(path, kVolumeName) == 0 ? 0 : -EPERM;
}

}  // namespace

bool CVolumeView::Start(const std::string& folder, std::string& error) {
    static struct fuse_operations ops = {};
    ops.init = Init;
    ops.getattr = GetAttr;
    ops.readdir = ReadDir;
    ops.open = Open;
    ops.read = Read;
    ops.write = Write;
    ops.fsync = Fsync;
    ops.truncate = Truncate;
    ops.utimens = SetTimes;

    folder_ = folder;
    const char* argv[] = {"mountex-host", "-o", "fsname=mountex-view,subtype=vlr,max_read=1048576"};
    struct fuse_args args = FUSE_ARGS_INIT(3, const_cast<char**>(argv));
    fuse_ = fuse_new(&args, &ops, sizeof ops, this);
    fuse_opt_free_args(&args);
    if (!fuse_) {
        error = "FUSE refused to start (is /dev/fuse available?)";
        return false;
    }
    if (fuse_mount(fuse_, folder.c_str()) != 0) {
        fuse_destroy(fuse_);
        fuse_ = nullptr;
        error = "FUSE could not mount the volume view";
        return false;
    }
    struct fuse* f = fuse_;
    loop_ = std::thread([f] { fuse_loop(f); });
    return true;
}

bool CVolumeView::Sync() {
    if (!fuse_) return false;
    const int fd = open(VolumePath().c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = fsync(fd) == 0;
    close(fd);
    return ok;
}

void CVolumeView::Stop() {
    if (!fuse_) return;
    // Unmounting closes the session's device first, which would drop whatever the kernel still caches
    // for the view: write it through while the loop still serves. Then ending the session makes the
    // kernel fail the loop's pending read, so the loop returns.
    Sync();
    fuse_exit(fuse_);
    fuse_unmount(fuse_);
    if (loop_.joinable()) loop_.join();
    fuse_destroy(fuse_);
    fuse_ = nullptr;
}

}  // namespace mountex
