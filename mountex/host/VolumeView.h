#pragma once
// The decrypted volume of an open image, exposed through FUSE as one file, "volume", in a private
// folder. ntfs-3g and mkntfs work on that file; every byte they read or write passes through the
// image's sector cipher, so plaintext exists only in this live view and never in a file on disk.
#include <string>
#include <thread>

#include "VlrImage.h"

struct fuse;

namespace mountex {

class CVolumeView {
public:
    explicit CVolumeView(vlr::CVlrImage& image) : image_(image) {}
    ~CVolumeView() { Stop(); }
    CVolumeView(const CVolumeView&) = delete;
    CVolumeView& operator=(const CVolumeView&) = delete;

    // Mounts the view on the existing empty folder `folder` (owner-only access) and serves it from a
    // thread. False with `error` set when FUSE refuses.
    bool Start(const std::string& folder, std::string& error);
    // Writes everything the kernel still caches for the view through to the image (and the image to
    // its disk). Call it once the last user of the view has closed it, before Stop().
    bool Sync();
    // Writes the cache through, unmounts the view and waits for its thread.
    void Stop();

    std::string VolumePath() const { return folder_ + "/volume"; }
    vlr::CVlrImage& Image() { return image_; }

private:
    vlr::CVlrImage& image_;
    std::string folder_;
    struct fuse* fuse_ = nullptr;
    std::thread loop_;
};

}  // namespace mountex
