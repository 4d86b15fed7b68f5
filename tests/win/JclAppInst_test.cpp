#include "sysinfo/JclAppInst.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "children/guard_child.h"
#include "support/TestSupport.h"

using testing_support::ChildExe;
using testing_support::ChildProcess;
using testing_support::WaitForWindow;

namespace {

// Kernel object names of this test run only.
std::string TestName(const char* what) {
    static int serial = 0;
    return "OVRELLETEST_" + std::to_string(GetCurrentProcessId()) + "_" + what + "_" + std::to_string(++serial);
}

// The instance table as another process sees it: opened by name.
class TableReader : public testing_support::NamedMappingReader {
public:
    explicit TableReader(const std::string& name) : NamedMappingReader(name, sizeof(InstanceTable)) {}
    const InstanceTable& Table() const { return *static_cast<const InstanceTable*>(Memory()); }
};

bool WaitUntil(const std::function<bool()>& condition, DWORD milliseconds = 5000) {
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > milliseconds) return false;
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        Sleep(20);
    }
    return true;
}

// ---------------------------------------------------------------- the lock

void CountFromTwoThreads(TJclOptex& first, TJclOptex& second) {
    GuardBlock block{};
    const long rounds = 20000;
    std::thread other([&] {
        InterlockedIncrement(&block.Ready);
        CountRounds(second, block, rounds);
    });
    while (block.Ready == 0) SwitchToThread();
    CountRounds(first, block, rounds);
    other.join();
    EXPECT_EQ(block.Violations, 0);
    EXPECT_EQ(block.Counter, 2 * rounds);
    EXPECT_EQ(first.Shared().LockCount, 0);
    EXPECT_EQ(first.Shared().OwnerThreadId, 0u);
}

TEST(TJclOptex, KeepsTwoThreadsApartWithAPrivateLock) {
    TJclOptex optex;
    CountFromTwoThreads(optex, optex);
}

// With one attempt before blocking, the threads mostly meet on the event.
TEST(TJclOptex, KeepsTwoThreadsApartThroughTheSharedState) {
    std::string name = TestName("Lock");
    TJclOptex first(name, 1), second(name, 1);
    CountFromTwoThreads(first, second);
}

TEST(TJclOptex, KeepsTwoProcessesApart) {
    std::string lockName = TestName("Lock"), blockName = TestName("Block");
    widgets::UniqueKernelHandle mapping(
        CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(GuardBlock), blockName.c_str()));
    widgets::UniqueKernelHandle go(CreateEventA(nullptr, TRUE, FALSE, (blockName + "_Go").c_str()));
    ASSERT_TRUE(mapping && go);
    widgets::UniqueMappedView view(MapViewOfFile(mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, sizeof(GuardBlock)));
    ASSERT_TRUE(view);
    auto& block = *static_cast<GuardBlock*>(view.get());
    TJclOptex optex(lockName);

    const long rounds = 20000;
    ChildProcess peer(ChildExe("guard_child"), "lock " + lockName + " " + blockName + " " + std::to_string(rounds));
    ASSERT_TRUE(WaitUntil([&] { return block.Ready == 1; }, 20000)) << "the peer did not start";
    SetEvent(go.get());
    CountRounds(optex, block, rounds);

    EXPECT_EQ(peer.WaitExit(60000), 0u);
    EXPECT_EQ(block.Violations, 0);
    EXPECT_EQ(block.Counter, 2 * rounds);
    EXPECT_EQ(optex.Shared().LockCount, 0);
}

TEST(TJclOptex, IsRecursiveForItsOwnerOnly) {
    TJclOptex optex(TestName("Lock"));
    auto otherThreadGetsIt = [&] {
        bool acquired = false;
        std::thread([&] {
            acquired = optex.TryAcquire();
            if (acquired) optex.Release();
        }).join();
        return acquired;
    };

    optex.Acquire();
    EXPECT_TRUE(optex.TryAcquire());
    optex.Acquire();
    EXPECT_EQ(optex.Shared().RecursionCount, 3);
    EXPECT_EQ(optex.Shared().OwnerThreadId, GetCurrentThreadId());
    EXPECT_FALSE(otherThreadGetsIt());

    optex.Release();
    optex.Release();
    EXPECT_FALSE(otherThreadGetsIt());
    optex.Release();
    EXPECT_EQ(optex.Shared().LockCount, 0);
    EXPECT_TRUE(otherThreadGetsIt());
}

// ---------------------------------------------------------------- mappings and errors

