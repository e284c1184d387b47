#include "Threads.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <mutex>
#include <system_error>
#include <thread>
#endif

namespace vlr {

#ifdef _WIN32

struct CLock::Impl {
    CRITICAL_SECTION section;
};

CLock::CLock() : impl_(new Impl) { ::InitializeCriticalSection(&impl_->section); }
CLock::~CLock() { ::DeleteCriticalSection(&impl_->section); }
void CLock::Lock() { ::EnterCriticalSection(&impl_->section); }
void CLock::Unlock() { ::LeaveCriticalSection(&impl_->section); }

struct CTask::Impl {
    std::function<bool()> work;
    bool result = false;
    HANDLE thread = nullptr;

    static DWORD WINAPI Main(void* self) {
        Impl* impl = static_cast<Impl*>(self);
        impl->result = impl->work();
        return 0;
    }
};

CTask::CTask(std::function<bool()> work) : impl_(new Impl) {
    impl_->work = std::move(work);
    impl_->thread = ::CreateThread(nullptr, 0, &Impl::Main, impl_.get(), 0, nullptr);
    if (!impl_->thread) impl_->result = impl_->work();
}

bool CTask::Join() {
    if (impl_->thread) {
        ::WaitForSingleObject(impl_->thread, INFINITE);
        ::CloseHandle(impl_->thread);
        impl_->thread = nullptr;
    }
    return impl_->result;
}

#else

struct CLock::Impl {
    std::mutex mutex;
};

CLock::CLock() : impl_(new Impl) {}
CLock::~CLock() = default;
void CLock::Lock() { impl_->mutex.lock(); }
void CLock::Unlock() { impl_->mutex.unlock(); }

struct CTask::Impl {
    std::function<bool()> work;
    bool result = false;
    std::thread thread;
};

CTask::CTask(std::function<bool()> work) : impl_(new Impl) {
    Impl* impl = impl_.get();
    impl->work = std::move(work);
    try {
        impl->thread = std::thread([impl] { impl->result = impl->work(); });
    } catch (const std::system_error&) {
        impl->result = impl->work();
    }
}

bool CTask::Join() {
    if (impl_->thread.joinable()) impl_->thread.join();
    return impl_->result;
}

#endif

CTask::~CTask() { Join(); }

}  // namespace vlr
