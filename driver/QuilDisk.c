/*
 * The disk devices and their data path.
 *
 * A disk knows only its size: the data lives in an encrypted image that the process which created the
 * disk reads and writes in user mode. Reads, writes and flushes that reach the disk are queued here;
 * the serving process keeps IOCTL_QUIL_EXCHANGE calls pending, and each one is completed with the next
 * piece of work (at most maxTransfer bytes of one request). Its next exchange brings the answer. Every
 * buffer crosses as a METHOD_BUFFERED copy: no user-mode address is ever used here.
 *
 * One spin lock guards every queue of every disk. The cancel routines need nothing but that lock and
 * the IRP, so they stay safe while a disk is being removed. A queued request can be cancelled until
 * its first piece is handed out; from then on it ends when its last piece is answered or the disk goes.
 * Data is never copied under the lock (a piece is up to 4 MiB): the lock only decides who copies what,
 * and a request being copied to or from carries one more count in OUTSTANDING, which keeps it from
 * being completed, by an answer or by the disk's removal, until the copy is done.
 */
#include "QuilDisk.h"

#include <ddk/ntddk.h>
#include "DiskProtocol.h"

#define QUIL_MAX_IN_FLIGHT 16
#define QUIL_POOL_TAG 'kdlQ'

/* Not in the kernel-mode headers this file includes (ntifs.h): the volume controls a caller sends to
 * a disk on which no file system is mounted. */
#ifndef FSCTL_LOCK_VOLUME
#define FSCTL_LOCK_VOLUME CTL_CODE(FILE_DEVICE_FILE_SYSTEM, 6, METHOD_BUFFERED, FILE_ANY_ACCESS)
#define FSCTL_UNLOCK_VOLUME CTL_CODE(FILE_DEVICE_FILE_SYSTEM, 7, METHOD_BUFFERED, FILE_ANY_ACCESS)
#define FSCTL_DISMOUNT_VOLUME CTL_CODE(FILE_DEVICE_FILE_SYSTEM, 8, METHOD_BUFFERED, FILE_ANY_ACCESS)
#endif

/* A piece of a disk request that the server holds. */
typedef struct QuilPiece {
    ULONGLONG tag; /* 0 when the slot is free */
    PIRP irp;
    ULONG offset; /* within the IRP's buffer */
    ULONG length;
} QuilPiece;

typedef struct QuilDisk {
    ULONG kind; /* QUIL_KIND_DISK */
    ULONG number;
    PDEVICE_OBJECT device;
    PFILE_OBJECT owner; /* the control handle that created the disk */
    HANDLE ownerProcess;
    ULONGLONG sectorCount;
    ULONG maxTransfer;
    BOOLEAN readOnly;
    BOOLEAN removed;
    LIST_ENTRY queued;  /* disk requests not yet handed out whole; the first may be partly handed */
    LIST_ENTRY servers; /* pending exchanges waiting for work */
    QuilPiece pieces[QUIL_MAX_IN_FLIGHT];
    ULONGLONG lastTag;
    UCHAR uniqueId[48 * sizeof(WCHAR)]; /* "QuilFileDisk" and the image's identity, or the device name */
    USHORT uniqueIdLength;
    UNICODE_STRING deviceName;
    UNICODE_STRING linkName;
    WCHAR deviceNameBuffer[48];
    WCHAR linkNameBuffer[48];
} QuilDisk;

/* What a queued disk request carries in the IRP's driver context while it is served. */
#define HANDED(irp) (*(ULONG_PTR*)&(irp)->Tail.Overlay.DriverContext[0])      /* bytes handed out */
#define OUTSTANDING(irp) (*(ULONG_PTR*)&(irp)->Tail.Overlay.DriverContext[1]) /* pieces unanswered */
#define FAILURE(irp) (*(NTSTATUS*)&(irp)->Tail.Overlay.DriverContext[2])      /* first failure, or 0 */
#define STARTED(irp) (*(ULONG_PTR*)&(irp)->Tail.Overlay.DriverContext[3])     /* no longer cancellable */
#define ENTRY(irp) (&(irp)->Tail.Overlay.ListEntry)
#define IRP_OF(entry) CONTAINING_RECORD((entry), IRP, Tail.Overlay.ListEntry)

