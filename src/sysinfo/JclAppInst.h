// The single-instance guard: a registry of the running instances of one
// executable, shared through named kernel objects, with the cross-process
// lock and memory-mapping wrappers it rests on, and the operation that brings
// a window to the front.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sysinfo/JclAppInstTable.h"
#include "sysinfo/JclWin32Error.h"
#include "widgets/Handle.h"

// The class of the one top-level application window every instance owns;
// instances find each other's window by it (at most 13 characters).
inline constexpr char ApplicationWindowClassName[] = "OvrelleMain";

// How long this program waits for another program's window to answer: a
// program that hangs, or is stopped, must not hang this one with it.
inline constexpr DWORD AnswerTimeoutMs = 3000;

// The calls that wait for another program's window or tie this thread's
// input to its thread. A test stands in for them to play a program that
// Windows counts as hung (Wine counts a thread so only after five seconds
// without reading its messages).
struct TWindowMessageApi {
    decltype(&::SendMessageTimeoutW) SendMessageTimeoutW;
    decltype(&::IsHungAppWindow) IsHungAppWindow;
    decltype(&::AttachThreadInput) AttachThreadInput;
};
TWindowMessageApi& WindowMessageApi();
// The system's own functions, for restoring the table.
TWindowMessageApi SystemWindowMessageApi();

// A waitable kernel object. The handle is closed on destruction.
class TJclDispatcherObject {
public:
    virtual ~TJclDispatcherObject() = default;
    TJclDispatcherObject(const TJclDispatcherObject&) = delete;
    TJclDispatcherObject& operator=(const TJclDispatcherObject&) = delete;

    HANDLE Handle() const noexcept { return handle_.get(); }
    const std::string& Name() const noexcept { return name_; }
    // A named object of that name existed before this one was created.
    bool AlreadyExisted() const noexcept { return alreadyExisted_; }

    // WaitForSingleObject's result.
    DWORD WaitFor(DWORD milliseconds) const;
    DWORD WaitForever() const { return WaitFor(INFINITE); }

protected:
    TJclDispatcherObject() = default;
    // Takes over a handle just returned by a Create... call.
    void Assign(HANDLE handle, const std::string& name, bool alreadyExisted);

private:
    std::string name_;
    widgets::UniqueKernelHandle handle_;
    bool alreadyExisted_ = false;
};

class TJclEvent : public TJclDispatcherObject {
public:
    // An empty name makes an unnamed event. Raises EJclEventError.
    TJclEvent(LPSECURITY_ATTRIBUTES security, bool manualReset, bool initialState, const std::string& name);
    bool Signal();
};

// The lock's state, shared by every process that opens the same lock name.
struct OptexShared {
    volatile LONG SpinCount;
    volatile LONG LockCount;  // owner + nested acquisitions + waiters
    volatile DWORD OwnerThreadId;
    volatile LONG RecursionCount;
};
static_assert(sizeof(OptexShared) == 16, "the lock state is shared with other builds");

// A lock that is recursive per thread and works across processes: it spins
// on the shared state first and blocks on an auto-reset event only when the
// spinning fails. An unnamed lock is private to the process.
class TJclOptex {
public:
    explicit TJclOptex(const std::string& name = {}, int spinCount = 4000, LPSECURITY_ATTRIBUTES security = nullptr);
    ~TJclOptex();
    TJclOptex(const TJclOptex&) = delete;
    TJclOptex& operator=(const TJclOptex&) = delete;

    void Acquire();
    bool TryAcquire();
    // Tries again until the time is up, never waiting on the event: an owner
    // that is stopped or hung does not hold the caller for good.
    bool TryAcquireFor(DWORD milliseconds);
    // Only by the owning thread, once per acquisition.
    void Release();
    // A negative count means 4000; a single processor keeps the stored count.
    void ApplySpinCount(int spinCount);

    const std::string& Name() const noexcept { return name_; }
    const OptexShared& Shared() const noexcept { return *shared_; }

private:
    std::string name_;
    std::unique_ptr<TJclEvent> event_;
    widgets::UniqueKernelHandle sharedMapping_;
    widgets::UniqueMappedView sharedView_;
    OptexShared privateShared_{};
    OptexShared* shared_ = &privateShared_;
};

// Holds a lock for the life of a scope, when it comes within the time.
class TJclOptexGuard {
public:
    TJclOptexGuard(TJclOptex& optex, DWORD milliseconds)
        : optex_(optex), held_(optex.TryAcquireFor(milliseconds)) {}
    ~TJclOptexGuard() {
        if (held_) optex_.Release();
    }
    TJclOptexGuard(const TJclOptexGuard&) = delete;
    TJclOptexGuard& operator=(const TJclOptexGuard&) = delete;
    bool Held() const noexcept { return held_; }

private:
    TJclOptex& optex_;
    bool held_;
};

class TJclCustomFileMapping;

// One mapped view of a mapping, owned by that mapping.
class TJclFileMappingView {
public:
    // Maps a view and hands it to the mapping, which destroys it with itself.
    // Raises EJclFileMappingViewError (also for a null mapping).
    static TJclFileMappingView& Create(TJclCustomFileMapping* mapping, DWORD access, SIZE_T size,
                                       std::uint64_t offset);
    TJclFileMappingView(const TJclFileMappingView&) = delete;
    TJclFileMappingView& operator=(const TJclFileMappingView&) = delete;

