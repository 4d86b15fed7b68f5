// What a search for a module across the running processes found: a row for
// each module found in a process, grouped by file name, and a row for each
// process whose modules could not be read. Which versions of a file are
// loaded, from which folders and by how many processes, and which rows
// stand out for a version (or folder) fewer processes load. Plain C++: the
// caller gives names and paths folded to one case as keys.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct TModuleHitRow {
    // A process whose modules could not be read: Reason says why, Path is
    // its executable's.
    bool Unread = false;
    std::string FileKey;  // the file name folded: rows group by it
    std::string PathKey;  // the path folded: folders differ by it
    std::string FileName;
    std::string Path;
    std::string Module;  // the file's Module (product) text
    std::string Version;
    std::string Process;  // the process's Process text or file name
    std::uint32_t ProcessId = 0;
    std::string Reason;
};

class TModuleHits {
public:
    // Found rows by file name, version (numbers compared as numbers),
    // folder and process id; the unread ones after them, in the order they
    // came. Returns the row it takes; the rows from there on move down.
    std::size_t Add(TModuleHitRow row);
    void Clear();

    std::size_t Count() const { return rows_.size(); }
    const TModuleHitRow& Row(std::size_t index) const { return rows_[index]; }
    // The row of a process's module (or of the process, unread) now, or
    // Count() when there is none.
    std::size_t RowOf(std::uint32_t processId, const std::string& path) const;
    std::size_t Found() const { return found_; }
    std::size_t Unread() const { return rows_.size() - found_; }
    std::size_t ProcessesFound() const;

    // The row's file is loaded at more than one version or from more than
    // one folder, and its own version and folder by fewer processes than
    // another's.
    bool LessCommon(std::size_t index) const;
    // Per file name: "zlib1.dll: 3 versions in 5 processes" (and "from 2
    // folders" where there are more folders than versions), those with more
    // than one first; at most mostNames of them, then how many more.
    std::string Summary(std::size_t mostNames) const;

private:
    // The found rows of one file name lie side by side.
    std::pair<std::size_t, std::size_t> GroupOf(std::size_t index) const;
    std::string GroupSummary(std::size_t first, std::size_t last) const;
    std::vector<TModuleHitRow> rows_;
    std::size_t found_ = 0;
};

// Dotted versions compared part by part, numbers as numbers ("4.10" after
// "4.9"); below zero when a comes first.
int CompareVersions(const std::string& a, const std::string& b);
