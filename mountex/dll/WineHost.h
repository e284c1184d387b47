#pragma once
// Runs mountex-host, the native helper that carries the secret disk when this library runs under
// Wine, and waits for its answer.
//
// Wine starts a Linux program from CreateProcess but gives no process handle and no exit code, so
// the helper reports through a status file this side names and polls (see mountex/host/
// HostCommands.h); its process id there lets this side notice a helper that died without a word.
// The password travels on the helper's standard input, a connected loopback socket: Wine hands a
// Linux child the real socket of a handle given as its standard input (an anonymous pipe it
// replaces with /dev/null), and a socket's bytes live only in kernel buffers, never on a command
// line, in the environment or in a file.
// Wine does so only for a child that shares its parent's console or is detached from any. A child
// that is to get a console (or a process group) of its own starts in a new session with /dev/null
// as standard input and output, whatever handles it was given, and without DETACHED_PROCESS every
// child of a process that has no console (a GUI program such as Lockvale) is one. So the helper is
// always started detached, which works from GUI and console callers alike.
#include <windows.h>

#include <string>

namespace mountex {

// True when this process runs under Wine.
bool UnderWine();

// Unix path of a Windows path (ANSI, full or relative) under Wine; empty on failure.
std::string UnixPath(const char* windowsPath);
// Windows path (wide) of a Unix path under Wine; empty on failure.
std::wstring WindowsPath(const std::string& unixPath);

// A password from the caller's 17-byte buffer: 4 to 16 characters before the first zero.
class CPassword {
public:
    // Reads at most 17 bytes of `buffer`; Ok() is false for a null pointer or a bad length.
    explicit CPassword(const char* buffer);
    ~CPassword();
    CPassword(const CPassword&) = delete;
    CPassword& operator=(const CPassword&) = delete;

    bool Ok() const { return size_ >= 4 && size_ <= 16; }
    const char* Data() const { return text_; }
    size_t Size() const { return size_; }

private:
    char text_[18] = {};
    size_t size_ = 0;
};

class CWineHost {
public:
    // The helper is the file "mountex-host" beside `module`.
    explicit CWineHost(HMODULE module);

    // The helper's final word: state ready, error or unmounted, and the result name.
    struct Answer {
        std::string state;
        std::string result;
        bool Ok(const char* wanted) const { return state == wanted && result == "ok"; }
    };

    // Runs the helper with `args` (Unix words, UTF-8) and, when `password` is given, that password on
    // its standard input. Returns false with `answer` empty when the helper could not be started or
    // ended without a final state.
    bool Run(const std::string* args, size_t count, const CPassword* password, Answer& answer);

private:
    std::wstring helper_;
};

}  // namespace mountex
