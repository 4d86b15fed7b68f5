#include "sysinfo/JclAppInst.h"

#include "widgets/SystemLibrary.h"
#include "widgets/Utf16.h"

#include <sddl.h>

#include <cstdlib>

using widgets::Utf16;
using widgets::Utf8;
using widgets::Utf8UpToNul;

TWindowMessageApi SystemWindowMessageApi() { return {&::SendMessageTimeoutW, &::IsHungAppWindow, &::AttachThreadInput}; }

TWindowMessageApi& WindowMessageApi() {
    static TWindowMessageApi api = SystemWindowMessageApi();
    return api;
}

// ---------------------------------------------------------------- dispatcher

DWORD TJclDispatcherObject::WaitFor(DWORD milliseconds) const {
    return WaitForSingleObject(handle_.get(), milliseconds);
}

void TJclDispatcherObject::Assign(HANDLE handle, const std::string& name, bool alreadyExisted) {
    handle_.reset(handle);
    name_ = name;
    alreadyExisted_ = alreadyExisted;
}

TJclEvent::TJclEvent(LPSECURITY_ATTRIBUTES security, bool manualReset, bool initialState,
                     const std::string& name) {
    std::wstring wideName = Utf16(name);
    HANDLE handle = CreateEventW(security, manualReset, initialState, name.empty() ? nullptr : wideName.c_str());
    if (!handle) {
        DWORD code = GetLastError();
        throw EJclEventError("Failed to create event", code);
    }
    Assign(handle, name, GetLastError() == ERROR_ALREADY_EXISTS);
}

bool TJclEvent::Signal() { return SetEvent(Handle()) != FALSE; }

// ---------------------------------------------------------------- optex

TJclOptex::TJclOptex(const std::string& name, int spinCount, LPSECURITY_ATTRIBUTES security) : name_(name) {
    if (name.empty()) {
        event_ = std::make_unique<TJclEvent>(nullptr, false, false, std::string());
    } else {
        event_ = std::make_unique<TJclEvent>(security, false, false, "Optex_Event_" + name);
        // A new block reads as zeros, which is the free state; an existing
        // one is taken as it is.
        sharedMapping_.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, security, PAGE_READWRITE, 0,
                                                sizeof(OptexShared), Utf16("Optex_MMF_" + name).c_str()));
        if (!sharedMapping_) {
            DWORD code = GetLastError();
            throw EJclFileMappingError("Failed to create FileMapping", code);
        }
        sharedView_.reset(MapViewOfFile(sharedMapping_.get(), FILE_MAP_WRITE, 0, 0, 0));
        if (!sharedView_) {
            DWORD code = GetLastError();
            throw EJclFileMappingViewError("Failed to create FileMappingView", code);
        }
        shared_ = static_cast<OptexShared*>(sharedView_.get());
    }
    ApplySpinCount(spinCount);
}

// The event goes first, then the shared state: not the members' own order.
TJclOptex::~TJclOptex() {
    event_.reset();
    sharedView_.reset();
    sharedMapping_.reset();
}

void TJclOptex::ApplySpinCount(int spinCount) {
    if (spinCount < 0) spinCount = 4000;
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    // Spinning only pays when the owner can run on another processor.
    if (info.dwNumberOfProcessors >= 2) InterlockedExchange(&shared_->SpinCount, spinCount);
}

bool TJclOptex::TryAcquire() {
    DWORD self = GetCurrentThreadId();
    LONG attemptsLeft = shared_->SpinCount;
    for (;;) {
        if (InterlockedCompareExchange(&shared_->LockCount, 1, 0) == 0) {
            shared_->OwnerThreadId = self;
            shared_->RecursionCount = 1;
            return true;
        }
        if (shared_->OwnerThreadId == self) {
            InterlockedIncrement(&shared_->LockCount);
            shared_->RecursionCount = shared_->RecursionCount + 1;
            return true;
        }
        if (--attemptsLeft <= 0) return false;
    }
}

bool TJclOptex::TryAcquireFor(DWORD milliseconds) {
    DWORD start = GetTickCount();
    while (!TryAcquire()) {
        if (GetTickCount() - start >= milliseconds) return false;
        Sleep(1);
    }
    return true;
}