TEST(TJclFileMapping, ViewsShareTheBlockAndGoWithTheirMapping) {
    long handlesBefore = widgets::UniqueKernelHandle::Live();
    long viewsBefore = widgets::UniqueMappedView::Live();
    {
        TJclSwapFileMapping mapping(TestName("Map"), PAGE_READWRITE, 4096);
        EXPECT_FALSE(mapping.AlreadyExisted());
        TJclSwapFileMapping again(mapping.Name(), PAGE_READWRITE, 4096);
        EXPECT_TRUE(again.AlreadyExisted());

        TJclFileMappingView& first = TJclFileMappingView::Create(&mapping, FILE_MAP_ALL_ACCESS, 16, 0);
        TJclFileMappingView& whole = TJclFileMappingView::Create(&again, FILE_MAP_ALL_ACCESS, 0, 0);
        EXPECT_EQ(mapping.ViewCount(), 1);
        EXPECT_EQ(first.Size(), 16u);
        EXPECT_GE(whole.Size(), 4096u);
        static_cast<char*>(first.Memory())[3] = 'x';
        EXPECT_EQ(static_cast<char*>(whole.Memory())[3], 'x');
        EXPECT_EQ(widgets::UniqueMappedView::Live(), viewsBefore + 2);
    }
    EXPECT_EQ(widgets::UniqueKernelHandle::Live(), handlesBefore);
    EXPECT_EQ(widgets::UniqueMappedView::Live(), viewsBefore);
}

TEST(EJclWin32Error, CarriesTheFixedTextThenTheSystemTextAndCode) {
    try {
        TJclSwapFileMapping mapping(TestName("Map"), PAGE_READWRITE, 0);  // a paged block needs a size
        FAIL() << "no error raised";
    } catch (const EJclFileMappingError& error) {
        std::string expected = "Failed to create FileMapping\r\nWin32: " + error.LastErrorMsg() + " (" +
                               std::to_string(error.LastError()) + ")";
        EXPECT_EQ(error.what(), expected);
        EXPECT_NE(error.LastError(), 0u);
        EXPECT_FALSE(error.LastErrorMsg().empty());
        EXPECT_EQ(error.LastErrorMsg().find('\n'), std::string::npos);
    }
}

TEST(EJclWin32Error, EachFailingConstructionRaisesItsKind) {
    TJclSwapFileMapping mapping(TestName("Map"), PAGE_READWRITE, 4096);
    auto startsWith = [](const std::exception& error, const std::string& text) {
        return std::string(error.what()).rfind(text + "\r\nWin32: ", 0) == 0;
    };
    try {
        TJclFileMappingView::Create(&mapping, FILE_MAP_ALL_ACCESS, 4096, 1u << 20);
        ADD_FAILURE() << "a view beyond the block";
    } catch (const EJclFileMappingViewError& error) {
        EXPECT_TRUE(startsWith(error, "Failed to create FileMappingView"));
    }
    EXPECT_EQ(mapping.ViewCount(), 0);

    try {
        TJclFileMappingView::Create(nullptr, FILE_MAP_ALL_ACCESS, 0, 0);
        ADD_FAILURE() << "a view without a mapping";
    } catch (const EJclFileMappingViewError& error) {
        EXPECT_TRUE(startsWith(error, "FileMap argument of TJclFileMappingView constructor cannot be nil"));
    }

    try {
        TJclEvent event(nullptr, false, false, mapping.Name());  // the name is taken by another kind
        ADD_FAILURE() << "an event named like a mapping";
    } catch (const EJclEventError& error) {
        EXPECT_TRUE(startsWith(error, "Failed to create event"));
        EXPECT_EQ(error.LastError(), static_cast<std::uint32_t>(ERROR_INVALID_HANDLE));
    }
}

// ---------------------------------------------------------------- the registry

TEST(TJclAppInstances, NameBaseIsTheUpperCasePathWithoutBackslashes) {
    EXPECT_EQ(TJclAppInstances::NameBaseOf("C:\\Program Files\\Ovrelle\\ovrelle.exe"),
              "JCLC:_PROGRAM FILES_OVRELLE_OVRELLE.EXE");
    EXPECT_EQ(TJclAppInstances::NameBaseOf("z:\\work\\app.exe"), TJclAppInstances::NameBaseOf("Z:\\WORK\\APP.EXE"));
    EXPECT_NE(TJclAppInstances::NameBaseOf("Z:\\a\\app.exe"), TJclAppInstances::NameBaseOf("Z:\\b\\app.exe"));
}

