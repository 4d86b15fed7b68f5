// Many refreshes, module-list fills, status ticks and column changes in a
// row: after a warm-up, everything the program holds must stay as it was.
// The objects are counted in the program's own wrappers (Wine answers 0 to
// GetGuiResources and GetProcessHandleCount); the working set comes from
// GetProcessMemoryInfo.
#include "framework/KmxFileInfoClasses.h"
#include "support/Gui.h"
#include "support/ProgramWindow.h"
#include "support/ResourceCounts.h"
#include "support/TestSupport.h"
#include "widgets/Application.h"
#include "widgets/Handle.h"
#include "widgets/ListView.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace testing_support;
using widgets::Application;

namespace {

const int kWarmUpCycles = 20;
const int kCycles = 150;
const double kWorkingSetBoundMb = 3.0;

class Soak : public ProgramWindowTest {
protected:
    Soak() : ProgramWindowTest("Ovrelle Soak Test", "Software\\Quillmar\\OvrelleSoakTest") {}

    // What a user does over a long day, faster than the timer: a refresh
    // from the menu, a status tick, a click on the child's row, and now and
    // then a column shown or hidden.
    void Cycle(int index, DWORD childId) {
        Refresh();
        SendMessageA(controller->Timer->Handle(), WM_TIMER, 1, 0);
        int row = RowOf(childId);
        if (row >= 0) ClickRow(Processes(), row);
        if (RowCount(Modules()) == 0) ++emptyModuleLists;
        if (index % 25 == 0) Choose({"&Items", "&Version"});
    }

    // What the two image lists hold is all there is, and every icon alive
    // belongs to an item of the file information cache.
    void ExpectOwnersAccountForEverything() {
        EXPECT_EQ(widgets::ImageList::LiveImages(), Form().ProcessIconList.Count() + Form().ModulleIconList.Count());
        long cachedIcons = 0;
        for (std::size_t i = 0; i < FileInfoCache().Count(); ++i)
            if (FileInfoCache().Items(i).Icon) ++cachedIcons;
        EXPECT_EQ(widgets::UniqueIcon::Live(), cachedIcons);
    }

    int emptyModuleLists = 0;
};

}  // namespace

TEST_F(Soak, RefreshesAndModuleFillsLeaveEveryCountAsItWasAndClosingReleasesAll) {
    ChildProcess child(ChildExe("WindowChild"), "--none");
    child.WaitIdle();
    ResourceCounts withoutWindow = TakeResourceCounts();
    Start();

    int cycle = 0;
    for (; cycle < kWarmUpCycles; ++cycle) Cycle(cycle, child.Id());
    ResourceCounts before = TakeResourceCounts();
    double workingSetBefore = WorkingSetMb();
    ExpectOwnersAccountForEverything();
    // The counters count: the lists show icons and the store's key is open.
    EXPECT_GT(widgets::ImageList::LiveImages(), 0);
    EXPECT_GT(widgets::UniqueRegKey::Live(), 0);

    for (; cycle < kWarmUpCycles + kCycles; ++cycle) Cycle(cycle, child.Id());
    ResourceCounts after = TakeResourceCounts();
    double workingSetAfter = WorkingSetMb();

    ASSERT_EQ(before.size(), after.size());
    for (std::size_t i = 0; i < before.size(); ++i) EXPECT_EQ(after[i].second, before[i].second) << before[i].first;
    ExpectOwnersAccountForEverything();
    EXPECT_GT(workingSetBefore, 0.0);
    EXPECT_LT(workingSetAfter - workingSetBefore, kWorkingSetBoundMb)
        << "from " << workingSetBefore << " MB to " << workingSetAfter << " MB";
    EXPECT_EQ(emptyModuleLists, 0);
    EXPECT_EQ(DialogTexts(), std::vector<std::string>{});

    // Closed, the window leaves nothing behind but the file information
    // cache, which is program-wide and keeps its items and their icons.
    long cacheIcons = widgets::UniqueIcon::Live();
    Stop();
    Application::Instance().ProcessMessages();
    ResourceCounts closed = TakeResourceCounts();
    for (std::size_t i = 0; i < closed.size(); ++i) {
        if (closed[i].first == "file_info_items") continue;
        // An image list that goes with its window takes its images along.
        long expected = closed[i].first == "icons" ? cacheIcons : withoutWindow[i].second;
        EXPECT_EQ(closed[i].second, expected) << closed[i].first;
    }
}
