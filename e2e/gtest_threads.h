#pragma once
// The Windows tree builds with MinGW's win32 thread model, so that the programs link no
// winpthreads (it imports what Windows 95 lacks). Its C++ library has no std::mutex nor
// std::condition_variable, and GoogleTest names both, for a Notification it uses only in
// its own thread tests. This gives it the two, on a critical section and an event, for
// the test programs alone; the programs themselves never include it.
#include <windows.h>

#include <condition_variable>
#include <mutex>

namespace std {  // NOLINT(cert-dcl58-cpp): filling in what this library leaves out

class mutex {
  public:
    mutex() { InitializeCriticalSection(&section_); }
    ~mutex() { DeleteCriticalSection(&section_); }
    mutex(const mutex&) = delete;
    mutex& operator=(const mutex&) = delete;
    void lock() { EnterCriticalSection(&section_); }
    void unlock() { LeaveCriticalSection(&section_); }

  private:
    CRITICAL_SECTION section_;
};

// Enough for a flag set once: notify_all wakes every waiter for good.
class condition_variable {
  public:
    condition_variable() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~condition_variable() { CloseHandle(event_); }
    condition_variable(const condition_variable&) = delete;
    condition_variable& operator=(const condition_variable&) = delete;
    void notify_all() { SetEvent(event_); }
    template <typename Predicate>
    void wait(unique_lock<mutex>& lock, Predicate ready) {
        while (!ready()) {
            lock.unlock();
            WaitForSingleObject(event_, INFINITE);
            lock.lock();
        }
    }

  private:
    HANDLE event_;
};

}  // namespace std
