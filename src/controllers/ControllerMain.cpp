#include "controllers/ControllerMain.h"

#include "controllers/ControllerFindModule.h"
#include "framework/KmxFileInfoClasses.h"
#include "framework/KmxFormat.h"
#include "framework/KmxMiscellaneous.h"
#include "framework/KmxNetwork.h"
#include "framework/KmxPathShortening.h"
#include "sysinfo/JclAppInst.h"
#include "sysinfo/JclFileUtils.h"
#include "widgets/Application.h"
#include "widgets/Dialogs.h"
#include "widgets/Utf16.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

using widgets::DialogButtons;
using widgets::DialogKind;
using widgets::DialogResult;
using widgets::MessageDlg;

namespace {

const int kProcessColumns = 7;
const int kPathColumn = 4;
const int kPidSubItem = 5;

// The system's words for why a list could not be read, without the line
// break they end with.
std::string ReasonText(const std::string& systemText) {
    std::string text = systemText;
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.pop_back();
    return text;
}

// The row of a process, looked for where it was last seen first.
int RowOfProcess(const widgets::ListView& list, const std::string& pidText, int seenAt) {
    if (list.SubItem(seenAt, kPidSubItem) == pidText) return seenAt;
    for (int row = 0; row < list.RowCount(); ++row)
        if (list.SubItem(row, kPidSubItem) == pidText) return row;
    return -1;
}

}  // namespace

TCMain::TCMain() {
    TfrmMain& form = *MainForm;
    auto menuClick = [this](widgets::MenuItem& item) { MenuClick(item); };
    for (widgets::MenuItem* item : {&form.mniExit, &form.mniShutdownprocess, &form.mniMinimize,
                                    &form.mniStartscreensaver, &form.mniLogout, &form.mniSwitch,
                                    &form.mniReboot, &form.mniShutdowncomputer})
        item->OnClick = menuClick;
    form.mniRefresh.OnClick = [this](widgets::MenuItem&) { RefreshList(); };
    form.mniItems.OnClick = [this](widgets::MenuItem&) { ItemsMenuClick(); };
    for (widgets::MenuItem* item : form.mniItem) item->OnClick = [this](widgets::MenuItem& i) { ItemClick(i); };
    form.lsvProcesses.OnClick = [this] { ShowModules(); };
    form.OnDpiChanged = [this] { DpiChanged(); };
    // The session's end is this program's exit: the system ends the process
    // as soon as the window has heard of it.
    form.OnEndSession = [this] { StoreSettings(); };
    widgets::Application::Instance().OnHoldEnded = [this] { HoldEnded(); };
    form.lsvProcesses.OnDblClick = [this] { SwitchToProcess(); };
    form.mniFindModule.OnClick = [this](widgets::MenuItem&) { FindModuleClick(); };
    form.mniFindInAllProcesses.OnClick = [this](widgets::MenuItem&) { FindInAllProcessesClick(); };
    form.mniOpenFileLocation.OnClick = [this](widgets::MenuItem&) {
        FileCommandClick(MainForm->lsvProcesses, TShellFileCommand::OpenLocation);
    };
    form.mniProperties.OnClick = [this](widgets::MenuItem&) {
        FileCommandClick(MainForm->lsvProcesses, TShellFileCommand::Properties);
    };
    form.mniModuleFileLocation.OnClick = [this](widgets::MenuItem&) {
        FileCommandClick(MainForm->lsvModules, TShellFileCommand::OpenLocation);
    };
    form.mniModuleProperties.OnClick = [this](widgets::MenuItem&) {
        FileCommandClick(MainForm->lsvModules, TShellFileCommand::Properties);
    };
    form.popProcess.OnPopup = [this] { UpdateFileCommands(); };
    form.popModule.OnPopup = [this] { UpdateFileCommands(); };
    // Typed letters find a row by its Process (or Module) text or its file
    // name: processes without a version resource have an empty Process text.
    for (widgets::ListView* list : {&form.lsvProcesses, &form.lsvModules})
        list->FindTexts = [list](int row) {
            return std::vector<std::string>{list->SubItem(row, 0), FileNamePart(list->RowData(row))};
        };

    // Path cells are shortened again whenever their column's room changes.
    for (widgets::ListView* list : {&form.lsvProcesses, &form.lsvModules})
        list->SetFittedColumn(kPathColumn, [](const std::string& path, int room,
                                              const widgets::ListView::TextMeasureFunction& measure) {
            return ShortenPathToWidth(path, measure, room);
        });

    Countdown = 600;
    Timer = std::make_unique<widgets::Timer>();

    TCRegistry& settings = Settings();
    for (int i = 0; i < kProcessColumns; ++i) {
        // A stored width below zero (a damaged value) counts as none stored.
        if (settings.Items[i].Width > 0) form.lsvProcesses.SetColumnWidth(i, settings.Items[i].Width);
        else settings.Items[i].Width = form.lsvProcesses.ColumnWidth(i);
    }

    widgets::StatusBar& status = form.stbStatus;
    std::string user = "User: " + CurrentUserName();
    status.SetPanelText(0, user);
    FitPanel(0);
    std::string computer = "Computer: " + ComputerNameText();
    status.SetPanelText(1, computer);
    FitPanel(1);

    TimerTick();
    RefreshList();
}

