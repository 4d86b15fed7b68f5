// The program-wide cache of per-file information shown in the lists: icon and
// version strings, read once per distinct file-name text. The cache owns its
// items and each item owns its icon.
#pragma once

#include <windows.h>

#include "widgets/Handle.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class TFileInfoItem {
public:
    // Process rows ask for the file's own icon, module rows for the shell's
    // icon of the file's extension. A file without a readable or well-formed
    // version resource gives empty strings, and so does a name without a
    // folder, which gets no icon either.
    TFileInfoItem(const std::string& fileName, bool iconByExtension, const std::string& pidText);

    std::string FileName;
    // May hold no icon: null, or 1 for a file that is not an executable,
    // library or icon file. Neither is usable (bool(Icon) is false).
    widgets::UniqueIcon Icon;
    // Names what the icon shows, the same for items whose icons look alike:
    // the file name for a file's own icon, "*" and the lower-case extension
    // for the shell's icon of an extension; empty for a name without a
    // folder, which has no file to take an icon from.
    std::string ImageKey;
    std::string Product;
    std::string Company;
    std::string Description;
    std::string Version;
    std::string PidText;
};

// Items in creation order; never cleared or pruned while the program runs.
class TFileInfoCache {
public:
    std::size_t Count() const { return items_.size(); }
    TFileInfoItem& Items(std::size_t index) const { return *items_[index]; }
    TFileInfoItem& Add(std::unique_ptr<TFileInfoItem> item);

private:
    std::vector<std::unique_ptr<TFileInfoItem>> items_;
};

// Created by the first call, freed at program end with every item and icon.
TFileInfoCache& FileInfoCache();

// The item for fileName (exact, case-sensitive match), built on a miss. On a
// hit only PidText changes; the icon stays as first chosen.
TFileInfoItem& LookupFileInfo(const std::string& fileName, const std::string& pidText, bool iconByExtension);

// The first icon stored in the file, at the system's icon size, as
// ExtractIconA gives it (1 for a file that is no executable, library or
// icon file).
widgets::UniqueIcon IconOfFile(const std::string& fileName);
// The shell's small icon for files with this extension (".dll", or empty).
widgets::UniqueIcon IconOfExtension(const std::string& extension);
// The shell's icon for a name's extension; the file itself is not opened.
// Null when the shell has none. The caller owns the handle.
HICON ShellFileIcon(const std::string& name, bool small);
