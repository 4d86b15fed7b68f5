#include "framework/KmxFileInfoClasses.h"

#include "sysinfo/JclFileUtils.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string ExistingNotepad() {
    for (const char* path : {"C:\\windows\\system32\\notepad.exe", "C:\\windows\\notepad.exe"})
        if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) return path;
    return {};
}

std::string OwnExe() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

// A scratch folder beside the test program, inside the build tree.
std::string ScratchDir() {
    std::string exe = OwnExe();
    std::string dir = exe.substr(0, exe.find_last_of('\\')) + "\\fileinfo-test";
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

// kernel32's own version resource with UTF-16 text replaced in place, each
// replacement as long as what it replaces.
Bytes PatchedKernel32Resource(const std::vector<std::pair<std::u16string, std::u16string>>& patches) {
    const char* kernel32 = "C:\\windows\\system32\\kernel32.dll";
    DWORD handle = 0;
    Bytes resource(GetFileVersionInfoSizeA(kernel32, &handle));
    EXPECT_TRUE(GetFileVersionInfoA(kernel32, handle, static_cast<DWORD>(resource.size()), resource.data()));
    resource.resize(resource[0] | resource[1] << 8);
    for (const auto& [from, to] : patches) {
        auto bytes = [](const std::u16string& text) {
            Bytes out;
            for (char16_t c : text) out.insert(out.end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8)});
            return out;
        };
        Bytes find = bytes(from), replace = bytes(to);
        auto at = std::search(resource.begin(), resource.end(), find.begin(), find.end());
        EXPECT_TRUE(at != resource.end() && find.size() == replace.size());
        if (at != resource.end()) std::copy(replace.begin(), replace.end(), at);
    }
    return resource;
}

// A copy of this test program carrying the given version resource.
std::string ProgramWithVersion(const std::string& name, const Bytes& resource) {
    std::string path = ScratchDir() + "\\" + name;
    EXPECT_TRUE(CopyFileA(OwnExe().c_str(), path.c_str(), FALSE));
    HANDLE update = BeginUpdateResourceA(path.c_str(), FALSE);
    EXPECT_NE(update, nullptr);
    EXPECT_TRUE(UpdateResourceA(update, RT_VERSION, MAKEINTRESOURCEA(1), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                const_cast<std::uint8_t*>(resource.data()), static_cast<DWORD>(resource.size())));
    EXPECT_TRUE(EndUpdateResourceA(update, FALSE));
    return path;
}

void ExpectNoStrings(const TFileInfoItem& item) {
    EXPECT_EQ(item.Product + item.Company + item.Description + item.Version, "") << item.FileName;
}

const char kKernel32[] = "C:\\windows\\system32\\kernel32.dll";

}  // namespace

// The first lookup of a text builds the item; later ones, for a process row
// or a module row, give the same item with only the id text replaced.
TEST(LookupFileInfo, KeepsOneItemPerExactTextWithItsFirstIconAndTheLatestIdText) {
    std::string notepad = ExistingNotepad();
    ASSERT_FALSE(notepad.empty());
    long iconsBefore = widgets::UniqueIcon::Live();
    std::size_t countBefore = FileInfoCache().Count();

    TFileInfoItem& first = LookupFileInfo(notepad, "0010", false);
    EXPECT_EQ(first.PidText, "0010");
    HICON icon = first.Icon.get();
    EXPECT_EQ(widgets::UniqueIcon::Live(), iconsBefore + 1);
    TFileInfoItem& second = LookupFileInfo(notepad, "0020", true);
    EXPECT_EQ(&second, &first);
    EXPECT_EQ(second.PidText, "0020");
    EXPECT_EQ(second.Icon.get(), icon);
    EXPECT_EQ(FileInfoCache().Count(), countBefore + 1);
    EXPECT_EQ(&FileInfoCache().Items(countBefore), &first);

    TFileInfoItem& lower = LookupFileInfo(kKernel32, "", true);
    TFileInfoItem& upper = LookupFileInfo("C:\\WINDOWS\\system32\\kernel32.dll", "", true);
    EXPECT_NE(&lower, &upper);
    EXPECT_EQ(upper.FileName, "C:\\WINDOWS\\system32\\kernel32.dll");
    EXPECT_EQ(upper.Company, lower.Company);
    EXPECT_EQ(widgets::UniqueIcon::Live(), iconsBefore + 3);

    TFileInfoItem& bare = LookupFileInfo("System Idle Process", "0000", false);
    EXPECT_FALSE(bare.Icon);
    ExpectNoStrings(bare);
    EXPECT_EQ(widgets::UniqueIcon::Live(), iconsBefore + 3);
}

