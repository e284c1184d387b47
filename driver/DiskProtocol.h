/*
 * How Mountex and the QUILFILEDISK driver talk about a secret disk. Shared by the driver (C, wdm.h) and
 * by Mountex (C++, windows.h + winioctl.h); every structure holds only fixed-width fields in an order
 * that needs no padding, so the 32-bit and 64-bit builds agree on every byte.
 *
 * The control codes go to the driver's interface (the device Drivset installs), all METHOD_BUFFERED:
 *
 *   IOCTL_QUIL_CREATE_DISK  in: QuilDiskSetup, out: QuilDiskIdentity. Creates the disk device
 *                           \Device\QuilFileDisk<number>, reachable as \\.\QuilFileDisk<number>; a
 *                           number is not given twice while the system runs. At most QUIL_MAX_DISKS. The
 *                           handle that sent it owns the disk: only that handle, in that process, may
 *                           serve or remove it, and closing it removes the disk. The disk device may be
 *                           opened by SYSTEM, the Administrators and the user who created it.
 *   IOCTL_QUIL_EXCHANGE     in: nothing, or a QuilDiskReply to the last request this thread took, followed
 *                           for a read by exactly the bytes read. out: the next QuilDiskRequest, followed
 *                           for a write by the bytes to write. The output buffer must hold a request of
 *                           maxTransfer bytes. The call stays pending until there is a request. At most
 *                           QUIL_MAX_SERVERS wait on one disk: one more fails with STATUS_DEVICE_BUSY and
 *                           its reply is not taken (send it again). A reply whose request is gone (the
 *                           disk was removed, or the reply was already taken) fails the exchange with
 *                           STATUS_INVALID_PARAMETER.
 *   IOCTL_QUIL_REMOVE_DISK  no buffers. Fails whatever is outstanding and removes the disk.
 */
#ifndef QUIL_DISK_PROTOCOL_H
#define QUIL_DISK_PROTOCOL_H

#define QUIL_DISK_CONTROL(function) \
    CTL_CODE(FILE_DEVICE_UNKNOWN, 0x800 + (function), METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS)
#define IOCTL_QUIL_CREATE_DISK QUIL_DISK_CONTROL(0)
#define IOCTL_QUIL_EXCHANGE QUIL_DISK_CONTROL(1)
#define IOCTL_QUIL_REMOVE_DISK QUIL_DISK_CONTROL(2)

#define QUIL_SECTOR_SIZE 512
#define QUIL_MIN_TRANSFER 4096u
#define QUIL_MAX_TRANSFER (4u << 20)
/* 2^32 sectors (2 TiB): far beyond the largest image, small enough that no byte offset overflows. */
#define QUIL_MAX_SECTORS 0x100000000ull
#define QUIL_MAX_DISKS 32
#define QUIL_MAX_SERVERS 8

#define QUIL_DISK_READ_ONLY 0x1u

#define QUIL_UNIQUE_ID_SIZE 16

typedef struct QuilDiskSetup {
    ULONGLONG sectorCount; /* the disk's size in 512-byte sectors, 1 to QUIL_MAX_SECTORS */
    ULONG maxTransfer;     /* the most bytes one request carries: a multiple of 512, 4 KiB to 4 MiB */
    ULONG flags;           /* QUIL_DISK_READ_ONLY or 0 */
    /* What names the image for as long as it exists (its file's identity), given to the mount manager
     * as the volume's unique ID, so that what the manager remembers of a volume follows the image and
     * not the disk number, which the next boot gives again. All zero: the device name serves. */
    UCHAR uniqueId[QUIL_UNIQUE_ID_SIZE];
} QuilDiskSetup;

typedef struct QuilDiskIdentity {
    ULONG number; /* the <number> of the disk's names */
    ULONG reserved;
} QuilDiskIdentity;

enum QuilDiskOperation { QUIL_OP_READ = 1, QUIL_OP_WRITE = 2, QUIL_OP_FLUSH = 3 };

typedef struct QuilDiskRequest {
    ULONGLONG tag;    /* names the request in its reply */
    ULONGLONG offset; /* byte offset on the disk, a multiple of 512 */
    ULONG operation;  /* QuilDiskOperation */
    ULONG length;     /* bytes to read or write, a multiple of 512, at most maxTransfer; 0 for a flush */
} QuilDiskRequest;

typedef struct QuilDiskReply {
    ULONGLONG tag;
    LONG status; /* 0 when done; anything else fails the request with a device error */
    ULONG length; /* bytes that follow: the request's length for a read that succeeded, else 0 */
} QuilDiskReply;

#endif
