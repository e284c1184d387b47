#include "WineDisks.h"

#include <string>
#include <vector>

#include "CurrentUser.h"
#include "WineMountManager.h"

namespace mountex {

namespace {

// "<prefix>/mountex/<letter>", from where the prefix keeps its drive links. Empty when unknown.
std::string MountPointFor(char letter) {
    const std::string drive = UnixPath("C:\\");
    const size_t links = drive.rfind("/dosdevices/");
    if (links == std::string::npos) return std::string();
    return drive.substr(0, links) + "/mountex/" + static_cast<char>(letter | 0x20);
}

// Gives the folder an access list that lets in this user only, replacing whatever it had. Wine turns
// it into the folder's Unix mode: no rights for other users (the helper narrows the mount point
// itself further, to 0700). A disk is mounted on these folders, and what lands in them while no disk
// is there must not be open to other users either.
bool MakePrivate(const std::wstring& path) {
    std::vector<BYTE> user;
    const PSID sid = CurrentUserSid(user);
    if (!sid) return false;
    std::vector<BYTE> acl(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + ::GetLengthSid(sid));
    ACL* list = reinterpret_cast<ACL*>(acl.data());
    SECURITY_DESCRIPTOR descriptor;
    return ::InitializeAcl(list, static_cast<DWORD>(acl.size()), ACL_REVISION) &&
           ::AddAccessAllowedAce(list, ACL_REVISION, FILE_ALL_ACCESS, sid) &&
           ::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
           ::SetSecurityDescriptorDacl(&descriptor, TRUE, list, FALSE) &&
           ::SetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, &descriptor);
}

bool MakeFolder(const std::string& unixPath) {
    const std::wstring path = WindowsPath(unixPath);
    return !path.empty() && (::CreateDirectoryW(path.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS) &&
           MakePrivate(path);
}

bool Unmount(CWineHost& host, const std::string& mountPoint, CWineHost::Answer& answer) {
    const std::string args[] = {"unmount", mountPoint};
    return host.Run(args, 2, nullptr, answer) && answer.Ok("unmounted");
}

// The letter's folder, made when missing; empty on failure.
std::string PrepareMountPoint(char letter) {
    const std::string point = MountPointFor(letter);
    if (point.empty() || !MakeFolder(point.substr(0, point.rfind('/'))) || !MakeFolder(point)) return std::string();
    return point;
}

// Whether the helper serves a live disk at the folder.
bool Served(CWineHost& host, const std::string& mountPoint) {
    const std::string args[] = {"check", mountPoint};
    CWineHost::Answer answer;
    return host.Run(args, 2, nullptr, answer) && answer.Ok("ready");
}

std::string WithoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// A letter this library gave to a disk whose server has gone (killed, or the machine restarted) still
// leads to the disk's folder, where whatever a program saves would land on the host disk
// unencrypted once the dead mount is gone. Such letters are taken away before anything is mounted.
void ClearStaleLetters(CWineHost& host) {
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        const std::string point = MountPointFor(letter);
        std::string current;
        if (point.empty() || !QueryUnixDrive(letter, current) || WithoutTrailingSlash(current) != point) continue;
        if (!Served(host, point)) RemoveUnixDrive(letter);
    }
}

// Gives the folder of a disk just mounted there the letter; a disk that cannot have it is unmounted.
bool GiveLetter(CWineHost& host, char letter, const std::string& point) {
    if (DefineUnixDrive(letter, point)) return true;
    CWineHost::Answer answer;
    Unmount(host, point, answer);
    return false;
}

}  // namespace

bool WineCreateImage(HMODULE module, char letter, const char* imagePath, const CPassword& password, UINT sizeMB) {
    const std::string image = UnixPath(imagePath);
    const std::string point = PrepareMountPoint(letter);
    if (image.empty() || point.empty()) return false;
    CWineHost host(module);
    ClearStaleLetters(host);
    // The helper creates, formats and mounts in one run; when it fails it leaves no new image behind
    // and the image it was to replace untouched.
    const std::string args[] = {"create", image, std::to_string(sizeMB), point};
    CWineHost::Answer answer;
    if (!host.Run(args, 4, &password, answer) || !answer.Ok("ready")) return false;
    // Mounted but given no letter: the disk is closed again. The new image has already replaced the
    // old one by then, so it stays: deleting it would leave the user nothing at all.
    return GiveLetter(host, letter, point);
}

bool WineMountDisk(HMODULE module, char letter, const char* imagePath, const CPassword& password) {
    const std::string image = UnixPath(imagePath);
    const std::string point = PrepareMountPoint(letter);
    if (image.empty() || point.empty()) return false;
    CWineHost host(module);
    ClearStaleLetters(host);
    const std::string args[] = {"mount", image, point};
    CWineHost::Answer answer;
    return host.Run(args, 3, &password, answer) && answer.Ok("ready") && GiveLetter(host, letter, point);
}

bool WineDisMountDisk(HMODULE module, char letter) {
    // Only a letter that leads to this library's folder for it is a disk of ours.
    const std::string point = MountPointFor(letter);
    std::string current;
    if (point.empty() || !QueryUnixDrive(letter, current) || WithoutTrailingSlash(current) != point) return false;
    // The letter goes first, so no program opens anything new on the disk while it closes.
    if (!RemoveUnixDrive(letter)) return false;
    CWineHost host(module);
    CWineHost::Answer answer;
    if (Unmount(host, point, answer)) return true;
    // Files on the disk are still open: the disk stays mounted, so the letter comes back and the
    // user keeps reaching it. Any other failure may have unmounted the disk already (the helper
    // gives up waiting for a slow write-back after the unmount itself succeeded), and a letter on
    // the bare folder would take files unencrypted: it is not given back.
    if (answer.result == "busy") DefineUnixDrive(letter, point);
    return false;
}

}  // namespace mountex
