#pragma once
// A lock between the threads of one process, over the system's critical section (the programs are
// built without the C++ runtime's threads: a runtime with them imports functions that older
// systems lack).
#include <windows.h>

class CCriticalSection {
public:
    CCriticalSection() { ::InitializeCriticalSection(&section_); }
    ~CCriticalSection() { ::DeleteCriticalSection(&section_); }
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;
    void Lock() { ::EnterCriticalSection(&section_); }
    void Unlock() { ::LeaveCriticalSection(&section_); }

    // Holds the lock for its scope.
    class Hold {
    public:
        explicit Hold(CCriticalSection& lock) : lock_(lock) { lock_.Lock(); }
        ~Hold() { lock_.Unlock(); }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        CCriticalSection& lock_;
    };

private:
    CRITICAL_SECTION section_;
};