// A process row shows the file's own icon, a module row the shell's icon of
// the extension (a library holds none of its own). Files without an icon
// give none that counts, and nothing is left behind.
TEST(TFileInfoItem, ProcessRowsTakeTheFilesOwnIconAndModuleRowsTheIconOfTheExtension) {
    std::string text = ScratchDir() + "\\plain.txt";
    HANDLE file = CreateFileA(text.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, "plain text\r\n", 12, &written, nullptr);
    CloseHandle(file);

    long iconsBefore = widgets::UniqueIcon::Live();
    {
        TFileInfoItem process(ExistingNotepad(), false, "0001");
        ASSERT_TRUE(process.Icon);
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(process.Icon.get(), &info));
        EXPECT_TRUE(info.fIcon);
        if (info.hbmColor) DeleteObject(info.hbmColor);
        if (info.hbmMask) DeleteObject(info.hbmMask);

        TFileInfoItem module(kKernel32, true, "");
        EXPECT_TRUE(module.Icon);
        EXPECT_FALSE(IconOfFile(kKernel32));
        EXPECT_FALSE(module.Version.empty());
        TFileInfoItem noExtension("C:\\windows\\system32\\no-extension", true, "");
        ExpectNoStrings(noExtension);
        // Lists show one image per extension, whatever its letter case, and
        // one per file for a file's own icon.
        EXPECT_EQ(TFileInfoItem("C:\\windows\\system32\\USER32.DLL", true, "").ImageKey, module.ImageKey);
        EXPECT_NE(TFileInfoItem(kKernel32, false, "").ImageKey, module.ImageKey);
        EXPECT_NE(noExtension.ImageKey, module.ImageKey);

        widgets::UniqueIcon none = IconOfFile(text);
        EXPECT_FALSE(none);
        // Windows answers 1 for a file that is not an executable, Wine 0.
        EXPECT_LE(reinterpret_cast<UINT_PTR>(none.get()), 1u);
        EXPECT_FALSE(IconOfFile(ScratchDir() + "\\missing.exe"));
        EXPECT_EQ(widgets::UniqueIcon::Live(), iconsBefore + 3);
    }
    EXPECT_EQ(widgets::UniqueIcon::Live(), iconsBefore);

    HICON shell = ShellFileIcon(".txt", false);
    ASSERT_NE(shell, nullptr);
    DestroyIcon(shell);
}

TEST(TFileInfoItem, StringsAreTheTrimmedVersionValuesAndNoneForAMalformedResource) {
    TJclFileVersionInfo kernel32(kKernel32);
    ASSERT_EQ(kernel32.VersionKeyValue(2), "Microsoft Corporation");
    std::string path = ProgramWithVersion(
        "trimmed.exe", PatchedKernel32Resource({{u"Microsoft Corporation", u"\tMicr\u00EBsoft  Corp   \r\n"}}));
    TFileInfoItem item(path, true, "");
    EXPECT_EQ(item.Company, "Micr\xC3\xABsoft  Corp");
    EXPECT_EQ(item.Product, kernel32.VersionKeyValue(9));
    EXPECT_EQ(item.Description, kernel32.VersionKeyValue(3));
    EXPECT_EQ(item.Version, kernel32.VersionKeyValue(4));

    // A table key of "0X" and six digits is one digit short once the X goes.
    path = ProgramWithVersion("malformed.exe", PatchedKernel32Resource({{u"040904", u"0X0904"}}));
    ASSERT_FALSE(VersionResourceOf(path).empty());
    EXPECT_THROW(TJclFileVersionInfo{path}, EJclFileVersionInfoError);
    std::size_t countBefore = FileInfoCache().Count();
    TFileInfoItem& malformed = LookupFileInfo(path, "0042", false);
    ExpectNoStrings(malformed);
    EXPECT_EQ(&LookupFileInfo(path, "0043", false), &malformed);
    EXPECT_EQ(FileInfoCache().Count(), countBefore + 1);
}
