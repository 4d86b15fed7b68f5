// The main controller: attaches its handlers to the main window, fills the
// process and module lists, keeps the column layout, drives the status bar
// and the refresh countdown, and carries out the menu commands.
#pragma once

#include "framework/KmxControllerCustomMain.h"
#include "framework/KmxShellFiles.h"
#include "sysinfo/JclSysInfo.h"
#include "widgets/StatusBar.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TCFindModule;

class TCMain : public TCCustomMain {
public:
    TCMain();
    ~TCMain() override;

    // Ticks left until the next automatic refresh.
    std::int32_t Countdown = 600;
    std::unique_ptr<widgets::Timer> Timer;
    // The search window, made when first asked for.
    std::unique_ptr<TCFindModule> FindModule;

    void MenuClick(widgets::MenuItem& sender);
    void RefreshList();
    void FillList(widgets::ListView& list, widgets::ImageList& images, const TStringList& paths,
                  bool isModuleList);
    void ShowModules();
    // The id in the focused process row; -1 when there is none.
    std::int32_t FocusedProcessId() const;
    void SwitchToProcess();
    void ShutdownProcess();
    void ItemsMenuClick();
    void ItemClick(widgets::MenuItem& item);
    void TimerTick();
    void ListResize();
    void ApplyColumnLayout();
    void DpiChanged();
    void HoldEnded();
    // Ctrl+F on a module searches for it; elsewhere the search window opens.
    void FindModuleClick();
    void FindInAllProcessesClick();
    // Open file location, Properties: on the whole path of the list's focused row.
    void FileCommandClick(const widgets::ListView& list, TShellFileCommand command);
    // Rows without a folder have no file to act on.
    void UpdateFileCommands();
    // Selects, shows and focuses the process's row; false when it has ended.
    bool SelectProcess(std::uint32_t processId);
    TCFindModule& FindModuleWindow();

    TfrmMain& Form() { return *MainForm; }

protected:
    // The column widths as the list shows them go into the store.
    void CollectSettings() override;

private:
    void FitPanel(int panel);
    void SessionCommand(const char* question, bool logoff, bool reboot, bool shutdown);
    void AttachRefreshHandlers();
    void DetachRefreshHandlers();
    void FillRow(widgets::ListView& list, widgets::ImageList& images, int row, bool isModuleList);
    // The paths and ids of the process rows.
    TStringList ListedProcesses() const;
    // The process rows as the module list was filled.
    TStringList moduleOwners_;

};