    void* Memory() const noexcept { return view_.get(); }
    SIZE_T Size() const noexcept { return size_; }
    TJclCustomFileMapping& FileMapping() const noexcept { return mapping_; }

private:
    TJclFileMappingView(TJclCustomFileMapping& mapping, void* view, SIZE_T size);

    TJclCustomFileMapping& mapping_;
    widgets::UniqueMappedView view_;
    SIZE_T size_;
};

// A named memory block. Destruction unmaps its views, last first, then
// closes the mapping.
class TJclCustomFileMapping {
public:
    virtual ~TJclCustomFileMapping();
    TJclCustomFileMapping(const TJclCustomFileMapping&) = delete;
    TJclCustomFileMapping& operator=(const TJclCustomFileMapping&) = delete;

    HANDLE Handle() const noexcept { return handle_.get(); }
    const std::string& Name() const noexcept { return name_; }
    bool AlreadyExisted() const noexcept { return alreadyExisted_; }
    int ViewCount() const noexcept { return static_cast<int>(views_.size()); }
    TJclFileMappingView& Views(int index) const { return *views_.at(static_cast<std::size_t>(index)); }

protected:
    TJclCustomFileMapping() = default;
    // Raises EJclFileMappingError when the system gives no mapping.
    void CreateMapping(HANDLE file, LPSECURITY_ATTRIBUTES security, DWORD protect, std::uint64_t maximumSize,
                       const std::string& name);

private:
    friend class TJclFileMappingView;

    std::string name_;
    widgets::UniqueKernelHandle handle_;
    bool alreadyExisted_ = false;
    std::vector<std::unique_ptr<TJclFileMappingView>> views_;
};

// A memory block backed by the paging file.
class TJclSwapFileMapping : public TJclCustomFileMapping {
public:
    TJclSwapFileMapping(const std::string& name, DWORD protect, std::uint64_t maximumSize,
                        LPSECURITY_ATTRIBUTES security = nullptr);
};

// The registry of the running instances of this executable.
class TJclAppInstances {
public:
    static constexpr WPARAM InstanceCreated = 1;
    static constexpr WPARAM InstanceDestroyed = 2;

    // Named after the running executable's path. Objects that another
    // instance made and that refuse this process (an elevated instance's, to
    // a start of the same user without elevation), or a lock that another
    // holds beyond AnswerTimeoutMs (stopped), leave it without a table:
    // Refused() says so, and another instance is taken to run. No operation
    // waits longer for the lock.
    TJclAppInstances();
    // Named after another base, for a registry apart from the program's own.
    explicit TJclAppInstances(const std::string& nameBase);
    // Unregisters this process.
    ~TJclAppInstances();
    TJclAppInstances(const TJclAppInstances&) = delete;
    TJclAppInstances& operator=(const TJclAppInstances&) = delete;

    // "JCL" and the upper-cased path, with every backslash an underscore:
    // all the kernel objects of the registry are named from it. When a name
    // would pass the system's limits, "JCL#" and a hash of that text instead.
    static std::string NameBaseOf(const std::string& exePath);
    // The full path of the running executable.
    static std::string ExecutablePath();

    // Appends this process; true when it is within the limit. A full table
    // refuses without appending.
    bool RegisterInstance(std::uint16_t maxInstances);
    void UnregisterInstance();
    // Sends the notification message to every registered instance's windows.
    void BroadcastInstanceEvent(std::int32_t code, std::int32_t value);
    // 0 when index is not a registered slot.
    std::uint32_t InstanceProcessId(std::int32_t index);
    // How many instances are registered.
    int InstanceCount();
    static HWND FindApplicationWindow(std::uint32_t processId);
    bool ActivateInstance(std::int32_t index);
    // Returns only when this instance may run; otherwise activates the
    // first running instance that answers and ends the process with exit
    // code 0. When the running ones have windows and none answers within
    // AnswerTimeoutMs (hung, or stopped), this one runs beside them.
    void EnsureInstanceLimit(std::uint16_t maxInstances);
    void EnsureSingleInstance() { EnsureInstanceLimit(1); }
    bool Refused() const noexcept { return table_ == nullptr; }
    // Lets the notification message reach the window from instances of a
    // lower integrity level (this one elevated, they not).
    void AllowInstanceMessage(HWND window) const;

    // Restores a minimised window, then forces it to the foreground. A
    // window that does not answer is not waited for beyond AnswerTimeoutMs.
    static bool BringWindowToFront(HWND window);
    // Never joins this thread's input to that of a hung window's thread.
    static bool ForceForegroundWindow(HWND window);
    // The window handles a message within AnswerTimeoutMs, or the system
    // refuses to pass this process's messages to it (a window of a higher
    // integrity level: it runs).
    static bool Answers(HWND window);

    const std::string& NameBase() const noexcept { return nameBase_; }
    UINT MessageID() const noexcept { return messageId_; }

private:
    // The application windows of the other registered instances, in order.
    std::vector<HWND> InstanceWindows();
    // Without a table: the application windows of other processes that run
    // this executable file.
    static std::vector<HWND> WindowsOfThisFile();
    // Goes on without the table, as when refused.
    void LeaveTable();

    DWORD processId_;
    std::string nameBase_;
    std::unique_ptr<TJclSwapFileMapping> mapping_;
    InstanceTable* table_ = nullptr;  // the view of mapping_; null when refused
    UINT messageId_ = 0;
    std::unique_ptr<TJclOptex> optex_;
};

// The process's one registry, created on the first call and destroyed at
// program end (which unregisters the instance).
TJclAppInstances& AppInstances();
