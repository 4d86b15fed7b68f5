// The search window's controller: finds, in every running process, the
// modules whose file name holds a text, one small step at a time between
// the window's messages, so that hits show as they are found and the
// search stops the moment a person says so. While the window shows, the
// main list's refreshes wait as under a dialog.
#pragma once

#include "framework/KmxModuleHits.h"
#include "sysinfo/JclSysInfo.h"
#include "views/ViewFindModule.h"
#include "widgets/Application.h"
#include "widgets/StepRunner.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class TFileInfoItem;

// A running process as the search first knows it: its id and the name the
// system lists it by (its file name, or its path where the source gives it).
struct TRunningProcess {
    std::uint32_t Id;
    std::string Name;
};

class TCFindModule {
public:
    explicit TCFindModule(HWND owner);
    ~TCFindModule();
    TCFindModule(const TCFindModule&) = delete;
    TCFindModule& operator=(const TCFindModule&) = delete;

    TfrmFindModule& Form() { return form_; }
    const TModuleHits& Hits() const { return hits_; }

    // Brings the window up, its text selected for a new search.
    void Show();
    // Shows the window and searches for modules whose file name holds the text.
    void Find(const std::string& text);
    // The search ends where it is; what it found stays.
    void Stop();
    bool Searching() const { return runner_.Running(); }

    // A hit was chosen (double click, Enter): its process is to be selected
    // in the main window. False when the process has ended.
    std::function<bool(std::uint32_t processId)> OnSelectProcess;

private:
    enum class State { Idle, Searching, Done, Stopped };
    void Search();
    bool SearchStep();
    void SearchProcess(const TRunningProcess& process);
    const TFileInfoItem& FileInfo(const std::string& path, const std::string& pidText);
    const std::string& ProcessText(const std::string& path);
    void AddRow(TModuleHitRow row);
    // The rows too when asked, else the status and progress only.
    void ShowProgress(bool rows);
    void ShowRows();
    std::vector<std::string> Cells(const TModuleHitRow& row) const;
    int ImageOf(const TModuleHitRow& row);
    void HitChosen();
    void KeyPress(wchar_t& key);
    void Hide();

    TModuleHits hits_;
    widgets::StepRunner runner_;
    std::unique_ptr<widgets::HeldWhileOpen> hold_;
    State state_ = State::Idle;
    std::string text_;
    std::wstring query_;  // the text folded to upper case
    std::vector<TRunningProcess> processes_;
    std::size_t next_ = 0;
    bool listed_ = false;
    std::string note_;
    // The rows from here on are not shown as they now are.
    std::size_t changedFrom_ = 0;
    unsigned long long statusShown_ = 0;
    unsigned long long rowsShown_ = 0;
    // The file information of every path seen, and each process's text.
    std::unordered_map<std::string, const TFileInfoItem*> files_;
    std::unordered_map<std::string, std::string> processTexts_;
    std::unordered_map<unsigned long, std::string> reasons_;
    // Last: the window goes first, and with it every call to the handlers.
    TfrmFindModule form_;
};