void TJclOptex::Acquire() {
    if (TryAcquire()) return;
    DWORD self = GetCurrentThreadId();
    if (InterlockedIncrement(&shared_->LockCount) == 1) {
        shared_->OwnerThreadId = self;
        shared_->RecursionCount = 1;
    } else if (shared_->OwnerThreadId == self) {
        shared_->RecursionCount = shared_->RecursionCount + 1;
    } else {
        // Counted in LockCount already, so the owner's release signals us.
        event_->WaitForever();
        shared_->OwnerThreadId = self;
        shared_->RecursionCount = 1;
    }
}

void TJclOptex::Release() {
    shared_->RecursionCount = shared_->RecursionCount - 1;
    if (shared_->RecursionCount > 0) {
        InterlockedDecrement(&shared_->LockCount);
        return;
    }
    shared_->OwnerThreadId = 0;
    if (InterlockedDecrement(&shared_->LockCount) > 0) event_->Signal();
}

// ---------------------------------------------------------------- file mapping

TJclFileMappingView::TJclFileMappingView(TJclCustomFileMapping& mapping, void* view, SIZE_T size)
    : mapping_(mapping), view_(view), size_(size) {}

TJclFileMappingView& TJclFileMappingView::Create(TJclCustomFileMapping* mapping, DWORD access, SIZE_T size,
                                                 std::uint64_t offset) {
    if (!mapping)
        throw EJclFileMappingViewError("FileMap argument of TJclFileMappingView constructor cannot be nil");
    void* view = MapViewOfFile(mapping->Handle(), access, static_cast<DWORD>(offset >> 32),
                               static_cast<DWORD>(offset), size);
    if (!view) {
        DWORD code = GetLastError();
        throw EJclFileMappingViewError("Failed to create FileMappingView", code);
    }
    if (size == 0) {
        // The whole rest of the block: the region the system reserved for it.
        MEMORY_BASIC_INFORMATION region{};
        if (VirtualQuery(view, &region, sizeof region)) size = region.RegionSize;
    }
    // Not make_unique: the constructor is private to the mapping's friends.
    std::unique_ptr<TJclFileMappingView> owned(new TJclFileMappingView(*mapping, view, size));
    mapping->views_.push_back(std::move(owned));
    return *mapping->views_.back();
}

TJclCustomFileMapping::~TJclCustomFileMapping() {
    while (!views_.empty()) views_.pop_back();
}

void TJclCustomFileMapping::CreateMapping(HANDLE file, LPSECURITY_ATTRIBUTES security, DWORD protect,
                                          std::uint64_t maximumSize, const std::string& name) {
    std::wstring wideName = Utf16(name);
    HANDLE handle = CreateFileMappingW(file, security, protect, static_cast<DWORD>(maximumSize >> 32),
                                       static_cast<DWORD>(maximumSize), name.empty() ? nullptr : wideName.c_str());
    if (!handle) {
        DWORD code = GetLastError();
        throw EJclFileMappingError("Failed to create FileMapping", code);
    }
    alreadyExisted_ = GetLastError() == ERROR_ALREADY_EXISTS;
    handle_.reset(handle);
    name_ = name;
}

TJclSwapFileMapping::TJclSwapFileMapping(const std::string& name, DWORD protect, std::uint64_t maximumSize,
                                         LPSECURITY_ATTRIBUTES security) {
    CreateMapping(INVALID_HANDLE_VALUE, security, protect, maximumSize, name);
}

// ---------------------------------------------------------------- instances

namespace {

// An access list that gives this user and the system every right on the
// instance objects. Without it, objects that an elevated instance made
// carry its token's default list (administrators and the system), which a
// start of the same user without elevation may not open.
class TInstanceObjectSecurity {
public:
    TInstanceObjectSecurity() {
        HANDLE rawToken = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &rawToken)) return;
        widgets::UniqueKernelHandle token(rawToken);
        DWORD size = 0;
        GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
        std::vector<BYTE> user(size ? size : 1);
        wchar_t* sid = nullptr;
        if (!GetTokenInformation(token.get(), TokenUser, user.data(), size, &size) ||
            !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &sid))
            return;
        std::wstring list = L"D:(A;;GA;;;" + std::wstring(sid) + L")(A;;GA;;;SY)";
        LocalFree(sid);
        if (ConvertStringSecurityDescriptorToSecurityDescriptorW(list.c_str(), SDDL_REVISION_1, &descriptor_, nullptr))
            attributes_ = {sizeof attributes_, descriptor_, FALSE};
    }
    ~TInstanceObjectSecurity() {
        if (descriptor_) LocalFree(descriptor_);
    }
    TInstanceObjectSecurity(const TInstanceObjectSecurity&) = delete;
    TInstanceObjectSecurity& operator=(const TInstanceObjectSecurity&) = delete;

    // Null (the default list) where the list could not be made.
    LPSECURITY_ATTRIBUTES Attributes() { return descriptor_ ? &attributes_ : nullptr; }