static KSPIN_LOCK gLock;
static ULONG gDisks;      /* disks that exist */
static ULONG gLastNumber; /* the number the last disk was given; never given again while the system runs */

void QuilDiskInitialize(void) {
    KeInitializeSpinLock(&gLock);
    gDisks = 0;
    gLastNumber = 0;
}

static NTSTATUS Finish(PIRP irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = NT_SUCCESS(status) ? information : 0;
    IoCompleteRequest(irp, IO_DISK_INCREMENT);
    return status;
}

static void FinishAll(PLIST_ENTRY done) {
    while (!IsListEmpty(done)) {
        PIRP irp = IRP_OF(RemoveHeadList(done));
        Finish(irp, irp->IoStatus.Status, irp->IoStatus.Information);
    }
}

/* Takes an IRP out of whatever list holds it; the entry is left pointing at itself, so a second
 * removal (by a cancel routine that already started) does nothing. */
static void Unlink(PIRP irp) {
    RemoveEntryList(ENTRY(irp));
    InitializeListHead(ENTRY(irp));
}

/* Sets the result and moves the IRP to `done`, to be completed once the lock is released. */
static void Settle(PIRP irp, NTSTATUS status, ULONG_PTR information, PLIST_ENTRY done) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    InsertTailList(done, ENTRY(irp));
}

static void NTAPI CancelWaiting(PDEVICE_OBJECT device, PIRP irp) {
    KIRQL irql;
    IoReleaseCancelSpinLock(irp->CancelIrql);
    KeAcquireSpinLock(&gLock, &irql);
    Unlink(irp);
    KeReleaseSpinLock(&gLock, irql);
    Finish(irp, STATUS_CANCELLED, 0);
}

/* Queues a pending IRP at the tail of `list`, or settles it as cancelled when it already is. Called with
 * the lock held; the caller returns STATUS_PENDING. */
static void Wait(PLIST_ENTRY list, PIRP irp, PLIST_ENTRY done) {
    IoMarkIrpPending(irp);
    InitializeListHead(ENTRY(irp));
    IoSetCancelRoutine(irp, CancelWaiting);
    if (irp->Cancel && IoSetCancelRoutine(irp, NULL)) {
        Settle(irp, STATUS_CANCELLED, 0, done);
        return;
    }
    /* When the cancel routine was already taken it is running and unlinks the IRP itself. */
    InsertTailList(list, ENTRY(irp));
}

/* The IRP's cancel routine is cleared so that nobody else completes it. False when it is being
 * cancelled: it is then dropped from its list and left to the cancel routine. */
static BOOLEAN Claim(PIRP irp) {
    if (IoSetCancelRoutine(irp, NULL)) return TRUE;
    Unlink(irp);
    return FALSE;
}

static ULONG RequestLength(PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    if (stack->MajorFunction == IRP_MJ_READ) return stack->Parameters.Read.Length;
    if (stack->MajorFunction == IRP_MJ_WRITE) return stack->Parameters.Write.Length;
    return 0;
}

/* The system-space address of a read or write request's data. */
static PUCHAR RequestBuffer(PIRP irp) {
    if (irp->MdlAddress) return (PUCHAR)MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority);
    return (PUCHAR)irp->AssociatedIrp.SystemBuffer;
}

/* A disk request whose pieces are all handed out and answered is settled. */
static void SettleIfDone(PIRP irp, PLIST_ENTRY done) {
    ULONG length = RequestLength(irp);
    if (OUTSTANDING(irp) != 0 || HANDED(irp) < length) return;
    if (IsListEmpty(ENTRY(irp)) == FALSE) Unlink(irp);
    Settle(irp, FAILURE(irp) ? FAILURE(irp) : STATUS_SUCCESS, length, done);
}

static QuilPiece* FreePiece(QuilDisk* disk) {
    ULONG i;
    for (i = 0; i < QUIL_MAX_IN_FLIGHT; ++i)
        if (disk->pieces[i].tag == 0) return &disk->pieces[i];
    return NULL;
}

/* The write pieces Pump handed to servers whose data is still to be copied into the server's buffer,
 * after the lock is released (Deliver). */
typedef struct QuilHandOut {
    ULONG count;
    struct {
        PIRP server;
        PIRP request;
        ULONG offset;
        ULONG length;
    } piece[QUIL_MAX_IN_FLIGHT];
} QuilHandOut;

