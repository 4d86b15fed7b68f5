// Starts of the program itself: from one path the second start hands over to
// the first and ends, or runs beside one that does not answer; from two
// paths both run; a guard that cannot be set up is reported.
#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include <string>

#include "support/TestSupport.h"
#include "sysinfo/JclAppInst.h"

using testing_support::ChildProcess;
using testing_support::OvrelleExe;
using testing_support::WaitForWindow;

namespace {

std::string ImagePath(HANDLE process) {
    char path[MAX_PATH * 2] = {};
    DWORD size = sizeof path;
    if (!QueryFullProcessImageNameA(process, 0, path, &size)) return {};
    return std::string(path, size);
}

// The instance table of the program started from exePath, read as another
// process sees it.
class InstanceTableOf : public testing_support::NamedMappingReader {
public:
    explicit InstanceTableOf(const std::string& exePath)
        : NamedMappingReader(TJclAppInstances::NameBaseOf(exePath) + "_Map", sizeof(InstanceTable)) {}
    const InstanceTable& Table() const { return *static_cast<const InstanceTable*>(Memory()); }
};

bool WaitIconic(HWND window, bool iconic) {
    for (int i = 0; i < 100; ++i) {
        if ((IsIconic(window) != FALSE) == iconic) return true;
        Sleep(50);
    }
    return false;
}

// A copy of the program in its own folder of the build tree. With a length,
// the folder's full path is padded to it with nested folders.
std::string CopyOfProgram(const std::string& folderName, size_t folderLength = 0) {
    std::string program = OvrelleExe();
    std::string folder = program.substr(0, program.rfind('\\') + 1) + folderName;
    CreateDirectoryA(folder.c_str(), nullptr);
    while (folder.size() < folderLength) {
        size_t room = folderLength - folder.size() - 1;
        // A last step of one character would be a bare backslash: stop short of it.
        size_t step = room > 120 ? 100 : room;
        folder += "\\" + std::string(step, 'd');
        CreateDirectoryA(folder.c_str(), nullptr);
    }
    std::string copy = folder + "\\Ovrelle.exe";
    if (!CopyFileA(program.c_str(), copy.c_str(), FALSE)) return {};
    return copy;
}

BOOL CALLBACK AppendStaticText(HWND child, LPARAM param) {
    char className[16] = {};
    GetClassNameA(child, className, sizeof className);
    char line[1024] = {};
    if (lstrcmpiA(className, "Static") == 0 && GetWindowTextA(child, line, sizeof line) > 0)
        *reinterpret_cast<std::string*>(param) += line;
    return TRUE;
}

// The texts a message box shows, read from its static controls.
std::string MessageBoxText(HWND box) {
    std::string text;
    EnumChildWindows(box, AppendStaticText, reinterpret_cast<LPARAM>(&text));
    return text;
}

void ExpectASecondStartToActivateTheFirstAndEnd(const std::string& exe) {
    ChildProcess first(exe);
    HWND window = WaitForWindow(first.Id(), "");
    ASSERT_NE(window, nullptr) << "the program shows no main window; exit code " << first.WaitExit(0);
    EXPECT_EQ(TJclAppInstances::FindApplicationWindow(first.Id()), window);

    InstanceTableOf table(ImagePath(first.Handle()));
    ASSERT_TRUE(table.Opened());
    EXPECT_EQ(table.Table().MaxInstances, 1);
    EXPECT_EQ(table.Table().Count, 1);
    EXPECT_EQ(table.Table().ProcessIds[0], first.Id());

    PostMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(WaitIconic(window, true));

    ChildProcess second(exe);
    EXPECT_EQ(second.WaitExit(15000), 0u);
    EXPECT_TRUE(first.Running());
    EXPECT_TRUE(WaitIconic(window, false));
    EXPECT_EQ(GetForegroundWindow(), window);
    EXPECT_EQ(table.Table().Count, 1);
    EXPECT_EQ(table.Table().ProcessIds[0], first.Id());

    // The first stopped (its window's thread suspended): a start waits a
    // bounded time and runs beside it; once the first goes on, both answer.
    widgets::UniqueKernelHandle thread(OpenThread(THREAD_SUSPEND_RESUME, FALSE, GetWindowThreadProcessId(window, nullptr)));
    ASSERT_NE(SuspendThread(thread.get()), static_cast<DWORD>(-1));
    ChildProcess beside(exe);
    HWND besideWindow = WaitForWindow(beside.Id(), "", 15000);
    ResumeThread(thread.get());
    ASSERT_NE(besideWindow, nullptr) << "exit code " << beside.WaitExit(0);
    DWORD_PTR result = 0;
    for (HWND answering : {window, besideWindow})
        EXPECT_TRUE(SendMessageTimeoutW(answering, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result));
}

TEST(SingleInstance, ASecondStartFromTheSamePathActivatesTheFirstAndEnds) {
    ExpectASecondStartToActivateTheFirstAndEnd(OvrelleExe());
}

// Past about 240 characters the names built from the path would be too long
// for the system's object names.
TEST(SingleInstance, StartsOnceAlsoFromAPathTooDeepForTheObjectNames) {
    std::string exe = CopyOfProgram("deep-path", 246);
    ASSERT_EQ(exe.size(), 246u + std::string("\\Ovrelle.exe").size()) << exe;
    ExpectASecondStartToActivateTheFirstAndEnd(exe);
}

// Objects that refuse this user (as an elevated instance's refuse a start
// without elevation), or a lock held for good (by an instance stopped with
// it): no error, no endless wait; the start runs, the next hands over to it.
TEST(SingleInstance, ObjectsThatRefuseTheStartOrALockHeldForGoodAreTakenForARunningInstance) {
    for (bool refused : {true, false}) {
        std::string exe = CopyOfProgram(refused ? "refused-guard" : "held-guard");
        std::string lockName = TJclAppInstances::NameBaseOf(exe) + "_Otx";
        PSECURITY_DESCRIPTOR nobody = nullptr;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:", SDDL_REVISION_1, &nobody, nullptr));
        SECURITY_ATTRIBUTES refusing{sizeof refusing, nobody, FALSE};
        widgets::UniqueKernelHandle event(
            refused ? CreateEventA(&refusing, FALSE, FALSE, ("Optex_Event_" + lockName).c_str()) : nullptr);
        LocalFree(nobody);
        TJclOptex lock(refused ? "" : lockName);
        lock.Acquire();
        ChildProcess first(exe);
        HWND window = WaitForWindow(first.Id(), "Ovrelle");
        ASSERT_NE(window, nullptr) << exe << ": exit code " << first.WaitExit(0);
        ChildProcess second(exe);
        EXPECT_EQ(second.WaitExit(15000), 0u) << exe;
        EXPECT_EQ(GetForegroundWindow(), window) << exe;
        lock.Release();
    }
}

// A start-up failure is what a person sees: a message box with the error,
// no main window, and then an exit code that says the start failed.
TEST(SingleInstance, AGuardThatCannotBeSetUpIsShownAndTheStartFails) {
    std::string exe = CopyOfProgram("guard-failure");
    ASSERT_FALSE(exe.empty());
    // An object of another kind holds the name of the guard's lock event.
    std::string eventName = "Optex_Event_" + TJclAppInstances::NameBaseOf(exe) + "_Otx";
    widgets::UniqueKernelHandle squatter(
        CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 16, eventName.c_str()));
    ASSERT_TRUE(squatter);

