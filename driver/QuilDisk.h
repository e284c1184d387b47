/*
 * The disk devices of QUILFILEDISK: one per served image, created and served through the control
 * device (QuilFileDisk.c), read and written by anyone who opens it.
 */
#ifndef QUIL_DISK_H
#define QUIL_DISK_H

#include <ddk/wdm.h>

/* Every device extension of the driver starts with its kind, so one dispatch table serves both. */
enum QuilDeviceKind { QUIL_KIND_CONTROL = 1, QUIL_KIND_DISK = 2 };

void QuilDiskInitialize(void);

/* Handles a control code sent to the control device; the file object is the caller's handle. */
NTSTATUS QuilDiskControl(PDEVICE_OBJECT control, PIRP irp);

/* The handle that owns a disk is closing (IRP_MJ_CLEANUP or IRP_MJ_CLOSE on the control device): its
 * disk, if any, is removed. */
void QuilDiskOwnerClosing(PFILE_OBJECT file);

/* Answers a disk query (IRP_MJ_DEVICE_CONTROL on a disk) of a disk of `sectorCount` sectors whose
 * kernel name is `deviceName` and whose unique ID for the mount manager is `uniqueId` (QuilDiskQuery.c). */
NTSTATUS QuilDiskQuery(ULONGLONG sectorCount, BOOLEAN readOnly, const UNICODE_STRING* deviceName,
                       const UCHAR* uniqueId, USHORT uniqueIdLength, PIRP irp);

/* Gives a new disk device a descriptor that lets SYSTEM, the Administrators and the user of the calling
 * process open it, and nobody else (QuilDiskSecurity.c). PASSIVE_LEVEL, in the caller's context. */
NTSTATUS QuilDiskProtect(PDEVICE_OBJECT device);

/* Dispatch for a request that reached a disk device. */
NTSTATUS QuilDiskDispatch(PDEVICE_OBJECT disk, PIRP irp);

#endif
