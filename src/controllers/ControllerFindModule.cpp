#include "controllers/ControllerFindModule.h"

#include "framework/KmxFileInfoClasses.h"
#include "framework/KmxFormat.h"
#include "framework/KmxMiscellaneous.h"
#include "framework/KmxPathShortening.h"
#include "sysinfo/JclAppInst.h"
#include "sysinfo/JclFileUtils.h"
#include "widgets/Utf16.h"

#include <algorithm>
#include <chrono>

using RowLook = widgets::MarkedListView::RowLook;

namespace {

// A step ends after this long, so that a key or a click waits no longer.
const std::chrono::milliseconds kStepTime(40);
// The status and the progress show anew at most this often, and the rows,
// whose list takes tens of milliseconds to draw under Wine, less often:
// each showing costs what reading several processes does.
const unsigned long long kStatusEveryMilliseconds = 500;
const unsigned long long kRowsEveryMilliseconds = 1500;
const std::size_t kSummaryNames = 3;
const int kProcessIdSubItem = TfrmFindModule::ProcessIdColumn - 1;

unsigned long long Now() {
    return static_cast<unsigned long long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

// Upper case as the system folds it for any script.
std::wstring Folded(const std::string& text) {
    std::wstring wide = widgets::Utf16(text);
    if (!wide.empty())
        LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, wide.c_str(), static_cast<int>(wide.size()), &wide[0],
                     static_cast<int>(wide.size()));
    return wide;
}

std::string Trimmed(const std::string& text) {
    std::size_t first = 0, last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= ' ') ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ') --last;
    return text.substr(first, last - first);
}

std::string Counted(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// Every running process's id and file name, without their paths (one call
// of the system from NT 6 on): the search reads a path only for a process
// that shows.
bool ListRunningProcesses(std::vector<TRunningProcess>& processes) {
    TStringList listed;
    if (!ListProcesses(listed, false)) return false;
    for (const TStringListEntry& entry : listed)
        processes.push_back({static_cast<std::uint32_t>(entry.Data), entry.Text});
    return true;
}

}  // namespace

TCFindModule::TCFindModule(HWND owner) : form_(owner) {
    form_.OnCloseQuery = [this] {
        Hide();
        return false;
    };
    form_.OnKeyPress = [this](wchar_t& key) { KeyPress(key); };
    form_.OnDpiChanged = [this] {
        // The images went with the old size: every row takes its own again.
        changedFrom_ = 0;
        ShowRows();
    };
    form_.edtFileName.OnEnter = [this] { Search(); };
    form_.btnFind.OnClick = [this] {
        if (Searching()) Stop();
        else Search();
    };
    widgets::MarkedListView& list = form_.lsvHits;
    list.OnDblClick = [this] { HitChosen(); };
    list.OnEnter = [this] { HitChosen(); };
    list.LookOfRow = [this](int row) {
        if (static_cast<std::size_t>(row) >= hits_.Count()) return RowLook::Plain;
        if (hits_.Row(static_cast<std::size_t>(row)).Unread) return RowLook::Dimmed;
        return hits_.LessCommon(static_cast<std::size_t>(row)) ? RowLook::Marked : RowLook::Plain;
    };
    list.FindTexts = [&list](int row) {
        return std::vector<std::string>{list.SubItem(row, 0), FileNamePart(list.RowData(row))};
    };
    list.SetFittedColumn(TfrmFindModule::PathColumn,
                         [](const std::string& path, int room, const widgets::ListView::TextMeasureFunction& measure) {
                             return ShortenPathToWidth(path, measure, room);
                         });
}

TCFindModule::~TCFindModule() { runner_.Stop(); }

void TCFindModule::Show() {
    if (!hold_) hold_ = std::make_unique<widgets::HeldWhileOpen>();
    form_.Show();
    TJclAppInstances::BringWindowToFront(form_.Handle());
    form_.edtFileName.Focus();
    form_.edtFileName.SelectAll();
}

void TCFindModule::Hide() {
    Stop();
    form_.SetVisible(false);
    hold_.reset();
}

void TCFindModule::Find(const std::string& text) {
    Show();
    form_.edtFileName.SetText(text);
    Search();
}

void TCFindModule::Search() {
    runner_.Stop();
    text_ = Trimmed(form_.edtFileName.Text());
    hits_.Clear();
    processes_.clear();
    files_.clear();
    processTexts_.clear();
    reasons_.clear();
    next_ = 0;
    listed_ = false;
    note_.clear();
    changedFrom_ = 0;
    form_.lsvHits.ReplaceRows(0);
    form_.prgSearch.SetPosition(0);
    if (text_.empty()) {
        state_ = State::Idle;
        note_ = "Type a file name, or a part of one.";
    } else {
        state_ = State::Searching;
        query_ = Folded(text_);
        runner_.Start([this] { return SearchStep(); });
    }
    ShowProgress(true);
}

