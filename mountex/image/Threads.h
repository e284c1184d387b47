#pragma once
// Locks and worker threads for the image layer and the mount library. The Windows build uses the
// MinGW compilers whose C++ runtime has no threads (a runtime with them imports functions that
// Windows 2000 lacks), so these sit on the system's own primitives there and on the standard
// library elsewhere.

#include <functional>
#include <memory>

namespace vlr {

class CLock {
public:
    CLock();
    ~CLock();
    CLock(const CLock&) = delete;
    CLock& operator=(const CLock&) = delete;
    void Lock();
    void Unlock();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Holds a lock for its scope.
class CLockHold {
public:
    explicit CLockHold(CLock& lock) : lock_(lock) { lock_.Lock(); }
    ~CLockHold() { lock_.Unlock(); }
    CLockHold(const CLockHold&) = delete;
    CLockHold& operator=(const CLockHold&) = delete;

private:
    CLock& lock_;
};

// Runs `work` on a thread of its own from construction on. Join() waits for it and gives its result;
// the destructor joins a task nobody joined. A thread that cannot be started runs `work` at once on
// the caller's thread, so the result is the same, only not overlapped.
class CTask {
public:
    explicit CTask(std::function<bool()> work);
    ~CTask();
    CTask(const CTask&) = delete;
    CTask& operator=(const CTask&) = delete;
    bool Join();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace vlr
