#include "HandOffSend.h"

#include <new>

#include "PurgixHandOff.h"

namespace {

// How long a hand-off waits for a Purgix it started (a start-up password may be asked first).
const DWORD kStartWaitMs = 120000;
const DWORD kPollMs = 200;
const UINT kSendTimeoutMs = 10000;

struct PendingHandOff {
    std::string block;
    HANDLE process;
    LONG* pending;
};

DWORD WINAPI WaitAndSend(void* parameter) {
    PendingHandOff* pending = static_cast<PendingHandOff*>(parameter);
    for (DWORD waited = 0; waited < kStartWaitMs; waited += kPollMs) {
        if (HWND purgix = FindPurgix()) {
            // The window exists before the program takes messages; sending waits for that.
            SendHandOff(purgix, kHandOffTag, pending->block);
            break;
        }
        // Purgix ended without a window (a wrong password, for example): nothing to hand over.
        if (::WaitForSingleObject(pending->process, kPollMs) == WAIT_OBJECT_0) break;
    }
    ::CloseHandle(pending->process);
    LONG* count = pending->pending;
    delete pending;
    if (count) ::InterlockedDecrement(count);
    return 0;
}

struct LockvaleSearch {
    const std::string* block;
    bool found;
    bool taken;
};

// Lockvale's own message boxes carry the same class and title as its main dialog: every such
// window is offered the block until one takes it (a message box answers WM_COPYDATA with 0).
BOOL CALLBACK OfferToLockvale(HWND window, LPARAM parameter) {
    LockvaleSearch* search = reinterpret_cast<LockvaleSearch*>(parameter);
    char className[16] = {}, title[16] = {};
    ::GetClassNameA(window, className, sizeof className);
    if (::lstrcmpA(className, kLockvaleDialogClass) != 0) return TRUE;
    ::GetWindowTextA(window, title, sizeof title);
    if (::lstrcmpA(title, kLockvaleTitle) != 0) return TRUE;
    search->found = true;
    search->taken = SendHandOff(window, kMoveInTag, *search->block);
    return search->taken ? FALSE : TRUE;
}

}  // namespace

bool SendHandOff(HWND target, unsigned long tag, const std::string& block) {
    COPYDATASTRUCT copy = {};
    copy.dwData = tag;
    copy.cbData = static_cast<DWORD>(block.size());
    copy.lpData = const_cast<char*>(block.data());
    DWORD_PTR answer = 0;
    return ::SendMessageTimeoutA(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy), SMTO_ABORTIFHUNG,
                                 kSendTimeoutMs, &answer) &&
           answer;
}

HWND FindPurgix() { return ::FindWindowA(kPurgixFrameClass, nullptr); }

bool HandToPurgix(const std::vector<std::string>& paths, const std::string& program, LONG* pending) {
    if (paths.empty()) return false;
    const std::string block = PackHandOff(paths);
    if (block.size() > kHandOffMaxBytes) return false;
    if (HWND purgix = FindPurgix()) return SendHandOff(purgix, kHandOffTag, block);

    std::string commandLine = "\"" + program + "\" /MyLockvale";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process)) {
        return false;
    }
    ::CloseHandle(process.hThread);
    auto* waiting = new (std::nothrow) PendingHandOff{block, process.hProcess, pending};
    if (!waiting) {
        ::CloseHandle(process.hProcess);
        return false;
    }
    if (pending) ::InterlockedIncrement(pending);
    HANDLE thread = ::CreateThread(nullptr, 0, WaitAndSend, waiting, 0, nullptr);
    if (!thread) {
        if (pending) ::InterlockedDecrement(pending);
        ::CloseHandle(process.hProcess);
        delete waiting;
        return false;
    }
    ::CloseHandle(thread);
    return true;
}

LockvaleAnswer HandToLockvale(const std::vector<std::string>& paths) {
    const std::string block = PackHandOff(paths);
    LockvaleSearch search = {&block, false, false};
    if (!paths.empty() && block.size() <= kHandOffMaxBytes) {
        ::EnumWindows(OfferToLockvale, reinterpret_cast<LPARAM>(&search));
    } else {
        search.found = ::FindWindowA(kLockvaleDialogClass, kLockvaleTitle) != nullptr;
    }
    if (search.taken) return LockvaleAnswer::taken;
    return search.found ? LockvaleAnswer::refused : LockvaleAnswer::notRunning;
}
