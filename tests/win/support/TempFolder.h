#pragma once
// Real files for the Windows tests: a fresh folder per test under the temp folder, and byte-exact
// file access that does not go through the code under test.
#include <windows.h>

#include <string>

// A fresh folder under the temp folder; it and everything below it is removed at the end of the test.
class TempFolder {
public:
    explicit TempFolder(const std::string& tag = "test");
    ~TempFolder() { RemoveTree(path_); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

    // Removes `path` and everything below it, attributes cleared first; links are removed, never entered.
    static void RemoveTree(const std::string& path);

private:
    std::string path_;
};

// The whole content of a file, or a text that names the failure (no file compares equal to it by
// accident); and a file made of exactly `bytes`.
std::string ReadBytes(const std::string& path);
bool WriteBytes(const std::string& path, const std::string& bytes);