    ChildProcess program(exe);
    HWND box = WaitForWindow(program.Id(), "Error");
    ASSERT_NE(box, nullptr) << "no message box; exit code " << program.WaitExit(0);
    std::string text = MessageBoxText(box);
    EXPECT_EQ(text.rfind("Failed to create event\r\nWin32: ", 0), 0u) << text;
    EXPECT_NE(text.find("(6)"), std::string::npos) << text;
    EXPECT_EQ(TJclAppInstances::FindApplicationWindow(program.Id()), nullptr);

    PostMessageA(box, WM_COMMAND, IDOK, 0);
    DWORD exitCode = program.WaitExit(15000);
    EXPECT_NE(exitCode, static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_NE(exitCode, 0u);
}

TEST(SingleInstance, CopiesInTwoPlacesRunSideBySide) {
    std::string copy = CopyOfProgram("second-copy");
    ASSERT_FALSE(copy.empty());

    ChildProcess first(OvrelleExe());
    HWND firstWindow = WaitForWindow(first.Id(), "");
    ASSERT_NE(firstWindow, nullptr);
    ChildProcess second(copy);
    HWND secondWindow = WaitForWindow(second.Id(), "");
    ASSERT_NE(secondWindow, nullptr);
    EXPECT_EQ(second.WaitExit(2000), static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_TRUE(first.Running());
    // Each instance's own window, though both are of one class.
    EXPECT_EQ(TJclAppInstances::FindApplicationWindow(first.Id()), firstWindow);
    EXPECT_EQ(TJclAppInstances::FindApplicationWindow(second.Id()), secondWindow);
    EXPECT_EQ(TJclAppInstances::FindApplicationWindow(GetCurrentProcessId()), nullptr);

    InstanceTableOf firstTable(ImagePath(first.Handle())), secondTable(ImagePath(second.Handle()));
    ASSERT_TRUE(firstTable.Opened() && secondTable.Opened());
    EXPECT_EQ(firstTable.Table().Count, 1);
    EXPECT_EQ(secondTable.Table().Count, 1);
    EXPECT_EQ(secondTable.Table().ProcessIds[0], second.Id());
}

}  // namespace