private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
    SECURITY_ATTRIBUTES attributes_{};
};

}  // namespace

TJclAppInstances::TJclAppInstances() : TJclAppInstances(NameBaseOf(ExecutablePath())) {}

TJclAppInstances::TJclAppInstances(const std::string& nameBase)
    : processId_(GetCurrentProcessId()), nameBase_(nameBase) {
    TInstanceObjectSecurity security;
    try {
        optex_ = std::make_unique<TJclOptex>(nameBase_ + "_Otx", 4000, security.Attributes());
        // An instance stopped while it holds the lock leaves this one as
        // one that may not open the objects.
        TJclOptexGuard lock(*optex_, AnswerTimeoutMs);
        if (lock.Held()) {
            mapping_ = std::make_unique<TJclSwapFileMapping>(nameBase_ + "_Map", PAGE_READWRITE,
                                                             sizeof(InstanceTable), security.Attributes());
            TJclFileMappingView& view =
                TJclFileMappingView::Create(mapping_.get(), FILE_MAP_ALL_ACCESS, sizeof(InstanceTable), 0);
            table_ = static_cast<InstanceTable*>(view.Memory());
            if (!mapping_->AlreadyExisted()) ZeroMemory(table_, sizeof(InstanceTable));
        }
    } catch (const EJclWin32Error& error) {
        // Made by an instance this process may not open: it runs. Any other
        // failure stops the start.
        if (error.LastError() != ERROR_ACCESS_DENIED) throw;
        table_ = nullptr;
    }
    if (!table_) LeaveTable();
    messageId_ = RegisterWindowMessageW(Utf16(nameBase_ + "_Msg").c_str());
}

TJclAppInstances::~TJclAppInstances() {
    UnregisterInstance();
    LeaveTable();
}

void TJclAppInstances::LeaveTable() {
    table_ = nullptr;
    mapping_.reset();
    optex_.reset();
}

namespace {

// The length the system sees, in UTF-16 units.
int WideLength(const std::string& text) { return static_cast<int>(Utf16(text).size()); }

// A named kernel object's name goes through a buffer of MAX_PATH characters
// with its terminator; a registered message's name is an atom of at most 255.
// The lock's event has the longest of the kernel object names.
bool NamesFit(const std::string& base) {
    return WideLength("Optex_Event_" + base + "_Otx") <= MAX_PATH - 1 && WideLength(base + "_Msg") <= 255;
}

// FNV-1a, 64 bits.
std::uint64_t NameHash(const std::string& text) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 0x100000001b3ull;
    }
    return hash;
}

}  // namespace

std::string TJclAppInstances::NameBaseOf(const std::string& exePath) {
    std::wstring wide = Utf16("Jcl" + exePath);
    CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
    for (wchar_t& c : wide)
        if (c == L'\\') c = L'_';
    std::string base = Utf8(wide);
    if (NamesFit(base)) return base;
    // A path too deep for the names: the hash of the same text names the
    // objects, the same for every instance of that file. No path begins with
    // "#", so a short base never meets a long one.
    std::string shortBase = "JCL#";
    std::uint64_t hash = NameHash(base);
    for (int shift = 60; shift >= 0; shift -= 4) shortBase += "0123456789ABCDEF"[(hash >> shift) & 0xF];
    return shortBase;
}

std::string TJclAppInstances::ExecutablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        // A full buffer may hold a cut path: try again with more room.
        if (length < path.size() || path.size() >= 32768) {
            path.resize(length < path.size() ? length : path.size());
            return Utf8(path);
        }
        path.resize(path.size() * 2);
    }
}