/* A request's copy is done: its count drops, and it is settled if that was all it waited for. Lock held. */
static void Release(QuilDisk* disk, PIRP request, PLIST_ENTRY done) {
    OUTSTANDING(request) -= 1;
    if (!disk->removed) {
        SettleIfDone(request, done);
    } else if (OUTSTANDING(request) == 0 && IsListEmpty(ENTRY(request))) {
        Settle(request, FAILURE(request) ? FAILURE(request) : STATUS_DEVICE_DOES_NOT_EXIST, 0, done);
    }
}

/* Hands queued work to waiting servers while there is both and a free slot. Lock held. A read or a
 * flush goes out at once; a write goes to `out`, for Deliver to copy its data and send. */
static void Pump(QuilDisk* disk, PLIST_ENTRY done, QuilHandOut* out) {
    while (!IsListEmpty(&disk->queued) && !IsListEmpty(&disk->servers)) {
        PIRP request = IRP_OF(disk->queued.Flink);
        PIRP server = IRP_OF(disk->servers.Flink);
        PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(request);
        QuilPiece* piece = FreePiece(disk);
        QuilDiskRequest* head;
        ULONG length, offset;

        if (!piece || out->count == QUIL_MAX_IN_FLIGHT) return;
        if (!STARTED(request)) {
            if (!Claim(request)) continue;
            STARTED(request) = 1;
        }
        if (!Claim(server)) continue;

        offset = (ULONG)HANDED(request);
        length = RequestLength(request) - offset;
        if (length > disk->maxTransfer) length = disk->maxTransfer;

        head = (QuilDiskRequest*)server->AssociatedIrp.SystemBuffer;
        head->tag = ++disk->lastTag;
        head->length = length;
        if (stack->MajorFunction == IRP_MJ_READ) {
            head->operation = QUIL_OP_READ;
            head->offset = (ULONGLONG)stack->Parameters.Read.ByteOffset.QuadPart + offset;
        } else if (stack->MajorFunction == IRP_MJ_WRITE) {
            head->operation = QUIL_OP_WRITE;
            head->offset = (ULONGLONG)stack->Parameters.Write.ByteOffset.QuadPart + offset;
        } else {
            head->operation = QUIL_OP_FLUSH;
            head->offset = 0;
        }

        piece->tag = head->tag;
        piece->irp = request;
        piece->offset = offset;
        piece->length = length;
        HANDED(request) += length;
        OUTSTANDING(request) += 1;
        if (HANDED(request) >= RequestLength(request)) Unlink(request);
        Unlink(server);

        if (head->operation == QUIL_OP_WRITE) {
            OUTSTANDING(request) += 1; /* held until Deliver has copied the data */
            out->piece[out->count].server = server;
            out->piece[out->count].request = request;
            out->piece[out->count].offset = offset;
            out->piece[out->count].length = length;
            out->count += 1;
        } else {
            Settle(server, STATUS_SUCCESS, sizeof(QuilDiskRequest), done);
        }
    }
}

/* Copies the data of the write pieces Pump handed out into their servers' buffers and sends them,
 * then completes whatever that settles. Called without the lock. */
static void Deliver(QuilDisk* disk, QuilHandOut* out, PLIST_ENTRY done) {
    KIRQL irql;
    ULONG i;
    for (i = 0; i < out->count; ++i) {
        PIRP server = out->piece[i].server;
        QuilDiskRequest* head = (QuilDiskRequest*)server->AssociatedIrp.SystemBuffer;
        PUCHAR data = RequestBuffer(out->piece[i].request);
        if (data) {
            RtlCopyMemory(head + 1, data + out->piece[i].offset, out->piece[i].length);
        } else {
            /* No data to write: the server is given a flush, and the request fails. */
            head->operation = QUIL_OP_FLUSH;
            head->length = 0;
            head->offset = 0;
        }
        KeAcquireSpinLock(&gLock, &irql);
        if (!data && !FAILURE(out->piece[i].request)) FAILURE(out->piece[i].request) = STATUS_INSUFFICIENT_RESOURCES;
        Release(disk, out->piece[i].request, done);
        KeReleaseSpinLock(&gLock, irql);
        Finish(server, STATUS_SUCCESS, sizeof(QuilDiskRequest) + head->length);
    }
    out->count = 0;
    FinishAll(done);
}

