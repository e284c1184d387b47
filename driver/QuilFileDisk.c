/*
 * QUILFILEDISK: the virtual-disk driver that Mountex talks to.
 *
 * A root-enumerated WDM function driver. For each device the PnP manager reports, AddDevice creates
 * one device object on top of the PDO and registers a device interface of the class Lockvale and
 * Drivset look for; the interface is enabled while the device is started. That device is the control
 * device: Mountex opens it to create a disk device for an image and to serve its reads and writes
 * (QuilDisk.c). Requests to a disk device go to QuilDisk.c as well.
 */
#include <ddk/wdm.h>

#include "QuilDisk.h"

/* The device interface class of the driver: {25628D25-6E35-4E46-BE3F-74B55B74944A}. */
static const GUID kQuilFileDiskInterface = {
    0x25628D25, 0x6E35, 0x4E46, {0xBE, 0x3F, 0x74, 0xB5, 0x5B, 0x74, 0x94, 0x4A}};

typedef struct QuilDeviceExtension {
    ULONG kind;                     /* QUIL_KIND_CONTROL */
    PDEVICE_OBJECT lowerDevice;     /* the next device down the stack, usually the PDO */
    UNICODE_STRING interfaceName;   /* symbolic link of the registered interface; Buffer NULL when none */
} QuilDeviceExtension;

static QuilDeviceExtension* Extension(PDEVICE_OBJECT device) {
    return (QuilDeviceExtension*)device->DeviceExtension;
}

static BOOLEAN IsDisk(PDEVICE_OBJECT device) {
    return Extension(device)->kind == QUIL_KIND_DISK;
}

static NTSTATUS Complete(PIRP irp, NTSTATUS status) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static NTSTATUS PassDown(PDEVICE_OBJECT device, PIRP irp) {
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(Extension(device)->lowerDevice, irp);
}

static NTSTATUS NTAPI SignalLowerDone(PDEVICE_OBJECT device, PIRP irp, PVOID context) {
    KeSetEvent((PKEVENT)context, IO_NO_INCREMENT, FALSE);
    /* The IRP is finished by the dispatch routine that waits for this event. */
    return STATUS_MORE_PROCESSING_REQUIRED;
}

/* Sends `irp` down the stack and waits until the drivers below have finished with it. Returns their
 * status; the IRP is still ours to complete. Called at PASSIVE_LEVEL only (PnP dispatch). */
static NTSTATUS ForwardAndWait(PDEVICE_OBJECT device, PIRP irp) {
    KEVENT done;
    NTSTATUS status;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    IoCopyCurrentIrpStackLocationToNext(irp);
    IoSetCompletionRoutine(irp, SignalLowerDone, &done, TRUE, TRUE, TRUE);
    status = IoCallDriver(Extension(device)->lowerDevice, irp);
    if (status == STATUS_PENDING) {
        KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, NULL);
        status = irp->IoStatus.Status;
    }
    return status;
}

static void SetInterfaceState(QuilDeviceExtension* ext, BOOLEAN enable) {
    if (ext->interfaceName.Buffer) IoSetDeviceInterfaceState(&ext->interfaceName, enable);
}

static NTSTATUS NTAPI DispatchPnp(PDEVICE_OBJECT device, PIRP irp) {
    QuilDeviceExtension* ext = Extension(device);
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    NTSTATUS status;

    if (IsDisk(device)) return QuilDiskDispatch(device, irp);

    switch (stack->MinorFunction) {
    case IRP_MN_START_DEVICE:
        /* The bus driver starts the device first; the interface opens once the whole stack runs. */
        status = ForwardAndWait(device, irp);
        if (NT_SUCCESS(status)) SetInterfaceState(ext, TRUE);
        return Complete(irp, status);

    case IRP_MN_SURPRISE_REMOVAL:
        SetInterfaceState(ext, FALSE);
        irp->IoStatus.Status = STATUS_SUCCESS;
        return PassDown(device, irp);

    case IRP_MN_REMOVE_DEVICE:
        SetInterfaceState(ext, FALSE);
        irp->IoStatus.Status = STATUS_SUCCESS;
        status = PassDown(device, irp);
        IoDetachDevice(ext->lowerDevice);
        if (ext->interfaceName.Buffer) RtlFreeUnicodeString(&ext->interfaceName);
        IoDeleteDevice(device);
        return status;

    case IRP_MN_QUERY_REMOVE_DEVICE:
    case IRP_MN_CANCEL_REMOVE_DEVICE:
    case IRP_MN_QUERY_STOP_DEVICE:
    case IRP_MN_CANCEL_STOP_DEVICE:
    case IRP_MN_STOP_DEVICE:
        /* Nothing is held that would stop these; a function driver says so on the way down. */
        irp->IoStatus.Status = STATUS_SUCCESS;
        return PassDown(device, irp);

    default:
        return PassDown(device, irp);
    }
}