bool TJclAppInstances::RegisterInstance(std::uint16_t maxInstances) {
    if (!table_) return false;
    bool withinLimit;
    {
        TJclOptexGuard lock(*optex_, AnswerTimeoutMs);
        if (!lock.Held()) {
            LeaveTable();
            return false;
        }
        withinLimit = RegisterInstanceId(*table_, maxInstances, processId_);
    }
    if (withinLimit) BroadcastInstanceEvent(InstanceCreated, static_cast<std::int32_t>(processId_));
    return withinLimit;
}

void TJclAppInstances::UnregisterInstance() {
    if (!table_) return;
    {
        TJclOptexGuard lock(*optex_, AnswerTimeoutMs);
        if (!lock.Held()) return;
        RemoveInstanceId(*table_, processId_);
    }
    BroadcastInstanceEvent(InstanceDestroyed, static_cast<std::int32_t>(processId_));
}

namespace {

struct BroadcastTarget {
    UINT message;
    WPARAM code;
    LPARAM value;
};

BOOL CALLBACK NotifyWindow(HWND window, LPARAM param) {
    auto* target = reinterpret_cast<BroadcastTarget*>(param);
    SendNotifyMessageW(window, target->message, target->code, target->value);
    return TRUE;
}

// A hung instance's full queue must not hold up a new start for long.
constexpr DWORD PostRetryLimitMs = 1000;

}  // namespace

void TJclAppInstances::BroadcastInstanceEvent(std::int32_t code, std::int32_t value) {
    if (!table_) return;
    TJclOptexGuard lock(*optex_, AnswerTimeoutMs);
    if (!lock.Held()) return;
    std::uint16_t count = ::InstanceCount(*table_);
    BroadcastTarget target{messageId_, static_cast<WPARAM>(code), static_cast<LPARAM>(value)};
    for (std::uint16_t i = 0; i < count; ++i) {
        HWND window = FindApplicationWindow(table_->ProcessIds[i]);
        if (!window) continue;
        DWORD thread = GetWindowThreadProcessId(window, nullptr);
        DWORD start = GetTickCount();
        while (!PostThreadMessageW(thread, target.message, target.code, target.value)) {
            // A thread of a higher integrity level refuses the post for good.
            DWORD error = GetLastError();
            if (error == ERROR_INVALID_THREAD_ID || error == ERROR_ACCESS_DENIED ||
                GetTickCount() - start >= PostRetryLimitMs)
                break;
            Sleep(1);
        }
        EnumThreadWindows(thread, NotifyWindow, reinterpret_cast<LPARAM>(&target));
    }
}

std::uint32_t TJclAppInstances::InstanceProcessId(std::int32_t index) {
    if (!table_) return 0;
    TJclOptexGuard lock(*optex_, AnswerTimeoutMs);
    return lock.Held() ? InstanceIdAt(*table_, index) : 0;
}

int TJclAppInstances::InstanceCount() {
    if (!table_) return 0;
    TJclOptexGuard lock(*optex_, AnswerTimeoutMs);
    return lock.Held() ? ::InstanceCount(*table_) : 0;
}

namespace {

bool IsApplicationWindow(HWND window) {
    // One character more than the name holds, so a longer class differs.
    wchar_t className[14] = {};
    return GetClassNameW(window, className, 14) > 0 && Utf8UpToNul(className, 14) == ApplicationWindowClassName;
}

struct WindowSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK MatchApplicationWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !IsApplicationWindow(window)) return TRUE;
    search->found = window;
    return FALSE;
}

// The path of a process's executable, asked with the least rights a process
// grants (an elevated one grants them to its user's other programs too).
std::string ImagePathOf(DWORD processId) {
    static widgets::SystemFunction<BOOL WINAPI(HANDLE, DWORD, LPWSTR, PDWORD)> query(widgets::Kernel32Library(),
                                                                                     "QueryFullProcessImageNameW");
    if (!query) return {};
    widgets::UniqueKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    std::wstring path(32768, L'\0');
    DWORD size = static_cast<DWORD>(path.size());
    if (!process || !query.Get()(process.get(), 0, path.data(), &size)) return {};
    return Utf8(path.data(), size);
}

struct FileWindows {
    std::string exePath;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindowOfFile(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<FileWindows*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != GetCurrentProcessId() && IsApplicationWindow(window) &&
        widgets::SameTextIgnoringCase(ImagePathOf(owner), search->exePath))
        search->found.push_back(window);
    return TRUE;
}

}  // namespace

