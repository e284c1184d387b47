#include "WineDisks.h"

#include <string>

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

bool MakeFolder(const std::string& unixPath) {
    const std::wstring path = WindowsPath(unixPath);
    return !path.empty() && (::CreateDirectoryW(path.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
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

// Gives the folder of a disk just mounted there the letter; a disk that cannot have it is unmounted.
bool GiveLetter(CWineHost& host, char letter, const std::string& point) {
    if (DefineUnixDrive(letter, point)) return true;
    CWineHost::Answer answer;
    Unmount(host, point, answer);
    return false;
}

std::string WithoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace

bool WineCreateImage(HMODULE module, char letter, const char* imagePath, const CPassword& password, UINT sizeMB) {
    const std::string image = UnixPath(imagePath);
    const std::string point = PrepareMountPoint(letter);
    if (image.empty() || point.empty()) return false;
    CWineHost host(module);
    // The helper creates, formats and mounts in one run; when it fails it leaves no new image behind
    // (and an image it refused, such as a mounted one, untouched).
    const std::string args[] = {"create", image, std::to_string(sizeMB), point};
    CWineHost::Answer answer;
    if (!host.Run(args, 4, &password, answer) || !answer.Ok("ready")) return false;
    if (GiveLetter(host, letter, point)) return true;
    // Mounted but given no letter: the disk the caller is told failed must not stay behind either.
    ::DeleteFileA(imagePath);
    return false;
}

bool WineMountDisk(HMODULE module, char letter, const char* imagePath, const CPassword& password) {
    const std::string image = UnixPath(imagePath);
    const std::string point = PrepareMountPoint(letter);
    if (image.empty() || point.empty()) return false;
    CWineHost host(module);
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
    // Files on the disk are still open (or the helper failed): the disk stays mounted, so the
    // letter comes back and the user keeps reaching it. A disk that is no longer served keeps
    // no letter.
    if (answer.result != "not-mounted") DefineUnixDrive(letter, point);
    return false;
}

}  // namespace mountex
