#pragma once
// Real files for the main.ini tests: a fresh temp folder per test and byte-exact file access that
// does not go through the code under test.
#include <windows.h>

#include <string>

namespace initest {

// A fresh folder under the temp folder, removed with its files at the end of the test.
class TempFolder {
public:
    TempFolder() {
        static int serial = 0;
        char temp[MAX_PATH];
        ::GetTempPathA(MAX_PATH, temp);
        path_ = std::string(temp) + "purgix-ini-" + std::to_string(::GetCurrentProcessId()) + "-" +
                std::to_string(++serial);
        ::CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~TempFolder() {
        WIN32_FIND_DATAA entry;
        HANDLE search = ::FindFirstFileA((path_ + "\\*").c_str(), &entry);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                std::string child = path_ + "\\" + entry.cFileName;
                ::SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ::DeleteFileA(child.c_str());
            } while (::FindNextFileA(search, &entry));
            ::FindClose(search);
        }
        ::RemoveDirectoryA(path_.c_str());
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

inline bool WriteBytes(const std::string& path, const std::string& bytes) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
    return written == bytes.size();
}

// The file's bytes, or a text that names the failure (no file compares equal to it by accident).
inline std::string ReadBytes(const std::string& path) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<cannot open " + path + ">";
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
    ::CloseHandle(file);
    return bytes;
}

inline bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A main.ini in the installed layout with values of the test's own choosing, CR LF ended.
inline std::string SampleIni() {
    return "[advance]\r\n"
           "radio=3\r\n"
           "SaveList=1\r\n"
           "BufferSize=1\r\n"
           "EraserTimes=4\r\n"
           "wipe1=0\r\n"
           "wipe2=1\r\n"
           "wipe3=0\r\n"
           "wipe4=1\r\n"
           "wipe5=0\r\n"
           "wipe6=0\r\n"
           "log=1\r\n"
           "skip1=1\r\n"
           "skip2=0\r\n"
           "skip3=1\r\n"
           "skip4=0\r\n"
           "skip5=1\r\n"
           "skip6=0\r\n";
}

// `text` with its first "\r\n" + from + "\r\n" (or `from` at the very start) replaced.
inline std::string WithLine(std::string text, const std::string& from, const std::string& to) {
    if (text.compare(0, from.size() + 2, from + "\r\n") == 0) return text.replace(0, from.size(), to);
    size_t at = text.find("\r\n" + from + "\r\n");
    if (at == std::string::npos) return "<no line " + from + ">";
    return text.replace(at + 2, from.size(), to);
}

}  // namespace initest
