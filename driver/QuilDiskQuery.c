/*
 * The queries a disk answers itself, from its size alone: what a file system, the mount manager and the
 * formatter ask of a disk before they use it. Every answer goes into the request's system buffer after
 * its length has been checked.
 */
#include "QuilDisk.h"

#include <ntdddisk.h>
#include <ntddstor.h>
#include <ddk/mountdev.h>

#include "DiskProtocol.h"

static NTSTATUS Finish(PIRP irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = NT_SUCCESS(status) ? information : 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

/* Answers a query with a fixed-size structure; a buffer too small for it is refused. */
static NTSTATUS Reply(PIRP irp, PIO_STACK_LOCATION stack, const void* data, ULONG size) {
    if (stack->Parameters.DeviceIoControl.OutputBufferLength < size) return Finish(irp, STATUS_BUFFER_TOO_SMALL, 0);
    RtlCopyMemory(irp->AssociatedIrp.SystemBuffer, data, size);
    return Finish(irp, STATUS_SUCCESS, size);
}

/* Answers a MOUNTDEV name query: a USHORT length followed by the bytes. A buffer that holds the length
 * but not the bytes gets the length and STATUS_BUFFER_OVERFLOW, as the mount manager expects. */
static NTSTATUS ReplyName(PIRP irp, PIO_STACK_LOCATION stack, const void* name, USHORT length) {
    ULONG outLength = stack->Parameters.DeviceIoControl.OutputBufferLength;
    PUSHORT out = (PUSHORT)irp->AssociatedIrp.SystemBuffer;
    if (outLength < sizeof(MOUNTDEV_NAME)) return Finish(irp, STATUS_INVALID_PARAMETER, 0);
    *out = length;
    if (outLength < sizeof(USHORT) + length) {
        irp->IoStatus.Status = STATUS_BUFFER_OVERFLOW;
        irp->IoStatus.Information = sizeof(MOUNTDEV_NAME);
        IoCompleteRequest(irp, IO_NO_INCREMENT);
        return STATUS_BUFFER_OVERFLOW;
    }
    RtlCopyMemory(out + 1, name, length);
    return Finish(irp, STATUS_SUCCESS, sizeof(USHORT) + length);
}

/* The disk queries a file system, the mount manager and the formatter ask. The geometry is 64 heads of
 * 32 sectors, one MiB a cylinder, so that an image of whole megabytes is whole cylinders. */
NTSTATUS QuilDiskQuery(ULONGLONG sectorCount, BOOLEAN readOnly, const UNICODE_STRING* deviceName,
                       const UCHAR* uniqueId, USHORT uniqueIdLength, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    ULONGLONG size = sectorCount * QUIL_SECTOR_SIZE;
    ULONG inLength = stack->Parameters.DeviceIoControl.InputBufferLength;
    DISK_GEOMETRY geometry;
    RtlZeroMemory(&geometry, sizeof geometry);
    geometry.MediaType = FixedMedia;
    geometry.TracksPerCylinder = 64;
    geometry.SectorsPerTrack = 32;
    geometry.BytesPerSector = QUIL_SECTOR_SIZE;
    geometry.Cylinders.QuadPart = (LONGLONG)(sectorCount / (64 * 32));

    switch (stack->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_DISK_GET_DRIVE_GEOMETRY:
        return Reply(irp, stack, &geometry, sizeof geometry);
    case IOCTL_DISK_GET_DRIVE_GEOMETRY_EX: {
        DISK_GEOMETRY_EX ex;
        RtlZeroMemory(&ex, sizeof ex);
        ex.Geometry = geometry;
        ex.DiskSize.QuadPart = (LONGLONG)size;
        return Reply(irp, stack, &ex, FIELD_OFFSET(DISK_GEOMETRY_EX, Data));
    }
    case IOCTL_DISK_GET_LENGTH_INFO: {
        GET_LENGTH_INFORMATION length;
        length.Length.QuadPart = (LONGLONG)size;
        return Reply(irp, stack, &length, sizeof length);
    }
    case IOCTL_DISK_GET_PARTITION_INFO: {
        PARTITION_INFORMATION info;
        RtlZeroMemory(&info, sizeof info);
        info.PartitionLength.QuadPart = (LONGLONG)size;
        info.PartitionType = PARTITION_IFS;
        info.RecognizedPartition = TRUE;
        return Reply(irp, stack, &info, sizeof info);
    }
    case IOCTL_DISK_GET_PARTITION_INFO_EX: {
        PARTITION_INFORMATION_EX info;
        RtlZeroMemory(&info, sizeof info);
        info.PartitionStyle = PARTITION_STYLE_MBR;
        info.PartitionLength.QuadPart = (LONGLONG)size;
        info.Mbr.PartitionType = PARTITION_IFS;
        info.Mbr.RecognizedPartition = TRUE;
        return Reply(irp, stack, &info, sizeof info);
    }
    case IOCTL_DISK_SET_PARTITION_INFO:
        /* The formatter sets the type of the partition it made; a disk without a table keeps none. */
        if (inLength < sizeof(SET_PARTITION_INFORMATION)) return Finish(irp, STATUS_INVALID_PARAMETER, 0);
        return Finish(irp, readOnly ? STATUS_MEDIA_WRITE_PROTECTED : STATUS_SUCCESS, 0);
    case IOCTL_DISK_VERIFY: {
        VERIFY_INFORMATION verify;
        if (inLength < sizeof verify) return Finish(irp, STATUS_INVALID_PARAMETER, 0);
        RtlCopyMemory(&verify, irp->AssociatedIrp.SystemBuffer, sizeof verify);
        if (verify.StartingOffset.QuadPart < 0 || (ULONGLONG)verify.StartingOffset.QuadPart > size ||
            verify.Length > size - (ULONGLONG)verify.StartingOffset.QuadPart)
            return Finish(irp, STATUS_INVALID_PARAMETER, 0);
        return Finish(irp, STATUS_SUCCESS, 0);
    }
    case IOCTL_DISK_IS_WRITABLE:
        return Finish(irp, readOnly ? STATUS_MEDIA_WRITE_PROTECTED : STATUS_SUCCESS, 0);
    case IOCTL_DISK_CHECK_VERIFY:
    case IOCTL_STORAGE_CHECK_VERIFY:
    case IOCTL_STORAGE_CHECK_VERIFY2:
        /* The medium never changes; a caller that asks gets the change count 0. */
        if (stack->Parameters.DeviceIoControl.OutputBufferLength >= sizeof(ULONG)) {
            *(PULONG)irp->AssociatedIrp.SystemBuffer = 0;
            return Finish(irp, STATUS_SUCCESS, sizeof(ULONG));
        }
        return Finish(irp, STATUS_SUCCESS, 0);
    case IOCTL_DISK_MEDIA_REMOVAL:
    case IOCTL_STORAGE_MEDIA_REMOVAL:
        return Finish(irp, STATUS_SUCCESS, 0);
    case IOCTL_MOUNTDEV_QUERY_DEVICE_NAME:
        return ReplyName(irp, stack, deviceName->Buffer, deviceName->Length);
    case IOCTL_MOUNTDEV_QUERY_UNIQUE_ID:
        /* The mount manager remembers a volume's letter and name by this ID across boots: it names the
         * image, not the disk number, which each boot gives again. */
        return ReplyName(irp, stack, uniqueId, uniqueIdLength);
    default:
        return Finish(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    }
}

