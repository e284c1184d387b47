/*
 * Who may open a disk device: SYSTEM, the Administrators and the user whose process created the disk.
 * A disk device carries the plaintext of a secret disk, so it does not keep the I/O manager's default
 * descriptor, which lets every account read and write a named device.
 *
 * The descriptor is set through a kernel handle to the new device object, before the device is
 * initialised and before its name is linked anywhere a caller could open it. ZwSetSecurityObject and
 * ZwQuerySecurityObject are looked up at run time, so that a system without them refuses disks instead
 * of refusing to load the driver; everything else here is exported by the kernels of Windows 2000 and
 * later.
 */
#include "QuilDisk.h"

#include <ddk/ntifs.h>

#define QUIL_SECURITY_TAG 0x73646c51u /* "Qlds" in a pool dump */

typedef NTSTATUS(NTAPI* SetSecurityObjectFn)(HANDLE, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR);
typedef NTSTATUS(NTAPI* QuerySecurityObjectFn)(HANDLE, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR, ULONG, PULONG);

static PVOID Routine(PCWSTR name) {
    UNICODE_STRING routine;
    RtlInitUnicodeString(&routine, name);
    return MmGetSystemRoutineAddress(&routine);
}

/* Whether the object behind `handle` carries an access list. Windows gives every named device one; a
 * system that keeps none on devices (Wine) lets every caller through whatever is set, and has nothing
 * to protect here. */
static BOOLEAN KeepsAccessList(HANDLE handle) {
    QuerySecurityObjectFn query = (QuerySecurityObjectFn)Routine(L"ZwQuerySecurityObject");
    ULONG buffer[128];
    ULONG needed = 0;
    BOOLEAN present = FALSE, defaulted = FALSE;
    PACL dacl = NULL;
    NTSTATUS status;
    if (!query) return TRUE;
    status = query(handle, DACL_SECURITY_INFORMATION, (PSECURITY_DESCRIPTOR)buffer, sizeof buffer, &needed);
    if (status == STATUS_BUFFER_TOO_SMALL) return TRUE;
    if (!NT_SUCCESS(status)) return TRUE;
    if (!NT_SUCCESS(RtlGetDaclSecurityDescriptor((PSECURITY_DESCRIPTOR)buffer, &present, &dacl, &defaulted)))
        return TRUE;
    return present && dacl != NULL;
}

/* The SID of the user whose process is calling, in paged pool; NULL when it cannot be read. */
static PSID CallerSid(void) {
    PACCESS_TOKEN token = PsReferencePrimaryToken(PsGetCurrentProcess());
    PTOKEN_USER user = NULL;
    PSID copy = NULL;
    NTSTATUS status;
    if (!token) return NULL;
    status = SeQueryInformationToken(token, TokenUser, (PVOID*)&user);
    ObDereferenceObject(token);
    if (!NT_SUCCESS(status) || !user) return NULL;
    if (RtlValidSid(user->User.Sid)) {
        ULONG length = RtlLengthSid(user->User.Sid);
        copy = (PSID)ExAllocatePoolWithTag(PagedPool, length, QUIL_SECURITY_TAG);
        if (copy) RtlCopyMemory(copy, user->User.Sid, length);
    }
    ExFreePool(user);
    return copy;
}

static NTSTATUS SetAccessList(HANDLE handle, SetSecurityObjectFn setSecurity, PSID creator) {
    PSID owners[3];
    SECURITY_DESCRIPTOR descriptor;
    PACL acl;
    ULONG aclSize = sizeof(ACL), i;
    NTSTATUS status;

    owners[0] = SeExports->SeLocalSystemSid;
    owners[1] = SeExports->SeAliasAdminsSid;
    owners[2] = creator;
    for (i = 0; i < 3; ++i) aclSize += FIELD_OFFSET(ACCESS_ALLOWED_ACE, SidStart) + RtlLengthSid(owners[i]);
    acl = (PACL)ExAllocatePoolWithTag(PagedPool, aclSize, QUIL_SECURITY_TAG);
    if (!acl) return STATUS_INSUFFICIENT_RESOURCES;
    status = RtlCreateAcl(acl, aclSize, ACL_REVISION);
    for (i = 0; i < 3 && NT_SUCCESS(status); ++i)
        status = RtlAddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, owners[i]);
    if (NT_SUCCESS(status)) status = RtlCreateSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    if (NT_SUCCESS(status)) status = RtlSetDaclSecurityDescriptor(&descriptor, TRUE, acl, FALSE);
    if (NT_SUCCESS(status)) status = setSecurity(handle, DACL_SECURITY_INFORMATION, &descriptor);
    ExFreePool(acl);
    return status;
}

NTSTATUS QuilDiskProtect(PDEVICE_OBJECT device) {
    SetSecurityObjectFn setSecurity = (SetSecurityObjectFn)Routine(L"ZwSetSecurityObject");
    HANDLE handle;
    PSID creator;
    NTSTATUS status;

    if (!setSecurity) return STATUS_NOT_IMPLEMENTED;
    status = ObOpenObjectByPointer(device, OBJ_KERNEL_HANDLE, NULL, WRITE_DAC | READ_CONTROL, NULL, KernelMode,
                                   &handle);
    if (!NT_SUCCESS(status)) return status;
    if (KeepsAccessList(handle)) {
        creator = CallerSid();
        status = creator ? SetAccessList(handle, setSecurity, creator) : STATUS_NO_TOKEN;
        if (creator) ExFreePool(creator);
    }
    ZwClose(handle);
    return status;
}
