#include "framework/KmxModuleHits.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>
#include <utility>

namespace {

bool IsNumber(const std::string& part) {
    return !part.empty() && part.size() <= 9 &&
           std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string Counted(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

bool FoundBefore(const TModuleHitRow& a, const TModuleHitRow& b) {
    if (a.FileKey != b.FileKey) return a.FileKey < b.FileKey;
    if (int order = CompareVersions(a.Version, b.Version)) return order < 0;
    return std::tie(a.PathKey, a.ProcessId) < std::tie(b.PathKey, b.ProcessId);
}

}  // namespace

int CompareVersions(const std::string& a, const std::string& b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() || j < b.size()) {
        std::size_t endA = std::min(a.find('.', i), a.size()), endB = std::min(b.find('.', j), b.size());
        std::string partA = i < a.size() ? a.substr(i, endA - i) : std::string();
        std::string partB = j < b.size() ? b.substr(j, endB - j) : std::string();
        if (IsNumber(partA) && IsNumber(partB)) {
            long numberA = std::stol(partA), numberB = std::stol(partB);
            if (numberA != numberB) return numberA < numberB ? -1 : 1;
        } else if (partA != partB) {
            return partA < partB ? -1 : 1;
        }
        i = endA + 1;
        j = endB + 1;
    }
    return 0;
}

std::size_t TModuleHits::Add(TModuleHitRow row) {
    std::size_t at = rows_.size();
    if (!row.Unread) {
        auto found = rows_.begin() + static_cast<std::ptrdiff_t>(found_);
        at = static_cast<std::size_t>(std::upper_bound(rows_.begin(), found, row, FoundBefore) - rows_.begin());
        ++found_;
    }
    rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(at), std::move(row));
    return at;
}

void TModuleHits::Clear() {
    rows_.clear();
    found_ = 0;
}

std::size_t TModuleHits::RowOf(std::uint32_t processId, const std::string& path) const {
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].ProcessId == processId && rows_[i].Path == path) return i;
    return rows_.size();
}

std::size_t TModuleHits::ProcessesFound() const {
    std::set<std::uint32_t> processes;
    for (std::size_t i = 0; i < found_; ++i) processes.insert(rows_[i].ProcessId);
    return processes.size();
}

std::pair<std::size_t, std::size_t> TModuleHits::GroupOf(std::size_t index) const {
    const std::string& key = rows_[index].FileKey;
    std::size_t first = index, last = index + 1;
    while (first > 0 && rows_[first - 1].FileKey == key) --first;
    while (last < found_ && rows_[last].FileKey == key) ++last;
    return {first, last};
}

bool TModuleHits::LessCommon(std::size_t index) const {
    if (index >= found_) return false;
    auto [first, last] = GroupOf(index);
    std::map<std::pair<std::string, std::string>, std::size_t> processes;
    for (std::size_t i = first; i < last; ++i) ++processes[{rows_[i].Version, rows_[i].PathKey}];
    std::size_t most = 0;
    for (const auto& variant : processes) most = std::max(most, variant.second);
    return processes.size() > 1 && processes[{rows_[index].Version, rows_[index].PathKey}] < most;
}

std::string TModuleHits::GroupSummary(std::size_t first, std::size_t last) const {
    std::set<std::string> versions, folders;
    std::set<std::uint32_t> processes;
    for (std::size_t i = first; i < last; ++i) {
        versions.insert(rows_[i].Version);
        folders.insert(rows_[i].PathKey);
        processes.insert(rows_[i].ProcessId);
    }
    std::string text = rows_[first].FileName + ": " + Counted(versions.size(), "version", "versions");
    if (folders.size() > versions.size()) text += " from " + Counted(folders.size(), "folder", "folders");
    return text + " in " + Counted(processes.size(), "process", "processes");
}

std::string TModuleHits::Summary(std::size_t mostNames) const {
    std::vector<std::pair<std::size_t, std::size_t>> alike, differing;
    for (std::size_t first = 0; first < found_;) {
        auto group = GroupOf(first);
        bool differs = false;
        for (std::size_t i = group.first + 1; i < group.second; ++i)
            differs = differs || rows_[i].Version != rows_[group.first].Version ||
                      rows_[i].PathKey != rows_[group.first].PathKey;
        (differs ? differing : alike).push_back(group);
        first = group.second;
    }
    differing.insert(differing.end(), alike.begin(), alike.end());
    std::string text;
    for (std::size_t i = 0; i < differing.size() && i < mostNames; ++i)
        text += (i > 0 ? "; " : "") + GroupSummary(differing[i].first, differing[i].second);
    if (differing.size() > mostNames)
        text += "; and " + Counted(differing.size() - mostNames, "more file name", "more file names");
    return text;
}
