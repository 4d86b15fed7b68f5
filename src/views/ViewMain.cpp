#include "views/ViewMain.h"

#include "framework/KmxViewAbout.h"
#include "sysinfo/JclAppInst.h"

namespace {

enum ControlId : UINT_PTR { kProcesses = 101, kModules = 102, kStatus = 103 };
const int kSplitterHeight = 3;
const int kStatusHeight = 19;
const int kMinListHeight = 20;

widgets::FormStyle MainStyle() {
    widgets::FormStyle style;
    style.clientWidth = 905;
    style.clientHeight = 566;
    style.className = ApplicationWindowClassName;
    return style;
}

}  // namespace

TfrmMain::TfrmMain()
    : widgets::Form("frmMain", MainStyle()),
      mniFile(mmMain.Add("mniFile", "&File")),
      mniExit(mniFile.Add("mniExit", "E&xit")),
      mniDesktop(mmMain.Add("mniDesktop", "&Desktop")),
      mniStartscreensaver(mniDesktop.Add("mniStartscreensaver", "&Start screensaver")),
      mniMinimize(mniDesktop.Add("mniMinimize", "&Minimize all windows")),
      mniSystem(mmMain.Add("mniSystem", "&System")),
      mniLogout(mniSystem.Add("mniLogout", "&Logout Windows user")),
      mniReboot(mniSystem.Add("mniReboot", "&Reboot computer")),
      mniShutdowncomputer(mniSystem.Add("mniShutdowncomputer", "&Shutdown computer")),
      mniAbout(mmMain.Add("mniAbout", "&About")),
      mniSwitch(popProcess.Add("mniSwitch", "&Switch to process")),
      mniShutdownprocess(popProcess.Add("mniShutdownprocess", "Shut&down process")),
      N1(popProcess.Add("N1", "-")),
      mniRefresh(popProcess.Add("mniRefresh", "&Refresh screen")),
      mniItems(popProcess.Add("mniItems", "&Items")),
      N2(popProcess.Add("N2", "-")),
      mniFindModule(popProcess.Add("mniFindModule", "&Find module...")),
      mniOpenFileLocation(popProcess.Add("mniOpenFileLocation", "&Open file location")),
      mniProperties(popProcess.Add("mniProperties", "&Properties")),
      mniFindInAllProcesses(popModule.Add("mniFindInAllProcesses", "&Find in all processes")),
      mniModuleFileLocation(popModule.Add("mniModuleFileLocation", "&Open file location")),
      mniModuleProperties(popModule.Add("mniModuleProperties", "&Properties")),
      lsvProcesses(Handle(), kProcesses, {true}),
      Splitter1(Handle()),
      lsvModules(Handle(), kModules, {false}),
      stbStatus(Handle(), kStatus, 5, kStatusHeight) {
    static const char* const itemCaptions[7] = {"&Icon", "&Product", "&Company", "&Description",
                                                "Path and &filename", "&Version", "P&rocess ID"};
    for (int i = 0; i < 7; ++i) {
        mniItem[i] = &mniItems.Add("mniItem" + std::to_string(i), itemCaptions[i], i);
        mniItem[i]->SetChecked(i < 5);
    }

    lsvProcesses.AddColumn({"", 20, 0, 20, false});
    lsvProcesses.AddColumn({"Process", 235, 0, 300, false});
    lsvProcesses.AddColumn({"Company", 125, 0, 300, false});
    lsvProcesses.AddColumn({"Description", 220, 0, 500, false});
    lsvProcesses.AddColumn({"Path and filename", 0, 0, 500, true});
    lsvProcesses.AddColumn({"Version", 80, 0, 300, false});
    lsvProcesses.AddColumn({"Process ID", 65, 0, 0, false});
    lsvProcesses.SetSmallImages(ProcessIconList);

    lsvModules.AddColumn({"", 20, 20, 20, false});
    lsvModules.AddColumn({"Module", 235, 0, 300, false});
    lsvModules.AddColumn({"Company", 125, 0, 300, false});
    lsvModules.AddColumn({"Description", 220, 0, 500, false});
    lsvModules.AddColumn({"Path and filename", 0, 0, 500, true});
    lsvModules.AddColumn({"Version", 80, 0, 300, false});
    lsvModules.SetSmallImages(ModulleIconList);

    stbStatus.SetPanelWidth(3, ProcessCountPanelWidth);

    SetMainMenu(mmMain);
    AddPopupMenu(popProcess);
    AddPopupMenu(popModule);
    // The keys every process viewer answers; the captions stay as they are.
    AddShortcut(VK_F5, mniRefresh);
    AddShortcut(VK_DELETE, mniShutdownprocess);
    AddShortcut(VK_RETURN, mniSwitch);
    AddShortcut('F', mniFindModule, FCONTROL);
    lsvProcesses.OnContextMenu = [this](int x, int y) { popProcess.Popup(Handle(), x, y); };
    lsvModules.OnContextMenu = [this](int x, int y) {
        // Its commands act on the row under the pointer, which a click
        // beside a row's first cell does not select in this list.
        int row = lsvModules.RowAt(x, y);
        if (row >= 0) {
            lsvModules.SelectRow(row);
            lsvModules.FocusRow(row);
        }
        popModule.Popup(Handle(), x, y);
    };
    mniAbout.OnClick = [this](widgets::MenuItem&) { mniAboutClick(); };

    // From the bottom up: the status bar, the module list, the splitter;
    // the process list takes the rest.
    AlignBottom(stbStatus, kStatusHeight);
    AlignBottom(lsvModules, modulesHeight_);
    AlignBottom(Splitter1, kSplitterHeight);
    AlignClient(lsvProcesses);
    Splitter1.OnDragStart = [this] { dragStartHeight_ = modulesHeight_; };
    Splitter1.OnDrag = [this](int delta) { SetModulesHeight(dragStartHeight_ - delta); };
}

void TfrmMain::mniAboutClick() { ShowAbout(2002, false); }

void TfrmMain::SetModulesHeight(int height) {
    int available = ClientHeight() - kStatusHeight - kSplitterHeight - kMinListHeight;
    if (height > available) height = available;
    if (height < kMinListHeight) height = kMinListHeight;
    modulesHeight_ = height;
    SetAlignedHeight(lsvModules, modulesHeight_);
}