// The lock's event name, "Optex_Event_" + base + "_Otx", is the longest: a
// path of 240 characters makes it 259, the most a kernel object name may have.
TEST(TJclAppInstances, NameBaseOfAPathTooLongForTheNamesIsAHashOfIt) {
    auto pathOf = [](const std::string& filler, int count) {
        std::string path = "C:\\Apps\\";
        for (int i = 0; i < count; ++i) path += filler;
        return path + ".exe";
    };
    std::string longest = pathOf("a", 228);
    ASSERT_EQ(longest.size(), 240u);
    EXPECT_EQ(TJclAppInstances::NameBaseOf(longest), "JCLC:_APPS_" + std::string(228, 'A') + ".EXE");
    // Characters count, not bytes: each of these is two bytes in UTF-8.
    std::string accented = pathOf("\xC3\xA9", 228);
    std::string accentedBase = TJclAppInstances::NameBaseOf(accented);
    EXPECT_EQ(accentedBase, TJclAppInstances::NameBaseOf(pathOf("\xC3\x89", 228)));
    EXPECT_EQ(accentedBase.rfind("JCLC:_APPS_\xC3\x89", 0), 0u) << accentedBase;

    std::string deeper = pathOf("a", 229);
    std::string hashed = TJclAppInstances::NameBaseOf(deeper);
    EXPECT_EQ(hashed.rfind("JCL#", 0), 0u) << hashed;
    EXPECT_LT(hashed.size(), 32u);
    EXPECT_EQ(TJclAppInstances::NameBaseOf(pathOf("A", 229)), hashed);
    EXPECT_NE(TJclAppInstances::NameBaseOf(pathOf("b", 229)), hashed);
    EXPECT_EQ(TJclAppInstances::NameBaseOf(pathOf("a", 400)).size(), hashed.size());

    // Every object and the message can be made under the longest kept base
    // and under a hashed one.
    for (const std::string& base : {TJclAppInstances::NameBaseOf(longest), accentedBase, hashed}) {
        TJclAppInstances registry(base);
        EXPECT_TRUE(registry.RegisterInstance(1)) << base;
        EXPECT_NE(registry.MessageID(), 0u) << base;
    }
}

TEST(TJclAppInstances, NamesItsObjectsAfterTheRunningExecutable) {
    std::string base = TJclAppInstances::NameBaseOf(TJclAppInstances::ExecutablePath());
    ASSERT_EQ(base.find('\\'), std::string::npos);
    ASSERT_EQ(base.rfind("JCL", 0), 0u) << base;
    ASSERT_NE(base.find("_JCLAPPINST_TEST.EXE"), std::string::npos) << base;

    long handlesBefore = widgets::UniqueKernelHandle::Live();
    long viewsBefore = widgets::UniqueMappedView::Live();
    {
        TJclAppInstances registry;
        EXPECT_EQ(registry.NameBase(), base);
        EXPECT_TRUE(TableReader(base + "_Map").Opened());
        EXPECT_TRUE(TableReader("Optex_MMF_" + base + "_Otx").Opened());
        HANDLE event = OpenEventA(SYNCHRONIZE, FALSE, ("Optex_Event_" + base + "_Otx").c_str());
        EXPECT_NE(event, nullptr);
        if (event) CloseHandle(event);
        EXPECT_EQ(registry.MessageID(), RegisterWindowMessageA((base + "_Msg").c_str()));
    }
    EXPECT_EQ(widgets::UniqueKernelHandle::Live(), handlesBefore);
    EXPECT_EQ(widgets::UniqueMappedView::Live(), viewsBefore);
}

TEST(TJclAppInstances, RegistersWithinTheLimitAndUnregistersAtDestruction) {
    std::string base = TestName("App");
    DWORD self = GetCurrentProcessId();
    auto first = std::make_unique<TJclAppInstances>(base);
    TableReader reader(base + "_Map");
    ASSERT_TRUE(reader.Opened());
    EXPECT_EQ(reader.Table().Count, 0);

    EXPECT_TRUE(first->RegisterInstance(1));
    EXPECT_EQ(reader.Table().MaxInstances, 1);
    EXPECT_EQ(reader.Table().Count, 1);
    EXPECT_EQ(first->InstanceProcessId(0), self);
    EXPECT_EQ(first->InstanceProcessId(1), 0u);
    EXPECT_EQ(first->InstanceProcessId(-1), 0u);
    EXPECT_FALSE(first->ActivateInstance(1));

    {
        // A second registry opens the same table and does not clear it.
        TJclAppInstances second(base);
        EXPECT_EQ(second.InstanceCount(), 1);
        EXPECT_FALSE(second.RegisterInstance(1));
        EXPECT_EQ(reader.Table().Count, 2);
    }
    EXPECT_EQ(reader.Table().Count, 1);
    EXPECT_EQ(reader.Table().MaxInstances, 1);

    first.reset();
    EXPECT_EQ(reader.Table().Count, 0);
}