void TCFindModule::Stop() {
    if (!runner_.Running()) return;
    runner_.Stop();
    state_ = State::Stopped;
    ShowProgress(true);
}

bool TCFindModule::SearchStep() {
    const auto start = std::chrono::steady_clock::now();
    if (!listed_) {
        listed_ = true;
        if (!ListRunningProcesses(processes_)) {
            note_ = "The running processes could not be listed: " + Trimmed(LastErrorText());
            processes_.clear();
        }
        // What the lists have read already is not read again.
        const TFileInfoCache& cache = FileInfoCache();
        for (std::size_t i = 0; i < cache.Count(); ++i) files_.emplace(cache.Items(i).FileName, &cache.Items(i));
        form_.prgSearch.SetMaximum(static_cast<int>(processes_.size()));
    }
    // The first hit shows as soon as it is found.
    const bool hadHits = hits_.Found() > 0;
    while (next_ < processes_.size() && std::chrono::steady_clock::now() - start < kStepTime) {
        SearchProcess(processes_[next_++]);
        if (!hadHits && hits_.Found() > 0) break;
    }
    const bool more = next_ < processes_.size();
    if (!more) state_ = State::Done;
    const bool firstHit = !hadHits && hits_.Found() > 0;
    if (!more || firstHit || Now() - rowsShown_ >= kRowsEveryMilliseconds) ShowProgress(true);
    else if (Now() - statusShown_ >= kStatusEveryMilliseconds) ShowProgress(false);
    return more;
}

void TCFindModule::SearchProcess(const TRunningProcess& process) {
    const std::uint32_t processId = process.Id;
    // Read only for a process that shows: its executable, which the system
    // lists first among its modules, or its path as the process list reads
    // it, else the name it is listed by.
    TStringList modules;
    std::string path;
    auto processPath = [&]() -> const std::string& {
        if (path.empty() && !modules.empty() &&
            widgets::SameTextIgnoringCase(FileNamePart(modules.front().Text), FileNamePart(process.Name)))
            path = modules.front().Text;
        if (path.empty()) path = ProcessImageName(processId, true);
        if (path.empty()) path = process.Name;
        return path;
    };
    if (!ListProcessModules(modules, processId, false)) {
        // The idle process of Windows is no program and has no modules.
        if (processId == 0) return;
        const DWORD error = GetLastError();
        TModuleHitRow row;
        row.Unread = true;
        // An id that opens nothing names a process that has ended since the
        // listing. The system's words are looked up once for each reason.
        auto reason = reasons_.find(error);
        if (reason == reasons_.end())
            reason = reasons_.emplace(error, error == ERROR_INVALID_PARAMETER ? "The process has ended."
                                                                              : Trimmed(LastErrorText())).first;
        row.Reason = reason->second;
        row.Path = processPath();
        row.FileName = FileNamePart(row.Path);
        row.Process = ProcessText(row.Path);
        row.ProcessId = processId;
        AddRow(std::move(row));
        return;
    }
    for (const TStringListEntry& module : modules) {
        const std::string name = FileNamePart(module.Text);
        const std::wstring foldedName = Folded(name);
        if (foldedName.find(query_) == std::wstring::npos) continue;
        // As the module list asks for it: with the id of the process running
        // from the file, if it is this process's own.
        const bool own = widgets::SameTextIgnoringCase(module.Text, processPath());
        const TFileInfoItem& file = FileInfo(module.Text, ProcessIdText(own ? processId : 0xFFFFFFFF));
        TModuleHitRow row;
        row.FileKey = widgets::Utf8(foldedName);
        row.PathKey = widgets::Utf8(Folded(module.Text));
        row.FileName = name;
        row.Path = module.Text;
        row.Module = file.Product == "-" ? name : file.Product;
        row.Version = file.Version;
        row.Process = ProcessText(processPath());
        row.ProcessId = processId;
        AddRow(std::move(row));
    }
}

// Read once per file for the whole run, as the module list reads it.
const TFileInfoItem& TCFindModule::FileInfo(const std::string& path, const std::string& pidText) {
    auto found = files_.find(path);
    if (found != files_.end()) return *found->second;
    const TFileInfoItem& item = LookupFileInfo(path, pidText, true);
    files_.emplace(path, &item);
    return item;
}

// As the process list names it: its product, else its file name.
const std::string& TCFindModule::ProcessText(const std::string& path) {
    auto known = processTexts_.find(path);
    if (known != processTexts_.end()) return known->second;
    auto file = files_.find(path);
    std::string text = file != files_.end() ? file->second->Product : std::string();
    if (text.empty() || text == "-") text = FileNamePart(path);
    return processTexts_.emplace(path, std::move(text)).first->second;
}

