// The main window: the process list, the splitter, the module list and the
// status bar, with the main menu and the popup menus of the two lists.
// Passive: the controller attaches every handler but the About command's.
#pragma once

#include "widgets/Form.h"
#include "widgets/ListView.h"
#include "widgets/Menu.h"
#include "widgets/StatusBar.h"

class TfrmMain : public widgets::Form {
public:
    TfrmMain();

    widgets::Menu mmMain{false};
    widgets::MenuItem& mniFile;
    widgets::MenuItem& mniExit;
    widgets::MenuItem& mniDesktop;
    widgets::MenuItem& mniStartscreensaver;
    widgets::MenuItem& mniMinimize;
    widgets::MenuItem& mniSystem;
    widgets::MenuItem& mniLogout;
    widgets::MenuItem& mniReboot;
    widgets::MenuItem& mniShutdowncomputer;
    widgets::MenuItem& mniAbout;

    widgets::Menu popProcess{true};
    widgets::MenuItem& mniSwitch;
    widgets::MenuItem& mniShutdownprocess;
    widgets::MenuItem& N1;
    widgets::MenuItem& mniRefresh;
    widgets::MenuItem& mniItems;
    widgets::MenuItem& N2;
    widgets::MenuItem& mniFindModule;
    widgets::MenuItem& mniOpenFileLocation;
    widgets::MenuItem& mniProperties;
    widgets::MenuItem* mniItem[7];

    widgets::Menu popModule{true};
    widgets::MenuItem& mniFindInAllProcesses;
    widgets::MenuItem& mniModuleFileLocation;
    widgets::MenuItem& mniModuleProperties;

    widgets::ImageList ProcessIconList;
    widgets::ImageList ModulleIconList;
    widgets::ListView lsvProcesses;
    widgets::Splitter Splitter1;
    widgets::ListView lsvModules;
    widgets::StatusBar stbStatus;

    void mniAboutClick();

    // The designed width of the status bar's process count.
    static constexpr int ProcessCountPanelWidth = 100;

    // Height of the module list; the splitter changes it.
    int ModulesHeight() const { return modulesHeight_; }
    void SetModulesHeight(int height);

private:
    int modulesHeight_ = 147;
    int dragStartHeight_ = 147;
};