/* Takes a server's answer to the piece it names. Lock held. A read's data is left for the caller to
 * copy: `*copyTo` is then the request, held (one more OUTSTANDING) until the caller releases it, and
 * `*copyAt` the offset of the data in its buffer. */
static NTSTATUS Answer(QuilDisk* disk, const QuilDiskReply* reply, PLIST_ENTRY done, PIRP* copyTo, ULONG* copyAt) {
    QuilPiece* piece = NULL;
    PIRP request;
    ULONG i;
    for (i = 0; i < QUIL_MAX_IN_FLIGHT; ++i)
        if (reply->tag != 0 && disk->pieces[i].tag == reply->tag) piece = &disk->pieces[i];
    if (!piece) return STATUS_INVALID_PARAMETER;

    request = piece->irp;
    if (reply->status != 0) {
        if (!FAILURE(request)) FAILURE(request) = STATUS_IO_DEVICE_ERROR;
    } else if (IoGetCurrentIrpStackLocation(request)->MajorFunction == IRP_MJ_READ) {
        if (reply->length != piece->length) {
            if (!FAILURE(request)) FAILURE(request) = STATUS_IO_DEVICE_ERROR;
        } else {
            *copyTo = request;
            *copyAt = piece->offset;
            piece->tag = 0;
            piece->irp = NULL;
            return STATUS_SUCCESS; /* the piece's count is the hold */
        }
    } else if (reply->length != 0) {
        if (!FAILURE(request)) FAILURE(request) = STATUS_IO_DEVICE_ERROR;
    }
    piece->tag = 0;
    piece->irp = NULL;
    OUTSTANDING(request) -= 1;
    SettleIfDone(request, done);
    return STATUS_SUCCESS;
}

/* The number of exchanges waiting on a disk. Lock held. */
static ULONG Waiting(QuilDisk* disk) {
    ULONG count = 0;
    PLIST_ENTRY entry;
    for (entry = disk->servers.Flink; entry != &disk->servers; entry = entry->Flink) count += 1;
    return count;
}

/* Stands in a handle's FsContext while that handle creates its disk, so that a second creation on the
 * same handle, at the same moment, finds it taken. Its owner is nobody: no request ever matches it. */
static QuilDisk gCreating;

/* The disk of the caller's control handle when the caller is the process that created it, with a
 * reference on its device that keeps the extension alive however the disk is removed meanwhile;
 * ObDereferenceObject(disk->device) releases it. NULL for anyone else. */
static QuilDisk* OwnedDisk(PIO_STACK_LOCATION stack) {
    QuilDisk* disk;
    KIRQL irql;
    if (!stack->FileObject) return NULL;
    KeAcquireSpinLock(&gLock, &irql);
    disk = (QuilDisk*)stack->FileObject->FsContext;
    if (disk && (disk->owner != stack->FileObject || disk->ownerProcess != PsGetCurrentProcessId())) disk = NULL;
    if (disk) ObReferenceObject(disk->device);
    KeReleaseSpinLock(&gLock, irql);
    return disk;
}

/* Takes the disk away from its control handle; NULL when the handle holds none (or is creating one). */
static QuilDisk* TakeDisk(PFILE_OBJECT file) {
    QuilDisk* disk;
    KIRQL irql;
    KeAcquireSpinLock(&gLock, &irql);
    disk = (QuilDisk*)file->FsContext;
    if (disk && disk->owner == file) file->FsContext = NULL;
    else disk = NULL;
    KeReleaseSpinLock(&gLock, irql);
    return disk;
}

static void SetContext(PFILE_OBJECT file, PVOID context) {
    KIRQL irql;
    KeAcquireSpinLock(&gLock, &irql);
    file->FsContext = context;
    KeReleaseSpinLock(&gLock, irql);
}

/* `prefix` followed by the decimal `number`, in `buffer`. */
static void NumberedName(PUNICODE_STRING name, PWCHAR buffer, USHORT size, PCWSTR prefix, ULONG number) {
    WCHAR digits[11];
    int at = 10;
    digits[at] = 0;
    do {
        digits[--at] = (WCHAR)(L'0' + number % 10);
        number /= 10;
    } while (number != 0);
    RtlInitEmptyUnicodeString(name, buffer, size);
    RtlAppendUnicodeToString(name, prefix);
    RtlAppendUnicodeToString(name, digits + at);
}