void TCFindModule::AddRow(TModuleHitRow row) { changedFrom_ = std::min(changedFrom_, hits_.Add(std::move(row))); }

void TCFindModule::ShowProgress(bool rows) {
    statusShown_ = Now();
    if (rows) {
        rowsShown_ = statusShown_;
        ShowRows();
    }
    const std::string searched = std::to_string(next_) + " of " + Counted(processes_.size(), "process", "processes");
    std::string status;
    switch (state_) {
        case State::Idle: status = note_; break;
        case State::Searching: status = listed_ ? "Searching: " + searched : "Listing the processes..."; break;
        case State::Done:
            status = note_.empty() ? "Searched " + Counted(processes_.size(), "process", "processes") : note_;
            break;
        case State::Stopped: status = "Stopped after " + searched; break;
    }
    widgets::StatusBar& bar = form_.stbSearch;
    bar.SetPanelText(0, status);
    std::string found;
    if (state_ != State::Idle) {
        found = Counted(hits_.Found(), "hit", "hits") + " in " +
                Counted(hits_.ProcessesFound(), "process", "processes");
        if (hits_.Unread() > 0) found += "; " + Counted(hits_.Unread(), "process", "processes") + " could not be read";
    }
    bar.SetPanelText(1, found);
    std::string summary = hits_.Summary(kSummaryNames);
    if (summary.empty() && state_ == State::Done && !text_.empty())
        summary = "No module's file name contains \"" + text_ + "\".";
    form_.lblSummary.SetText(summary);
    form_.prgSearch.SetPosition(static_cast<int>(next_));
    // No mnemonic: no dialog manager runs the window to give Alt+letter to a button.
    const char* button = state_ == State::Searching ? "Stop" : "Find";
    if (form_.btnFind.Text() != button) form_.btnFind.SetText(button);
}

// New rows come between the shown ones: the selected row keeps the hit it
// showed, wherever that has moved.
void TCFindModule::ShowRows() {
    widgets::MarkedListView& list = form_.lsvHits;
    const std::size_t count = hits_.Count();
    if (changedFrom_ >= count && static_cast<std::size_t>(list.RowCount()) == count) return;
    auto keyOf = [&list](int row) {
        return std::make_pair(static_cast<std::uint32_t>(ProcessIdFromText(list.SubItem(row, kProcessIdSubItem))),
                              list.RowData(row));
    };
    const int selected = list.SelectedRow(), focused = list.FocusedRow();
    const auto selectedKey = keyOf(selected), focusedKey = keyOf(focused);
    list.SetRowCount(static_cast<int>(count));
    list.BeginUpdate();
    for (std::size_t i = changedFrom_; i < count; ++i) {
        const TModuleHitRow& row = hits_.Row(i);
        list.SetRow(static_cast<int>(i), ImageOf(row), Cells(row), row.Path);
    }
    list.EndUpdate();
    changedFrom_ = count;
    if (selected >= 0) list.SelectRow(static_cast<int>(hits_.RowOf(selectedKey.first, selectedKey.second)));
    if (focused >= 0) list.FocusRow(static_cast<int>(hits_.RowOf(focusedKey.first, focusedKey.second)));
}

// Cells from column 1 on; an unread process says why in its Module cell.
std::vector<std::string> TCFindModule::Cells(const TModuleHitRow& row) const {
    return {row.Unread ? row.Reason : row.Module, row.Version, row.Path, row.Process, ProcessIdText(row.ProcessId)};
}

int TCFindModule::ImageOf(const TModuleHitRow& row) {
    if (row.Unread) return -1;
    const TFileInfoItem& file = FileInfo(row.Path, ProcessIdText(0xFFFFFFFF));
    return form_.HitIconList.SharedImage(file.ImageKey, file.Icon.get());
}

void TCFindModule::HitChosen() {
    const widgets::MarkedListView& list = form_.lsvHits;
    const int row = list.FocusedRow();
    if (row < 0 || !OnSelectProcess) return;
    const std::string idText = list.SubItem(row, kProcessIdSubItem);
    if (!OnSelectProcess(static_cast<std::uint32_t>(ProcessIdFromText(idText))))
        form_.stbSearch.SetPanelText(1, "Process " + idText + " has ended.");
}

void TCFindModule::KeyPress(wchar_t& key) {
    switch (key) {
        case 27:  // Esc: the search stops; with none running, the window closes.
            if (Searching()) Stop();
            else Hide();
            break;
        case L'\t':
            form_.TabToNextControl();
            break;
        case 6:  // Ctrl+F: back to the text
            form_.edtFileName.Focus();
            form_.edtFileName.SelectAll();
            break;
        default:
            return;
    }
    key = 0;
}
