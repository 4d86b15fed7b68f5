#include "framework/KmxFileInfoClasses.h"

#include "sysinfo/JclFileUtils.h"
#include "widgets/SystemLibrary.h"
#include "widgets/Utf16.h"

#include <shellapi.h>

#include <utility>

namespace {

std::string Trim(const std::string& text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= ' ') ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ') --last;
    return text.substr(first, last - first);
}

// From the last "." on, unless a directory or drive delimiter follows it.
std::string ExtractFileExt(const std::string& fileName) {
    std::string::size_type dot = fileName.find_last_of(".\\:");
    if (dot == std::string::npos || fileName[dot] != '.') return {};
    return fileName.substr(dot);
}

// The shell chooses an extension's icon without regard to case.
std::string ExtensionImageKey(const std::string& extension) {
    std::string key = "*" + extension;
    for (char& c : key)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return key;
}

widgets::UniqueIcon IconOfItem(const std::string& fileName, bool iconByExtension) {
    if (!HasDirectoryPart(fileName)) return widgets::UniqueIcon();
    return iconByExtension ? IconOfExtension(ExtractFileExt(fileName)) : IconOfFile(fileName);
}

}  // namespace

TFileInfoItem::TFileInfoItem(const std::string& fileName, bool iconByExtension, const std::string& pidText)
    : FileName(fileName),
      Icon(IconOfItem(fileName, iconByExtension)),
      // Every item without an icon shares the key of none.
      ImageKey(!HasDirectoryPart(fileName) ? std::string()
               : iconByExtension            ? ExtensionImageKey(ExtractFileExt(fileName))
                                            : fileName),
      PidText(pidText) {
    if (!HasDirectoryPart(FileName)) return;
    // Read once: the check and the reader take the same bytes.
    std::vector<std::uint8_t> resource = VersionResourceOf(FileName);
    if (resource.empty()) return;
    // A resource the reader rejects leaves the strings empty like a file
    // without one: the list refresh must not stop at one odd file.
    try {
        TJclFileVersionInfo info(std::move(resource));
        Product = Trim(info.VersionKeyValue(9));
        Company = Trim(info.VersionKeyValue(2));
        Description = Trim(info.VersionKeyValue(3));
        Version = Trim(info.VersionKeyValue(4));
    } catch (const EJclFileVersionInfoError&) {
    }
}

TFileInfoItem& TFileInfoCache::Add(std::unique_ptr<TFileInfoItem> item) {
    items_.push_back(std::move(item));
    return *items_.back();
}

TFileInfoCache& FileInfoCache() {
    static TFileInfoCache cache;
    return cache;
}

TFileInfoItem& LookupFileInfo(const std::string& fileName, const std::string& pidText, bool iconByExtension) {
    TFileInfoCache& cache = FileInfoCache();
    for (std::size_t i = 0; i < cache.Count(); ++i) {
        TFileInfoItem& item = cache.Items(i);
        if (item.FileName == fileName) {
            item.PidText = pidText;
            return item;
        }
    }
    return cache.Add(std::make_unique<TFileInfoItem>(fileName, iconByExtension, pidText));
}

// What ExtractIconA does, asked of user32 directly: the shell library, which
// costs a megabyte of resident memory, is loaded only when a module list or
// a link needs it.
widgets::UniqueIcon IconOfFile(const std::string& fileName) {
    HICON icon = nullptr;
    auto extract = [&icon](const std::wstring& name) {
        return PrivateExtractIconsW(name.c_str(), 0, GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON),
                                    &icon, nullptr, 1, LR_DEFAULTCOLOR);
    };
    UINT found = extract(widgets::Utf16(fileName));
    // The icon calls load the file as a library, which takes no path past
    // MAX_PATH: its short form then.
    if (found == 0xFFFFFFFF) {
        std::wstring shortPath = widgets::ShortFilePath(fileName);
        if (!shortPath.empty()) found = extract(shortPath);
    }
    // No such file, or one that is no executable, library or icon file.
    if (found == 0xFFFFFFFF) return widgets::UniqueIcon(reinterpret_cast<HICON>(1));
    return widgets::UniqueIcon(found > 0 ? icon : nullptr);
}

widgets::UniqueIcon IconOfExtension(const std::string& extension) {
    return widgets::UniqueIcon(ShellFileIcon(extension, true));
}

HICON ShellFileIcon(const std::string& name, bool small) {
    static widgets::SystemFunction<decltype(SHGetFileInfoW)> getFileInfo(widgets::Shell32Library(), "SHGetFileInfoW");
    if (!getFileInfo) return nullptr;
    SHFILEINFOW info{};
    UINT flags = SHGFI_ICON | SHGFI_USEFILEATTRIBUTES | (small ? SHGFI_SMALLICON : 0);
    std::wstring wide = widgets::Utf16(name);
    if (!getFileInfo.Get()(wide.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info, flags)) return nullptr;
    return info.hIcon;
}
