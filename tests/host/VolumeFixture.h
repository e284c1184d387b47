#pragma once
// Helpers for the tests that build volume images with the real tools and compare the scanner
// with The Sleuth Kit: a private temporary folder, running a command, file bytes, GBK text.
#include <iconv.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fixture {

inline std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs `command` with /bin/sh; returns its standard output and sets `status` to its exit code.
inline std::string Sh(const std::string& command, int* status = nullptr) {
    std::string out;
    std::FILE* p = popen(command.c_str(), "r");
    if (!p) {
        if (status) *status = -1;
        return out;
    }
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int raw = pclose(p);
    if (status) *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return out;
}

class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/purgix-fs-XXXXXX";
        const char* made = mkdtemp(pattern);
        path = made ? made : "";
    }
    ~TempDir() {
        if (!path.empty()) Sh("rm -rf " + Quote(path));
    }
    std::string path;
};

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string Convert(const std::string& text, const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    std::string out(text.size() * 4 + 8, '\0');
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char* o = &out[0];
    size_t outLeft = out.size();
    iconv(cd, &in, &inLeft, &o, &outLeft);
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}
inline std::string Gbk(const std::string& utf8) { return Convert(utf8, "GBK", "UTF-8"); }
inline std::string Utf16(const std::string& utf8) { return Convert(utf8, "UTF-16LE", "UTF-8"); }

inline bool Contains(const std::vector<uint8_t>& hay, const std::string& needle) {
    return memmem(hay.data(), hay.size(), needle.data(), needle.size()) != nullptr;
}

// `bytes` with everything outside printable ASCII as \xNN, for failure messages.
inline std::string Printable(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

inline std::vector<std::string> Split(const std::string& line, char sep) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t end = line.find(sep, start);
        parts.push_back(line.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

inline std::string FixtureScript(const char* name) { return std::string(PURGIX_SOURCE_DIR) + "/tests/fixtures/" + name; }

}  // namespace fixture