HWND TJclAppInstances::FindApplicationWindow(std::uint32_t processId) {
    WindowSearch search{processId, nullptr};
    EnumWindows(MatchApplicationWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<HWND> TJclAppInstances::InstanceWindows() {
    std::vector<std::uint32_t> others;
    {
        TJclOptexGuard lock(*optex_, AnswerTimeoutMs);
        if (!lock.Held()) {
            LeaveTable();
            return WindowsOfThisFile();
        }
        for (std::uint16_t i = 0; i < ::InstanceCount(*table_); ++i)
            if (table_->ProcessIds[i] != processId_) others.push_back(table_->ProcessIds[i]);
    }
    std::vector<HWND> windows;
    for (std::uint32_t id : others)
        if (HWND window = FindApplicationWindow(id)) windows.push_back(window);
    return windows;
}

std::vector<HWND> TJclAppInstances::WindowsOfThisFile() {
    FileWindows search{ExecutablePath(), {}};
    EnumWindows(CollectWindowOfFile, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool TJclAppInstances::ActivateInstance(std::int32_t index) {
    std::uint32_t processId = InstanceProcessId(index);
    if (processId == 0) return false;
    return BringWindowToFront(FindApplicationWindow(processId));
}

void TJclAppInstances::EnsureInstanceLimit(std::uint16_t maxInstances) {
    if (!Refused() && RegisterInstance(maxInstances)) return;
    std::vector<HWND> running = Refused() ? WindowsOfThisFile() : InstanceWindows();
    for (HWND window : running) {
        if (!Answers(window)) continue;
        BringWindowToFront(window);
        // The orderly exit runs the static destructors, which unregister us.
        std::exit(0);
    }
    // One registered without a window yet is starting and shows itself. One
    // that does not answer would leave the person without a viewer: this
    // process runs beside it, as Task Manager does.
    if (running.empty() && !Refused()) std::exit(0);
}

void TJclAppInstances::AllowInstanceMessage(HWND window) const {
    static widgets::SystemFunction<BOOL WINAPI(HWND, UINT, DWORD, PCHANGEFILTERSTRUCT)> allow(
        widgets::User32Library(), "ChangeWindowMessageFilterEx");
    if (window && messageId_ && allow) allow.Get()(window, messageId_, MSGFLT_ALLOW, nullptr);
}

bool TJclAppInstances::Answers(HWND window) {
    DWORD_PTR result = 0;
    if (WindowMessageApi().SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, AnswerTimeoutMs, &result))
        return true;
    return GetLastError() == ERROR_ACCESS_DENIED;
}

bool TJclAppInstances::BringWindowToFront(HWND window) {
    if (!window) return false;
    const TWindowMessageApi& api = WindowMessageApi();
    if (IsIconic(window)) {
        // The restore waits for the window's thread: not for one the system
        // counts as hung, and not for longer than a person would.
        DWORD_PTR result = 0;
        if (api.IsHungAppWindow(window) || !api.SendMessageTimeoutW(window, WM_SYSCOMMAND, SC_RESTORE, 0,
                                                                    SMTO_ABORTIFHUNG, AnswerTimeoutMs, &result))
            return SetForegroundWindow(window) != FALSE;
    }
    return ForceForegroundWindow(window);
}

bool TJclAppInstances::ForceForegroundWindow(HWND window) {
    if (!window) return false;
    HWND foreground = GetForegroundWindow();
    if (foreground == window) return true;
    DWORD foregroundThread = GetWindowThreadProcessId(foreground, nullptr);
    DWORD windowThread = GetWindowThreadProcessId(window, nullptr);
    if (foregroundThread == windowThread) return SetForegroundWindow(window) != FALSE;
    const TWindowMessageApi& api = WindowMessageApi();
    // A thread whose input is joined to a hung one's hangs with it.
    if (api.IsHungAppWindow(window) || (foreground && api.IsHungAppWindow(foreground)))
        return SetForegroundWindow(window) != FALSE;
    // Sharing the foreground thread's input state lifts the foreground lock.
    api.AttachThreadInput(foregroundThread, windowThread, TRUE);
    BOOL done = SetForegroundWindow(window);
    api.AttachThreadInput(foregroundThread, windowThread, FALSE);
    if (!done) return false;
    return SetForegroundWindow(window) != FALSE;
}

TJclAppInstances& AppInstances() {
    static TJclAppInstances instances;
    return instances;
}