static void ForgetDisk(void) {
    KIRQL irql;
    KeAcquireSpinLock(&gLock, &irql);
    gDisks -= 1;
    KeReleaseSpinLock(&gLock, irql);
}

static NTSTATUS CreateDisk(PDEVICE_OBJECT control, PIRP irp, PIO_STACK_LOCATION stack) {
    QuilDiskSetup setup;
    QuilDiskIdentity* identity;
    PDEVICE_OBJECT device = NULL;
    QuilDisk* disk;
    NTSTATUS status = STATUS_OBJECT_NAME_COLLISION;
    ULONG number;
    KIRQL irql;
    ULONG i;
    BOOLEAN identified = FALSE;

    if (!stack->FileObject) return Finish(irp, STATUS_INVALID_PARAMETER, 0);
    if (stack->Parameters.DeviceIoControl.InputBufferLength != sizeof setup ||
        stack->Parameters.DeviceIoControl.OutputBufferLength < sizeof(QuilDiskIdentity))
        return Finish(irp, STATUS_INVALID_PARAMETER, 0);
    RtlCopyMemory(&setup, irp->AssociatedIrp.SystemBuffer, sizeof setup);
    if (setup.sectorCount == 0 || setup.sectorCount > QUIL_MAX_SECTORS || setup.maxTransfer < QUIL_MIN_TRANSFER ||
        setup.maxTransfer > QUIL_MAX_TRANSFER || setup.maxTransfer % QUIL_SECTOR_SIZE != 0 ||
        (setup.flags & ~QUIL_DISK_READ_ONLY) != 0)
        return Finish(irp, STATUS_INVALID_PARAMETER, 0);
    KeAcquireSpinLock(&gLock, &irql);
    status = stack->FileObject->FsContext ? STATUS_DEVICE_BUSY : STATUS_OBJECT_NAME_COLLISION;
    if (!stack->FileObject->FsContext) stack->FileObject->FsContext = &gCreating;
    KeReleaseSpinLock(&gLock, irql);
    if (status == STATUS_DEVICE_BUSY) return Finish(irp, status, 0);

    /* Numbers are not given twice, so that a drive letter left behind by a process that ended (which
     * names the disk that is gone) never names a later disk. A name still taken (by a device that is
     * gone but still held open) is passed over. */
    KeAcquireSpinLock(&gLock, &irql);
    if (gDisks < QUIL_MAX_DISKS) gDisks += 1;
    else status = STATUS_TOO_MANY_NAMES;
    KeReleaseSpinLock(&gLock, irql);
    number = 0;
    while (status == STATUS_OBJECT_NAME_COLLISION) {
        WCHAR buffer[48];
        UNICODE_STRING name;
        KeAcquireSpinLock(&gLock, &irql);
        number = ++gLastNumber;
        KeReleaseSpinLock(&gLock, irql);
        NumberedName(&name, buffer, sizeof buffer, L"\\Device\\QuilFileDisk", number);
        status = IoCreateDevice(control->DriverObject, sizeof(QuilDisk), &name, FILE_DEVICE_DISK,
                                FILE_DEVICE_SECURE_OPEN, FALSE, &device);
    }
    if (!NT_SUCCESS(status)) {
        if (status != STATUS_TOO_MANY_NAMES) ForgetDisk();
        SetContext(stack->FileObject, NULL);
        return Finish(irp, status, 0);
    }
    /* Nobody can open the device yet: it is still initialising and its name is not linked. */
    status = QuilDiskProtect(device);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(device);
        ForgetDisk();
        SetContext(stack->FileObject, NULL);
        return Finish(irp, status, 0);
    }

    disk = (QuilDisk*)device->DeviceExtension;
    RtlZeroMemory(disk, sizeof *disk);
    disk->kind = QUIL_KIND_DISK;
    disk->number = number;
    disk->device = device;
    disk->owner = stack->FileObject;
    disk->ownerProcess = PsGetCurrentProcessId();
    disk->sectorCount = setup.sectorCount;
    disk->maxTransfer = setup.maxTransfer;
    disk->readOnly = (setup.flags & QUIL_DISK_READ_ONLY) != 0;
    InitializeListHead(&disk->queued);
    InitializeListHead(&disk->servers);
    NumberedName(&disk->deviceName, disk->deviceNameBuffer, sizeof disk->deviceNameBuffer,
                 L"\\Device\\QuilFileDisk", number);
    /* In the global namespace: a link made while serving a caller's request would otherwise land in
     * that caller's session alone (Windows XP with several users logged on). */
    NumberedName(&disk->linkName, disk->linkNameBuffer, sizeof disk->linkNameBuffer,
                 L"\\DosDevices\\Global\\QuilFileDisk", number);
    for (i = 0; i < QUIL_UNIQUE_ID_SIZE; ++i) identified = identified || setup.uniqueId[i] != 0;
    if (identified) {
        RtlCopyMemory(disk->uniqueId, "QuilFileDisk", 12);
        RtlCopyMemory(disk->uniqueId + 12, setup.uniqueId, QUIL_UNIQUE_ID_SIZE);
        disk->uniqueIdLength = 12 + QUIL_UNIQUE_ID_SIZE;
    } else {
        RtlCopyMemory(disk->uniqueId, disk->deviceName.Buffer, disk->deviceName.Length);
        disk->uniqueIdLength = disk->deviceName.Length;
    }
    status = IoCreateSymbolicLink(&disk->linkName, &disk->deviceName);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(device);
        ForgetDisk();
        SetContext(stack->FileObject, NULL);
        return Finish(irp, status, 0);
    }

    device->Flags |= DO_DIRECT_IO;
    device->AlignmentRequirement = FILE_WORD_ALIGNMENT;
    if (disk->readOnly) device->Characteristics |= FILE_READ_ONLY_DEVICE;
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    SetContext(stack->FileObject, disk);

    identity = (QuilDiskIdentity*)irp->AssociatedIrp.SystemBuffer;
    identity->number = number;
    identity->reserved = 0;
    return Finish(irp, STATUS_SUCCESS, sizeof *identity);
}