TCMain::~TCMain() {
    // The window outlives the controller: it must not call back.
    for (widgets::ListView* list : {&MainForm->lsvProcesses, &MainForm->lsvModules}) {
        list->SetFittedColumn(kPathColumn, nullptr);
        list->SetRowFiller(nullptr);
    }
    MainForm->OnEndSession = nullptr;
    MainForm->OnDpiChanged = nullptr;
    widgets::Application::Instance().OnHoldEnded = nullptr;
    FindModule.reset();
    StoreSettingsAtExit();
    Timer.reset();
}

void TCMain::CollectSettings() {
    TCRegistry& settings = Settings();
    for (int i = 0; i < kProcessColumns; ++i) {
        int width = MainForm->lsvProcesses.ColumnWidth(i);
        if (width != 0) settings.Items[i].Width = width;
    }
}

void TCMain::ListResize() { Countdown = 1; }

void TCMain::DetachRefreshHandlers() {
    Timer->SetEnabled(false);
    Timer->OnTimer = nullptr;
    MainForm->lsvProcesses.OnResize = nullptr;
}

void TCMain::AttachRefreshHandlers() {
    Countdown = 600;
    MainForm->lsvProcesses.OnResize = [this] { ListResize(); };
    Timer->SetInterval(1000);
    Timer->OnTimer = [this] { TimerTick(); };
    Timer->SetEnabled(true);
}

void TCMain::RefreshList() {
    // The handlers come back on every path, also when an error passes, so
    // one bad row cannot stop the status bar and the automatic refresh.
    struct Reattach {
        TCMain* self;
        ~Reattach() { self->AttachRefreshHandlers(); }
    };
    DetachRefreshHandlers();
    Reattach reattach{this};

    widgets::ListView& list = MainForm->lsvProcesses;
    int selected = list.SelectedRow();
    ApplyColumnLayout();
    {
        TStringList paths;
        if (!ListProcesses(paths, true)) paths.clear();
        FillList(list, MainForm->ProcessIconList, paths, false);
    }
    int index = selected < list.RowCount() - 1 ? selected : list.RowCount() - 1;
    list.SelectRow(index);
    if (index >= 0) list.FocusRow(index);
}

// The rows' icons and texts are read when the list first needs them: to
// draw them, find, copy or tip them, or between messages. A row whose path
// and id are the ones its place had keeps its content.
void TCMain::FillList(widgets::ListView& list, widgets::ImageList& images, const TStringList& paths,
                      bool isModuleList) {
    // A module row shows the first listed process that runs from the
    // module's file: the process rows know every process of the last refresh.
    if (isModuleList) moduleOwners_ = ListedProcesses();
    std::vector<widgets::ListView::RowKey> keys;
    keys.reserve(paths.size());
    for (const TStringListEntry& entry : paths) keys.push_back({entry.Text, entry.Data});
    list.SetRowFiller([this, &list, &images, isModuleList](int row) { FillRow(list, images, row, isModuleList); });
    list.ReplaceRows(std::move(keys));
}

