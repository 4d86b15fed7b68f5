// What the benchmarks check of the lists they measured, against the system
// itself and once every row has been filled: a process row's path is the one
// the system gives for the row's process (its bare name where the process
// grants no query), and every row shows its own file's version texts. Also
// the program's message loop as the benchmarks run it, with the longest
// round of the filling between messages.
#pragma once

#include "bench/BenchSupport.h"
#include "widgets/Application.h"
#include "widgets/ListView.h"
#include "widgets/Utf16.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

namespace bench {

inline std::string FileNameOf(const std::string& path) { return path.substr(path.find_last_of("\\:") + 1); }

inline bool SamePath(const std::string& a, const std::string& b) {
    std::wstring wideA = widgets::Utf16(a), wideB = widgets::Utf16(b);
    return CompareStringOrdinal(wideA.c_str(), static_cast<int>(wideA.size()), wideB.c_str(),
                                static_cast<int>(wideB.size()), TRUE) == CSTR_EQUAL;
}

// A string of a file's version resource as the system reads it, from the
// table its translation names, without surrounding blanks; empty without one.
inline std::string VersionString(const std::string& path, const wchar_t* key) {
    std::wstring file = widgets::FilePathForSystem(path);
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(file.c_str(), &handle);
    std::vector<BYTE> data(size);
    if (size == 0 || !GetFileVersionInfoW(file.c_str(), 0, size, data.data())) return {};
    struct Translation {
        WORD language, codePage;
    }* translation = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) ||
        length < sizeof *translation)
        return {};
    wchar_t name[128];
    std::swprintf(name, 128, L"\\StringFileInfo\\%04x%04x\\%ls", translation->language, translation->codePage, key);
    wchar_t* value = nullptr;
    if (!VerQueryValueW(data.data(), name, reinterpret_cast<void**>(&value), &length) || !value) return {};
    std::string text = widgets::Utf8UpToNul(value, length);
    size_t first = text.find_first_not_of(" \t\r\n"), last = text.find_last_not_of(" \t\r\n");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// The path the system gives for a process now, or empty.
inline std::string ProcessPath(DWORD processId) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (!process) return {};
    std::vector<wchar_t> path(32768);
    DWORD size = static_cast<DWORD>(path.size());
    std::string text = QueryFullProcessImageNameW(process, 0, path.data(), &size) ? widgets::Utf8(path.data(), size) : "";
    CloseHandle(process);
    return text;
}

inline bool StillRuns(DWORD processId) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    if (!process) return GetLastError() != ERROR_INVALID_PARAMETER;
    bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

// The first row whose content is not its own, as a text; empty when every
// row is filled and right. Process rows carry their process id as their
// number.
inline std::string ListFault(const widgets::ListView& list, bool processRows) {
    for (int row = 0; row < list.RowCount(); ++row)
        if (!list.RowFilled(row)) return "row " + std::to_string(row) + " was never filled";
    for (int row = 0; row < list.RowCount(); ++row) {
        const std::string path = list.RowData(row);
        const std::string where = "row " + std::to_string(row) + " (" + path + "): ";
        const DWORD processId = static_cast<DWORD>(list.RowValue(row));
        if (processRows && processId != 0) {
            std::string running = ProcessPath(processId);
            // One that grants no query shows its name; one that has ended meanwhile is left out.
            bool own = running.empty() ? path.find('\\') == std::string::npos || !StillRuns(processId)
                                       : SamePath(running, path);
            if (!own) return where + "the process runs " + (running.empty() ? "a file it does not name" : running);
        }
        if (path.find('\\') == std::string::npos) continue;
        std::string product = VersionString(path, L"ProductName");
        const std::pair<int, std::string> expected[] = {{0, product == "-" ? FileNameOf(path) : product},
                                                        {1, VersionString(path, L"CompanyName")},
                                                        {2, VersionString(path, L"FileDescription")},
                                                        {4, VersionString(path, L"FileVersion")}};
        for (const auto& [subItem, text] : expected) {
            std::string shown = list.SubItem(row, subItem);
            if (shown != text)
                return where + "cell " + std::to_string(subItem + 1) + " shows '" + shown + "', not '" + text + "'";
        }
    }
    return {};
}

// Runs the program's loop until the rows are filled (or the time is up), as
// Application::Run does between messages; answers the rounds of the filling
// in milliseconds, each as long as input could wait for it.
inline std::vector<double> FillRounds(DWORD milliseconds = 60000) {
    widgets::Application& application = widgets::Application::Instance();
    std::vector<double> rounds;
    auto start = std::chrono::steady_clock::now();
    while (application.HasIdleWork() && MillisecondsSince(start) < milliseconds) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        rounds.push_back(TimeMilliseconds([&] { application.DoIdleWork(); }));
    }
    return rounds;
}

// The longest round of FillRounds.
inline double FillEveryRow(DWORD milliseconds = 60000) {
    std::vector<double> rounds = FillRounds(milliseconds);
    return rounds.empty() ? 0.0 : *std::max_element(rounds.begin(), rounds.end());
}

// The share of the rounds that took longer than the time.
inline double ShareLongerThan(const std::vector<double>& rounds, double milliseconds) {
    if (rounds.empty()) return 0;
    return double(std::count_if(rounds.begin(), rounds.end(), [&](double r) { return r > milliseconds; })) / rounds.size();
}

// The rows the list shows now.
inline std::vector<int> RowsInView(const widgets::ListView& list) {
    int top = static_cast<int>(SendMessageW(list.Handle(), LVM_GETTOPINDEX, 0, 0));
    int perPage = static_cast<int>(SendMessageW(list.Handle(), LVM_GETCOUNTPERPAGE, 0, 0));
    std::vector<int> rows;
    for (int row = top; row < std::min(list.RowCount(), top + perPage); ++row) rows.push_back(row);
    return rows;
}

}  // namespace bench
