// Two starts of the program itself: from one path the second start hands
// over to the first and ends; from two paths both run.
#include <gtest/gtest.h>
#include <windows.h>

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

TEST(SingleInstance, ASecondStartFromTheSamePathActivatesTheFirstAndEnds) {
    ChildProcess first(OvrelleExe());
    HWND window = WaitForWindow(first.Id(), "");
    ASSERT_NE(window, nullptr) << "the program shows no main window";
    EXPECT_EQ(TJclAppInstances::FindApplicationWindow(first.Id()), window);

    InstanceTableOf table(ImagePath(first.Handle()));
    ASSERT_TRUE(table.Opened());
    EXPECT_EQ(table.Table().MaxInstances, 1);
    EXPECT_EQ(table.Table().Count, 1);
    EXPECT_EQ(table.Table().ProcessIds[0], first.Id());

    PostMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(WaitIconic(window, true));

    ChildProcess second(OvrelleExe());
    EXPECT_EQ(second.WaitExit(15000), 0u);
    EXPECT_TRUE(first.Running());
    EXPECT_TRUE(WaitIconic(window, false));
    EXPECT_EQ(GetForegroundWindow(), window);
    EXPECT_EQ(table.Table().Count, 1);
    EXPECT_EQ(table.Table().ProcessIds[0], first.Id());
}

TEST(SingleInstance, CopiesInTwoPlacesRunSideBySide) {
    std::string copyDir = testing_support::WindowsPath(std::string(OVRELLE_CHILDREN_DIR) + "/../second-copy");
    CreateDirectoryA(copyDir.c_str(), nullptr);
    std::string copy = copyDir + "\\Ovrelle.exe";
    ASSERT_TRUE(CopyFileA(OvrelleExe().c_str(), copy.c_str(), FALSE));

    ChildProcess first(OvrelleExe());
    ASSERT_NE(WaitForWindow(first.Id(), ""), nullptr);
    ChildProcess second(copy);
    EXPECT_NE(WaitForWindow(second.Id(), ""), nullptr);
    EXPECT_EQ(second.WaitExit(2000), static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_TRUE(first.Running());

    InstanceTableOf firstTable(ImagePath(first.Handle())), secondTable(ImagePath(second.Handle()));
    ASSERT_TRUE(firstTable.Opened() && secondTable.Opened());
    EXPECT_EQ(firstTable.Table().Count, 1);
    EXPECT_EQ(secondTable.Table().Count, 1);
    EXPECT_EQ(secondTable.Table().ProcessIds[0], second.Id());
}

}  // namespace