// The images of the icons are added once for the whole run: each costs a
// round trip to the system.
void TCMain::FillRow(widgets::ListView& list, widgets::ImageList& images, int row, bool isModuleList) {
    const std::string path = list.RowData(row);
    DWORD processId = isModuleList ? FindProcessId(moduleOwners_, path) : static_cast<DWORD>(list.RowValue(row));
    TFileInfoItem& item = LookupFileInfo(path, ProcessIdText(processId), isModuleList);
    std::vector<std::string> cells(isModuleList ? 6 : 7, "-");
    cells[0] = item.Product == "-" ? FileNamePart(item.FileName) : item.Product;
    cells[1] = item.Company;
    cells[2] = item.Description;
    // Shortened by the list to the room its column gives it when shown.
    cells[3] = item.FileName;
    cells[4] = item.Version;
    if (!isModuleList) cells[kPidSubItem] = item.PidText;
    list.SetRow(row, images.SharedImage(item.ImageKey, item.Icon.get()), std::move(cells), item.FileName);
}

TStringList TCMain::ListedProcesses() const {
    const widgets::ListView& list = MainForm->lsvProcesses;
    TStringList listed;
    listed.reserve(static_cast<size_t>(list.RowCount()));
    for (int row = 0; row < list.RowCount(); ++row) listed.push_back({list.RowData(row), list.RowValue(row)});
    return listed;
}

void TCMain::ShowModules() {
    std::int32_t processId = FocusedProcessId();
    TStringList modules;
    // A process that refuses to be read says why in the empty list, so it
    // does not look like a process without modules.
    std::string reason;
    if (processId != -1 && !ListProcessModules(modules, static_cast<DWORD>(processId), false)) {
        reason = ReasonText(LastErrorText());
        modules.clear();
    }
    FillList(MainForm->lsvModules, MainForm->ModulleIconList, modules, true);
    MainForm->lsvModules.SetEmptyText(reason);
}

std::int32_t TCMain::FocusedProcessId() const {
    int row = MainForm->lsvProcesses.FocusedRow();
    if (row < 0) return -1;
    return ProcessIdFromText(MainForm->lsvProcesses.SubItem(row, kPidSubItem));
}

void TCMain::ApplyColumnLayout() {
    TfrmMain& form = *MainForm;
    TCRegistry& settings = Settings();
    for (int i : {0, 1, 2, 3, 5, 6}) {
        int current = form.lsvProcesses.ColumnWidth(i);
        if (current != 0) settings.Items[i].Width = current;
        if (settings.Items[i].Visible) {
            form.lsvProcesses.SetColumnWidth(i, settings.Items[i].Width);
        } else {
            form.lsvProcesses.SetColumnWidth(i, 0);
        }
        if (i < 6) form.lsvModules.SetColumnWidth(i, form.lsvProcesses.ColumnWidth(i));
    }
    // The module list's path column takes what its other columns leave, as
    // it does on every resize; fitting it directly spares the window twelve
    // size changes per refresh.
    form.lsvModules.FitAutoColumn();
    // Hidden, the path column stays hidden when the list later fits it to
    // a new size (a scroll bar that comes or goes, a resize, the splitter).
    form.lsvProcesses.SetColumnHidden(kPathColumn, !settings.Items[kPathColumn].Visible);
    // Shown, it takes the width that the shown columns leave beside a
    // scroll bar (the list sums them in pixels, so they fill it exactly).
    if (settings.Items[kPathColumn].Visible) form.lsvProcesses.FitAutoColumnBesideScrollBar();
}

// At a new display scale the lists keep their rows: they lay them out and
// make their images again at the new size themselves, from the file
// information read before. Nothing is listed anew, so an open question or
// menu still acts on the row it was opened for.
void TCMain::DpiChanged() {
    // Texts measure anew in the new font.
    for (int panel = 0; panel < 4; ++panel) FitPanel(panel);
}

// A panel is as wide as its text and 10 more; the process count has its
// designed width, or more where the font the system gives is wider than the
// design's (the text would run into the next panel).
void TCMain::FitPanel(int panel) {
    widgets::StatusBar& status = MainForm->stbStatus;
    int width = status.TextWidth(status.PanelText(panel)) + 10;
    if (panel == 3) width = std::max(TfrmMain::ProcessCountPanelWidth, width);
    status.SetPanelWidth(panel, width);
}