/* Fails everything outstanding and deletes the device. The extension stays readable until the last
 * handle to the disk closes (the I/O manager keeps the object), and `removed` then refuses all. */
static void RemoveDisk(QuilDisk* disk) {
    LIST_ENTRY done;
    KIRQL irql;
    ULONG i;
    InitializeListHead(&done);

    KeAcquireSpinLock(&gLock, &irql);
    if (disk->removed) {
        KeReleaseSpinLock(&gLock, irql);
        return;
    }
    disk->removed = TRUE;
    while (!IsListEmpty(&disk->servers)) {
        PIRP server = IRP_OF(disk->servers.Flink);
        if (Claim(server)) {
            Unlink(server);
            Settle(server, STATUS_DEVICE_DOES_NOT_EXIST, 0, &done);
        }
    }
    for (i = 0; i < QUIL_MAX_IN_FLIGHT; ++i) {
        PIRP request = disk->pieces[i].irp;
        if (!disk->pieces[i].tag) continue;
        disk->pieces[i].tag = 0;
        disk->pieces[i].irp = NULL;
        if (!FAILURE(request)) FAILURE(request) = STATUS_DEVICE_DOES_NOT_EXIST;
        OUTSTANDING(request) -= 1;
        if (OUTSTANDING(request) == 0 && IsListEmpty(ENTRY(request))) Settle(request, FAILURE(request), 0, &done);
    }
    while (!IsListEmpty(&disk->queued)) {
        PIRP request = IRP_OF(disk->queued.Flink);
        if (STARTED(request) || Claim(request)) {
            Unlink(request);
            if (OUTSTANDING(request) == 0) Settle(request, STATUS_DEVICE_DOES_NOT_EXIST, 0, &done);
        }
    }
    gDisks -= 1;
    KeReleaseSpinLock(&gLock, irql);

    /* The name goes first: whoever sees a request fail must not open the disk again by its name. */
    IoDeleteSymbolicLink(&disk->linkName);
    FinishAll(&done);
    IoDeleteDevice(disk->device);
}