static NTSTATUS NTAPI DispatchPower(PDEVICE_OBJECT device, PIRP irp) {
    if (IsDisk(device)) return QuilDiskDispatch(device, irp);
    PoStartNextPowerIrp(irp);
    IoSkipCurrentIrpStackLocation(irp);
    return PoCallDriver(Extension(device)->lowerDevice, irp);
}

static NTSTATUS NTAPI DispatchSystemControl(PDEVICE_OBJECT device, PIRP irp) {
    if (IsDisk(device)) return QuilDiskDispatch(device, irp);
    return PassDown(device, irp);
}

/* IRP_MJ_CREATE, IRP_MJ_CLEANUP, IRP_MJ_CLOSE on the control device: opening the interface is how
 * callers see the driver. The handle that created a disk takes it along when it closes; both close
 * steps remove it, whichever the system sends first (Wine sends no IRP_MJ_CLEANUP, only the close). */
static NTSTATUS NTAPI DispatchOpenClose(PDEVICE_OBJECT device, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    if (IsDisk(device)) return QuilDiskDispatch(device, irp);
    if (stack->MajorFunction == IRP_MJ_CREATE) {
        if (stack->FileObject) stack->FileObject->FsContext = NULL;
    } else {
        QuilDiskOwnerClosing(stack->FileObject);
    }
    return Complete(irp, STATUS_SUCCESS);
}

static NTSTATUS NTAPI DispatchControl(PDEVICE_OBJECT device, PIRP irp) {
    if (IsDisk(device)) return QuilDiskDispatch(device, irp);
    return QuilDiskControl(device, irp);
}

static NTSTATUS NTAPI DispatchUnsupported(PDEVICE_OBJECT device, PIRP irp) {
    if (IsDisk(device)) return QuilDiskDispatch(device, irp);
    return Complete(irp, STATUS_INVALID_DEVICE_REQUEST);
}

static NTSTATUS NTAPI AddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo) {
    PDEVICE_OBJECT device;
    QuilDeviceExtension* ext;
    NTSTATUS status = IoCreateDevice(driver, sizeof(QuilDeviceExtension), NULL, FILE_DEVICE_UNKNOWN,
                                     FILE_DEVICE_SECURE_OPEN, FALSE, &device);
    if (!NT_SUCCESS(status)) return status;

    ext = Extension(device);
    RtlZeroMemory(ext, sizeof *ext);
    ext->kind = QUIL_KIND_CONTROL;
    status = IoRegisterDeviceInterface(pdo, &kQuilFileDiskInterface, NULL, &ext->interfaceName);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(device);
        return status;
    }
    ext->lowerDevice = IoAttachDeviceToDeviceStack(device, pdo);
    if (!ext->lowerDevice) {
        RtlFreeUnicodeString(&ext->interfaceName);
        IoDeleteDevice(device);
        return STATUS_NO_SUCH_DEVICE;
    }

    device->Flags |= DO_POWER_PAGABLE;
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

/* Every device is gone by the time the driver is unloaded: REMOVE_DEVICE deletes the control device,
 * and a disk goes when the handle that created it closes. */
static void NTAPI Unload(PDRIVER_OBJECT driver) {}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
    ULONG major;
    for (major = 0; major <= IRP_MJ_MAXIMUM_FUNCTION; ++major) {
        driver->MajorFunction[major] = DispatchUnsupported;
    }
    driver->MajorFunction[IRP_MJ_CREATE] = DispatchOpenClose;
    driver->MajorFunction[IRP_MJ_CLEANUP] = DispatchOpenClose;
    driver->MajorFunction[IRP_MJ_CLOSE] = DispatchOpenClose;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchControl;
    driver->MajorFunction[IRP_MJ_PNP] = DispatchPnp;
    driver->MajorFunction[IRP_MJ_POWER] = DispatchPower;
    driver->MajorFunction[IRP_MJ_SYSTEM_CONTROL] = DispatchSystemControl;
    driver->DriverExtension->AddDevice = AddDevice;
    driver->DriverUnload = Unload;
    QuilDiskInitialize();
    return STATUS_SUCCESS;
}