void TCMain::ItemsMenuClick() {
    for (int i = 0; i < kProcessColumns; ++i) MainForm->mniItem[i]->SetChecked(Settings().Items[i].Visible);
}

void TCMain::ItemClick(widgets::MenuItem& item) {
    int tag = item.Tag();
    if (tag < 0 || tag >= kProcessColumns) return;
    Settings().Items[tag].Visible = !item.Checked();
    RefreshList();
}

void TCMain::TimerTick() {
    widgets::StatusBar& status = MainForm->stbStatus;
    std::string memory = "Memory used: " + std::to_string(static_cast<unsigned>(MemoryLoadPercent())) + "%";
    // The same text keeps its width.
    if (memory != status.PanelText(2)) {
        status.SetPanelText(2, memory);
        FitPanel(2);
    }
    std::string count = "Process count: " + std::to_string(MainForm->lsvProcesses.RowCount());
    if (count != status.PanelText(3)) {
        status.SetPanelText(3, count);
        FitPanel(3);
    }
    status.SetPanelText(4, "Uptime: " + UptimeText());
    if (--Countdown < 1) {
        // Not under an open menu or question: the rows would move under the
        // command a person chose there. It runs once the last one closes.
        if (widgets::Application::Instance().Holding()) {
            Countdown = 0;
            // A hold that began before the quick tick of the last one's end.
            if (Timer->Interval() != 1000) Timer->SetInterval(1000);
            return;
        }
        Countdown = 600;
        RefreshList();
    }
}

TCFindModule& TCMain::FindModuleWindow() {
    if (!FindModule) {
        FindModule = std::make_unique<TCFindModule>(MainForm->Handle());
        FindModule->OnSelectProcess = [this](std::uint32_t processId) { return SelectProcess(processId); };
    }
    return *FindModule;
}

void TCMain::FindModuleClick() {
    const widgets::ListView& modules = MainForm->lsvModules;
    if (GetFocus() == modules.Handle() && modules.FocusedRow() >= 0) FindInAllProcessesClick();
    else FindModuleWindow().Show();
}

void TCMain::FindInAllProcessesClick() {
    const widgets::ListView& modules = MainForm->lsvModules;
    std::string path = modules.RowData(modules.FocusedRow());
    if (!path.empty()) FindModuleWindow().Find(FileNamePart(path));
}

void TCMain::UpdateFileCommands() {
    TfrmMain& form = *MainForm;
    auto hasFile = [](const widgets::ListView& list) { return HasDirectoryPart(list.RowData(list.FocusedRow())); };
    form.mniOpenFileLocation.SetEnabled(hasFile(form.lsvProcesses));
    form.mniProperties.SetEnabled(hasFile(form.lsvProcesses));
    form.mniFindInAllProcesses.SetEnabled(form.lsvModules.FocusedRow() >= 0);
    form.mniModuleFileLocation.SetEnabled(hasFile(form.lsvModules));
    form.mniModuleProperties.SetEnabled(hasFile(form.lsvModules));
}

void TCMain::FileCommandClick(const widgets::ListView& list, TShellFileCommand command) {
    const std::string path = list.RowData(list.FocusedRow());
    if (!HasDirectoryPart(path)) return;
    const bool location = command == TShellFileCommand::OpenLocation;
    if (location ? OpenFileLocation(path) : ShowFileProperties(path)) return;
    const std::string reason = ReasonText(LastErrorText());
    MessageDlg((location ? "Can not open the location of " : "Can not show the properties of ") + path + ".\r\n" +
                   reason,
               DialogKind::Error, DialogButtons::OK);
}

bool TCMain::SelectProcess(std::uint32_t processId) {
    widgets::ListView& list = MainForm->lsvProcesses;
    const std::string idText = ProcessIdText(processId);
    int row = RowOfProcess(list, idText, 0);
    // Started since the last refresh: the person asked for it, so the list
    // is read again, also under the search window.
    if (row < 0) {
        RefreshList();
        row = RowOfProcess(list, idText, 0);
    }
    if (row < 0) return false;
    list.SelectRow(row);
    list.FocusRow(row);
    list.ScrollIntoView(row);
    ShowModules();
    TJclAppInstances::BringWindowToFront(MainForm->Handle());
    SetFocus(list.Handle());
    return true;
}