static NTSTATUS Exchange(QuilDisk* disk, PIRP irp, PIO_STACK_LOCATION stack) {
    ULONG inLength = stack->Parameters.DeviceIoControl.InputBufferLength;
    ULONG outLength = stack->Parameters.DeviceIoControl.OutputBufferLength;
    const UCHAR* buffer = (const UCHAR*)irp->AssociatedIrp.SystemBuffer;
    QuilDiskReply reply;
    QuilHandOut out;
    LIST_ENTRY done;
    NTSTATUS status = STATUS_SUCCESS;
    PIRP copyTo = NULL;
    ULONG copyAt = 0;
    KIRQL irql;

    if (outLength < sizeof(QuilDiskRequest) || outLength - sizeof(QuilDiskRequest) < disk->maxTransfer)
        return Finish(irp, STATUS_BUFFER_TOO_SMALL, 0);
    if (inLength != 0) {
        if (inLength < sizeof reply) return Finish(irp, STATUS_INVALID_PARAMETER, 0);
        RtlCopyMemory(&reply, buffer, sizeof reply);
        if (reply.length != inLength - sizeof reply) return Finish(irp, STATUS_INVALID_PARAMETER, 0);
    }

    InitializeListHead(&done);
    out.count = 0;
    KeAcquireSpinLock(&gLock, &irql);
    if (disk->removed) {
        status = STATUS_DEVICE_DOES_NOT_EXIST;
    } else if (Waiting(disk) >= QUIL_MAX_SERVERS) {
        /* Each waiting exchange pins a buffer of maxTransfer bytes; its reply is left for the next try. */
        status = STATUS_DEVICE_BUSY;
    } else if (inLength != 0) {
        status = Answer(disk, &reply, &done, &copyTo, &copyAt);
    }
    if (copyTo) {
        /* The read's data lies in this IRP's buffer, which it needs again for its next request. */
        KeReleaseSpinLock(&gLock, irql);
        {
            PUCHAR target = RequestBuffer(copyTo);
            if (target) RtlCopyMemory(target + copyAt, buffer + sizeof reply, reply.length);
            KeAcquireSpinLock(&gLock, &irql);
            if (!target && !FAILURE(copyTo)) FAILURE(copyTo) = STATUS_INSUFFICIENT_RESOURCES;
        }
        Release(disk, copyTo, &done);
        if (disk->removed) status = STATUS_DEVICE_DOES_NOT_EXIST;
    }
    if (NT_SUCCESS(status)) {
        Wait(&disk->servers, irp, &done);
        Pump(disk, &done, &out);
    }
    KeReleaseSpinLock(&gLock, irql);
    Deliver(disk, &out, &done);
    return NT_SUCCESS(status) ? STATUS_PENDING : Finish(irp, status, 0);
}

