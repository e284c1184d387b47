#pragma once
// Serves an open image as a QUILFILEDISK disk device: the driver creates \Device\QuilFileDisk<n> of the
// image's size and queues every read and write that reaches it; the server threads here take them
// with IOCTL_QUIL_EXCHANGE, read or write the image through its sector layer (decrypting and
// encrypting in this process) and hand back the data and the result with their next exchange.
//
// The disk lives as long as this object serves it, and at most as long as this process: when the
// process ends, its handle to the driver closes and the driver fails what is outstanding and removes
// the disk.
#include <windows.h>

#include <string>
#include <vector>

#include "VlrImage.h"

namespace mountex {

// The path of the driver's control interface (the first present one); empty when the driver is not
// installed or not running.
std::string DriverInterfacePath();

class CDiskServer {
public:
    // How much one request may carry: large enough that a sequential stream crosses the driver
    // seldom, small enough for the nonpaged copies the driver keeps per waiting thread (a 1 MiB
    // buffered request already fails now and then for want of system resources on 32-bit XP).
    static constexpr ULONG kDefaultMaxTransfer = 256u << 10;

    CDiskServer() = default;
    ~CDiskServer() { Stop(); }
    CDiskServer(const CDiskServer&) = delete;
    CDiskServer& operator=(const CDiskServer&) = delete;

    // Creates the disk for `image` (open, and kept open by the caller until Stop) and starts
    // `threads` server threads. False, with nothing created, when the driver is missing or refuses.
    // An exchange with the driver that fails for want of resources is tried again, after a pause that
    // grows up to a second, for as long as the disk is served: the disk stays.
    bool Start(vlr::CVlrImage& image, bool readOnly, unsigned threads = 2, ULONG maxTransfer = kDefaultMaxTransfer);

    // Removes the disk (whatever is outstanding fails) and ends the threads. Safe to call twice.
    void Stop();

    bool Serving() const { return control_ != INVALID_HANDLE_VALUE; }
    ULONG Number() const { return number_; }
    // "\\.\QuilFileDisk<n>", for CreateFile.
    std::string DevicePath() const;
    // L"\Device\QuilFileDisk<n>", the kernel's name of the disk.
    std::wstring DeviceName() const;

private:
    static DWORD WINAPI ServeThread(void* self);
    void Serve();
    // Reads or writes the image for one request; the reply header and, for a read, its data go to
    // `reply`. Returns the bytes of `reply` to send.
    DWORD Handle(const BYTE* request, DWORD requestSize, std::vector<BYTE>& reply);

    vlr::CVlrImage* image_ = nullptr;
    HANDLE control_ = INVALID_HANDLE_VALUE;
    ULONG number_ = 0;
    ULONG maxTransfer_ = 0;
    std::vector<HANDLE> threads_;
    HANDLE stopping_ = nullptr;  // set by Stop: a server waiting to try again gives up
};

}  // namespace mountex