// A timer message comes only when no other waits, so the command chosen in
// the menu that closed runs first.
void TCMain::HoldEnded() {
    if (Countdown < 1) Timer->SetInterval(1);
}

void TCMain::MenuClick(widgets::MenuItem& sender) {
    TfrmMain& form = *MainForm;
    if (&sender == &form.mniExit) {
        form.Close();
    } else if (&sender == &form.mniShutdownprocess) {
        ShutdownProcess();
    } else if (&sender == &form.mniMinimize) {
        MinimizeAllWindows(form.Handle());
    } else if (&sender == &form.mniStartscreensaver) {
        StartScreenSaver();
    } else if (&sender == &form.mniLogout) {
        SessionCommand("All unsaved data will be lost.\r\nContinue to logout?", true, false, false);
    } else if (&sender == &form.mniSwitch) {
        SwitchToProcess();
    } else if (&sender == &form.mniReboot) {
        SessionCommand("All unsaved data will be lost.\r\nContinue to reboot?", false, true, false);
    } else if (&sender == &form.mniShutdowncomputer) {
        SessionCommand("All unsaved data will be lost.\r\nContinue to shutdown?", false, false, true);
    }
}

void TCMain::SessionCommand(const char* question, bool logoff, bool reboot, bool shutdown) {
    if (MessageDlg(question, DialogKind::Warning, DialogButtons::OKCancel) != DialogResult::OK) return;
    // A refused request (an account without the shutdown privilege) leaves
    // the machine running, so the program stays too and says why.
    if (!ExitSession(logoff, reboot, shutdown, false)) {
        MessageDlg(LastErrorText(), DialogKind::Error, DialogButtons::OK);
        return;
    }
    MainForm->Close();
}

void TCMain::SwitchToProcess() {
    std::int32_t processId = FocusedProcessId();
    if (processId == -1) return;
    HWND window = MainWindowOfProcess(static_cast<DWORD>(processId));
    if (window) TJclAppInstances::BringWindowToFront(window);
}

void TCMain::ShutdownProcess() {
    widgets::ListView& list = MainForm->lsvProcesses;
    int row = list.FocusedRow();
    std::int32_t processId = FocusedProcessId();
    std::string name = row >= 0 ? list.SubItem(row, 0) : std::string();
    const std::string cannot = "Can not terminate " + name + ".";
    if (processId == -1) {
        MessageDlg(cannot, DialogKind::Information, DialogButtons::OK);
        return;
    }
    // Windows stops at once when one ends: refused before any question.
    if (IsCriticalProcess(static_cast<DWORD>(processId))) {
        MessageDlg(cannot + "\r\nIt is a critical process of the system: Windows stops at once when it ends.",
                   DialogKind::Information, DialogButtons::OK);
        return;
    }
    try {
        if (MessageDlg("Do you want to terminate " + name + "?" + "\r\n" +
                           "Possible the system become instable or out of control.",
                       DialogKind::Warning, DialogButtons::YesNo) != DialogResult::Yes)
            return;
        // The id may have been reused since the refresh: terminate only the
        // process that still runs the row's file.
        std::string rowPath = list.RowData(row);
        std::string runningPath = ProcessImageName(static_cast<DWORD>(processId), true);
        std::string runningName = HasDirectoryPart(rowPath) ? runningPath : FileNamePart(runningPath);
        bool sameProcess =
            runningPath.empty() || rowPath.empty() || widgets::SameTextIgnoringCase(runningName, rowPath);
        bool terminated = false;
        if (sameProcess) {
            widgets::UniqueKernelHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(processId)));
            terminated = process && TerminateProcess(process.get(), 0);
        }
        if (terminated) list.DeleteRow(RowOfProcess(list, ProcessIdText(static_cast<DWORD>(processId)), row));
        else MessageDlg(cannot, DialogKind::Information, DialogButtons::OK);
    } catch (...) {
        MessageDlg(cannot, DialogKind::Information, DialogButtons::OK);
    }
}
