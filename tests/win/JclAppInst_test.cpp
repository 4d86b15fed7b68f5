// The instance registry's parts on their own. The program's own starts (a
// second start handing over to the first and restoring its window, copies
// in two places, a path too deep for the names) are tested in SingleInstance.
#include "sysinfo/JclAppInst.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "children/guard_child.h"
#include "support/TestSupport.h"

using testing_support::ChildExe;
using testing_support::ChildProcess;

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

// Kernel handles and mapped views held by the wrappers.
struct HeldObjects {
    long handles = widgets::UniqueKernelHandle::Live();
    long views = widgets::UniqueMappedView::Live();
    bool operator==(const HeldObjects& other) const { return handles == other.handles && views == other.views; }
};

void ExpectCountedAlone(GuardBlock& block, long rounds, const TJclOptex& optex) {
    EXPECT_EQ(block.Violations, 0);
    EXPECT_EQ(block.Counter, 2 * rounds);
    EXPECT_EQ(optex.Shared().LockCount, 0);
    EXPECT_EQ(optex.Shared().OwnerThreadId, 0u);
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
    ExpectCountedAlone(block, rounds, first);
}

TEST(TJclOptex, KeepsTwoThreadsApartPrivatelyAndThroughTheSharedState) {
    TJclOptex privateLock;
    CountFromTwoThreads(privateLock, privateLock);
    // With one attempt before blocking, the threads mostly meet on the event.
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
    for (int i = 0; i < 1000 && block.Ready == 0; ++i) Sleep(20);
    ASSERT_EQ(block.Ready, 1) << "the peer did not start";
    SetEvent(go.get());
    CountRounds(optex, block, rounds);

    EXPECT_EQ(peer.WaitExit(60000), 0u);
    ExpectCountedAlone(block, rounds, optex);
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

// ---------------------------------------------------------------- errors

// The message is the fixed text, a line break, then "Win32: " with the
// system's wording (without its own line break) and the code. The event's
// error is shown by the program itself in SingleInstance.
TEST(EJclWin32Error, EachFailingConstructionRaisesItsKindWithTheSystemsWordingAndCode) {
    auto expectMessage = [](const EJclWin32Error& error, const std::string& text) {
        EXPECT_NE(error.LastError(), 0u) << text;
        EXPECT_FALSE(error.LastErrorMsg().empty()) << text;
        EXPECT_EQ(error.LastErrorMsg().find('\n'), std::string::npos) << text;
        EXPECT_EQ(error.what(), text + "\r\nWin32: " + error.LastErrorMsg() + " (" +
                                    std::to_string(error.LastError()) + ")");
    };
    try {
        TJclSwapFileMapping mapping(TestName("Map"), PAGE_READWRITE, 0);  // a paged block needs a size
        ADD_FAILURE() << "a mapping without a size";
    } catch (const EJclFileMappingError& error) {
        expectMessage(error, "Failed to create FileMapping");
    }

    TJclSwapFileMapping mapping(TestName("Map"), PAGE_READWRITE, 4096);
    try {
        TJclFileMappingView::Create(&mapping, FILE_MAP_ALL_ACCESS, 4096, 1u << 20);
        ADD_FAILURE() << "a view beyond the block";
    } catch (const EJclFileMappingViewError& error) {
        expectMessage(error, "Failed to create FileMappingView");
    }
    EXPECT_EQ(mapping.ViewCount(), 0);

    try {
        TJclFileMappingView::Create(nullptr, FILE_MAP_ALL_ACCESS, 0, 0);
        ADD_FAILURE() << "a view without a mapping";
    } catch (const EJclFileMappingViewError& error) {
        std::string text = "FileMap argument of TJclFileMappingView constructor cannot be nil\r\nWin32: ";
        EXPECT_EQ(std::string(error.what()).rfind(text, 0), 0u) << error.what();
    }
}

// ---------------------------------------------------------------- the registry

// The lock's event name, "Optex_Event_" + base + "_Otx", is the longest: a
// path of 240 characters makes it 259, the most a kernel object name may have.
TEST(TJclAppInstances, NameBaseIsTheUpperCasePathWithoutBackslashesOrAHashOfAPathTooLong) {
    EXPECT_EQ(TJclAppInstances::NameBaseOf("C:\\Program Files\\Ovrelle\\ovrelle.exe"),
              "JCLC:_PROGRAM FILES_OVRELLE_OVRELLE.EXE");
    EXPECT_EQ(TJclAppInstances::NameBaseOf("z:\\work\\app.exe"), TJclAppInstances::NameBaseOf("Z:\\WORK\\APP.EXE"));
    EXPECT_NE(TJclAppInstances::NameBaseOf("Z:\\a\\app.exe"), TJclAppInstances::NameBaseOf("Z:\\b\\app.exe"));

    auto pathOf = [](const std::string& filler, int count) {
        std::string path = "C:\\Apps\\";
        for (int i = 0; i < count; ++i) path += filler;
        return path + ".exe";
    };
    std::string longest = pathOf("a", 228);
    ASSERT_EQ(longest.size(), 240u);
    EXPECT_EQ(TJclAppInstances::NameBaseOf(longest), "JCLC:_APPS_" + std::string(228, 'A') + ".EXE");
    // Characters count, not bytes: each of these is two bytes in UTF-8.
    std::string accentedBase = TJclAppInstances::NameBaseOf(pathOf("\xC3\xA9", 228));
    EXPECT_EQ(accentedBase, TJclAppInstances::NameBaseOf(pathOf("\xC3\x89", 228)));
    EXPECT_EQ(accentedBase.rfind("JCLC:_APPS_\xC3\x89", 0), 0u) << accentedBase;

    std::string hashed = TJclAppInstances::NameBaseOf(pathOf("a", 229));
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

TEST(TJclAppInstances, RegistersUnderTheExecutablesNamesWithinTheLimitAndLeavesAtDestruction) {
    std::string base = TJclAppInstances::NameBaseOf(TJclAppInstances::ExecutablePath());
    ASSERT_EQ(base.rfind("JCL", 0), 0u) << base;
    ASSERT_NE(base.find("_JCLAPPINST_TEST.EXE"), std::string::npos) << base;
    DWORD self = GetCurrentProcessId();
    HeldObjects before;
    {
        TJclAppInstances first;
        EXPECT_EQ(first.NameBase(), base);
        TableReader reader(base + "_Map");
        ASSERT_TRUE(reader.Opened());
        EXPECT_TRUE(TableReader("Optex_MMF_" + base + "_Otx").Opened());
        widgets::UniqueKernelHandle event(OpenEventA(SYNCHRONIZE, FALSE, ("Optex_Event_" + base + "_Otx").c_str()));
        EXPECT_TRUE(event);
        EXPECT_EQ(first.MessageID(), RegisterWindowMessageA((base + "_Msg").c_str()));
        EXPECT_EQ(reader.Table().Count, 0);

        EXPECT_TRUE(first.RegisterInstance(1));
        EXPECT_EQ(reader.Table().MaxInstances, 1);
        EXPECT_EQ(reader.Table().Count, 1);
        EXPECT_EQ(first.InstanceProcessId(0), self);
        EXPECT_EQ(first.InstanceProcessId(1), 0u);
        EXPECT_EQ(first.InstanceProcessId(-1), 0u);
        EXPECT_FALSE(first.ActivateInstance(1));
        {
            // A second registry opens the same table and does not clear it;
            // over the limit it is refused but appended.
            TJclAppInstances second(base);
            EXPECT_EQ(second.InstanceCount(), 1);
            EXPECT_FALSE(second.RegisterInstance(1));
            EXPECT_EQ(reader.Table().Count, 2);
        }
        EXPECT_EQ(reader.Table().Count, 1);
        EXPECT_EQ(reader.Table().MaxInstances, 1);
    }
    EXPECT_FALSE(TableReader(base + "_Map").Opened()) << "the table outlived its last registry";
    EXPECT_TRUE(HeldObjects() == before);
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

// A shown window of the application window class in this process, as a
// running instance has.
class ApplicationWindow {
public:
    ApplicationWindow() {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = RecordingWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = ApplicationWindowClassName;
        RegisterClassA(&windowClass);
        window_ = CreateWindowExA(0, ApplicationWindowClassName, "Test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                                  100, nullptr, nullptr, windowClass.hInstance, nullptr);
    }
    ~ApplicationWindow() { DestroyWindow(window_); }
    HWND Handle() const { return window_; }

private:
    HWND window_;
};

TEST(TJclAppInstances, NotifiesAndActivatesTheRegisteredInstancesWindows) {
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

        HWND other = CreateWindowExA(0, "STATIC", "other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100,
                                     nullptr, nullptr, nullptr, nullptr);
        SetForegroundWindow(other);
        EXPECT_TRUE(refused.ActivateInstance(0));
        DestroyWindow(other);
        EXPECT_EQ(GetForegroundWindow(), window.Handle());
        // Already in front: still a success.
        EXPECT_TRUE(TJclAppInstances::ForceForegroundWindow(window.Handle()));
    }
    // Both ends announce their departure; the last finds nobody left to tell.
    ASSERT_EQ(notifications.size(), 1u + 1u);
    EXPECT_EQ(notifications[1].code, TJclAppInstances::InstanceDestroyed);
    EXPECT_EQ(notifications[1].value, self);
    notificationMessage = 0;

    EXPECT_FALSE(TJclAppInstances::BringWindowToFront(nullptr));
    EXPECT_FALSE(TJclAppInstances::ForceForegroundWindow(nullptr));
}

}  // namespace