NTSTATUS QuilDiskControl(PDEVICE_OBJECT control, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
    PDEVICE_OBJECT device;
    QuilDisk* disk;
    NTSTATUS status;

    if (code == IOCTL_QUIL_CREATE_DISK) return CreateDisk(control, irp, stack);
    if (code != IOCTL_QUIL_EXCHANGE && code != IOCTL_QUIL_REMOVE_DISK)
        return Finish(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    disk = OwnedDisk(stack);
    if (!disk) return Finish(irp, STATUS_ACCESS_DENIED, 0);
    device = disk->device;
    if (code == IOCTL_QUIL_EXCHANGE) {
        status = Exchange(disk, irp, stack);
    } else {
        if (TakeDisk(stack->FileObject) == disk) RemoveDisk(disk);
        status = Finish(irp, STATUS_SUCCESS, 0);
    }
    ObDereferenceObject(device);
    return status;
}

void QuilDiskOwnerClosing(PFILE_OBJECT file) {
    QuilDisk* disk = file ? TakeDisk(file) : NULL;
    if (disk) RemoveDisk(disk);
}

/* Queues a checked request for the server, with gLock held (taken at `irql`), and releases the
   lock; the requests the queueing finished are completed after it. */
static NTSTATUS QueueAndRelease(QuilDisk* disk, PIRP irp, KIRQL irql) {
    LIST_ENTRY done;
    QuilHandOut out;
    HANDED(irp) = 0;
    OUTSTANDING(irp) = 0;
    FAILURE(irp) = 0;
    STARTED(irp) = 0;
    InitializeListHead(&done);
    out.count = 0;
    Wait(&disk->queued, irp, &done);
    Pump(disk, &done, &out);
    KeReleaseSpinLock(&gLock, irql);
    Deliver(disk, &out, &done);
    return STATUS_PENDING;
}

/* A read or write checked against the disk: whole sectors, inside the disk. */
static NTSTATUS Transfer(QuilDisk* disk, PIRP irp, PIO_STACK_LOCATION stack) {
    BOOLEAN write = stack->MajorFunction == IRP_MJ_WRITE;
    ULONGLONG size = disk->sectorCount * QUIL_SECTOR_SIZE;
    LONGLONG offset = write ? stack->Parameters.Write.ByteOffset.QuadPart : stack->Parameters.Read.ByteOffset.QuadPart;
    ULONG length = write ? stack->Parameters.Write.Length : stack->Parameters.Read.Length;
    KIRQL irql;

    if (write && disk->readOnly) return Finish(irp, STATUS_MEDIA_WRITE_PROTECTED, 0);
    if (offset < 0 || offset % QUIL_SECTOR_SIZE != 0 || length % QUIL_SECTOR_SIZE != 0 ||
        (ULONGLONG)offset > size || length > size - (ULONGLONG)offset)
        return Finish(irp, STATUS_INVALID_PARAMETER, 0);
    if (length == 0) return Finish(irp, STATUS_SUCCESS, 0);
    if (!RequestBuffer(irp)) return Finish(irp, STATUS_INSUFFICIENT_RESOURCES, 0);

    KeAcquireSpinLock(&gLock, &irql);
    if (disk->removed) {
        KeReleaseSpinLock(&gLock, irql);
        return Finish(irp, STATUS_DEVICE_DOES_NOT_EXIST, 0);
    }
    return QueueAndRelease(disk, irp, irql);
}

static NTSTATUS Flush(QuilDisk* disk, PIRP irp) {
    KIRQL irql;
    KeAcquireSpinLock(&gLock, &irql);
    if (disk->removed || disk->readOnly) {
        NTSTATUS status = disk->removed ? STATUS_DEVICE_DOES_NOT_EXIST : STATUS_SUCCESS;
        KeReleaseSpinLock(&gLock, irql);
        return Finish(irp, status, 0);
    }
    return QueueAndRelease(disk, irp, irql);
}

NTSTATUS QuilDiskDispatch(PDEVICE_OBJECT device, PIRP irp) {
    QuilDisk* disk = (QuilDisk*)device->DeviceExtension;
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    BOOLEAN removed;
    KIRQL irql;

    KeAcquireSpinLock(&gLock, &irql);
    removed = disk->removed;
    KeReleaseSpinLock(&gLock, irql);

    switch (stack->MajorFunction) {
    case IRP_MJ_CREATE:
        return Finish(irp, removed ? STATUS_DEVICE_DOES_NOT_EXIST : STATUS_SUCCESS, 0);
    case IRP_MJ_CLEANUP:
    case IRP_MJ_CLOSE:
        return Finish(irp, STATUS_SUCCESS, 0);
    case IRP_MJ_READ:
    case IRP_MJ_WRITE:
        return Transfer(disk, irp, stack);
    case IRP_MJ_FLUSH_BUFFERS:
        return Flush(disk, irp);
    case IRP_MJ_DEVICE_CONTROL:
        if (removed) return Finish(irp, STATUS_DEVICE_DOES_NOT_EXIST, 0);
        return QuilDiskQuery(disk->sectorCount, disk->readOnly, &disk->deviceName, disk->uniqueId,
                             disk->uniqueIdLength, irp);
    case IRP_MJ_FILE_SYSTEM_CONTROL: {
        /* Such a request reaches the disk itself only when no file system is mounted on it: nothing
         * holds the volume, so locking and dismounting it succeed at once. */
        ULONG code = stack->Parameters.FileSystemControl.FsControlCode;
        if (removed) return Finish(irp, STATUS_DEVICE_DOES_NOT_EXIST, 0);
        if (code == FSCTL_LOCK_VOLUME || code == FSCTL_UNLOCK_VOLUME || code == FSCTL_DISMOUNT_VOLUME)
            return Finish(irp, STATUS_SUCCESS, 0);
        return Finish(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    }
    case IRP_MJ_POWER:
        PoStartNextPowerIrp(irp);
        return Finish(irp, STATUS_SUCCESS, 0);
    case IRP_MJ_PNP:
    case IRP_MJ_SYSTEM_CONTROL: {
        /* Not a PnP device: such requests pass through with whatever status they carry. */
        NTSTATUS status = irp->IoStatus.Status;
        IoCompleteRequest(irp, IO_NO_INCREMENT);
        return status;
    }
    default:
        return Finish(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    }
}