struct Notification {
    WPARAM code;
    LPARAM value;
};
std::vector<Notification> notifications;
UINT notificationMessage = 0;

LRESULT CALLBACK RecordingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == notificationMessage && message != 0) notifications.push_back({wParam, lParam});
    return DefWindowProcA(window, message, wParam, lParam);
}

// A window of the application window class in this process, as a running
// instance has.
class ApplicationWindow {
public:
    explicit ApplicationWindow(bool visible = false) {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = RecordingWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = ApplicationWindowClassName;
        RegisterClassA(&windowClass);
        window_ = CreateWindowExA(0, ApplicationWindowClassName, "Test", WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0),
                                  0, 0, 200, 100, nullptr, nullptr, windowClass.hInstance, nullptr);
    }
    ~ApplicationWindow() { DestroyWindow(window_); }
    HWND Handle() const { return window_; }

private:
    HWND window_;
};

TEST(TJclAppInstances, NotifiesTheRegisteredInstancesWindows) {
    std::string base = TestName("App");
    ApplicationWindow window;
    ASSERT_NE(window.Handle(), nullptr);
    ASSERT_EQ(TJclAppInstances::FindApplicationWindow(GetCurrentProcessId()), window.Handle());
    LPARAM self = static_cast<LPARAM>(GetCurrentProcessId());
    notifications.clear();
    {
        TJclAppInstances registry(base);
        notificationMessage = registry.MessageID();
        ASSERT_TRUE(registry.RegisterInstance(1));
        // Windows of the calling thread get it before the broadcast returns.
        ASSERT_EQ(notifications.size(), 1u);
        EXPECT_EQ(notifications[0].code, TJclAppInstances::InstanceCreated);
        EXPECT_EQ(notifications[0].value, self);

        MSG posted;
        EXPECT_TRUE(PeekMessageA(&posted, reinterpret_cast<HWND>(-1), notificationMessage, notificationMessage,
                                 PM_REMOVE));
        EXPECT_EQ(posted.wParam, TJclAppInstances::InstanceCreated);

        // A refused instance announces nothing at registration.
        TJclAppInstances refused(base);
        EXPECT_FALSE(refused.RegisterInstance(1));
        EXPECT_EQ(notifications.size(), 1u);
    }
    // Both ends announce their departure; the last finds nobody left to tell.
    ASSERT_EQ(notifications.size(), 1u + 1u);
    EXPECT_EQ(notifications[1].code, TJclAppInstances::InstanceDestroyed);
    EXPECT_EQ(notifications[1].value, self);
    notificationMessage = 0;
}

TEST(TJclAppInstances, FindsAndRestoresTheApplicationWindowOfAnotherProcess) {
    ChildProcess peer(ChildExe("guard_child"), "window GuardPeer");
    HWND window = WaitForWindow(peer.Id(), "GuardPeer");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(TJclAppInstances::FindApplicationWindow(peer.Id()), window);
    EXPECT_EQ(TJclAppInstances::FindApplicationWindow(GetCurrentProcessId()), nullptr);

    PostMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(WaitUntil([&] { return IsIconic(window) != FALSE; }));

    EXPECT_TRUE(TJclAppInstances::BringWindowToFront(window));
    EXPECT_FALSE(IsIconic(window));
    EXPECT_EQ(GetForegroundWindow(), window);
}

TEST(TJclAppInstances, ForceForegroundWindow) {
    ApplicationWindow window(true);
    SetForegroundWindow(window.Handle());
    HWND foreground = GetForegroundWindow();
    ASSERT_NE(foreground, nullptr);
    EXPECT_TRUE(TJclAppInstances::ForceForegroundWindow(foreground));
    EXPECT_FALSE(TJclAppInstances::ForceForegroundWindow(nullptr));
    EXPECT_FALSE(TJclAppInstances::BringWindowToFront(nullptr));
}

}  // namespace
