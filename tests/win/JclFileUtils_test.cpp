#include "sysinfo/JclFileUtils.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const std::string SystemDir = "C:\\windows\\system32\\";

std::vector<std::string> VersionedSystemFiles() {
    std::vector<std::string> files;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((SystemDir + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return files;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        std::string path = SystemDir + found.cFileName;
        DWORD handle = 0;
        if (GetFileVersionInfoSizeA(path.c_str(), &handle) > 0) files.push_back(path);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return files;
}

std::string OwnExe() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

// The system's own answers, from its copy of the resource.
class SystemVersionInfo {
public:
    explicit SystemVersionInfo(const std::string& path) {
        DWORD handle = 0;
        DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
        buffer_.resize(size);
        ok_ = size > 0 && GetFileVersionInfoA(path.c_str(), handle, size, buffer_.data());
    }
    bool Ok() const { return ok_; }

    bool Query(const std::string& subBlock, void*& value, UINT& length) {
        value = nullptr;
        length = 0;
        return VerQueryValueA(buffer_.data(), subBlock.c_str(), &value, &length) && value;
    }

    bool String(const std::string& table, const char* key, std::string& text) {
        void* value;
        UINT length;
        if (!Query("\\StringFileInfo\\" + table + "\\" + key, value, length)) return false;
        text = length ? static_cast<const char*>(value) : "";
        return true;
    }

    std::vector<std::uint32_t> Translations() {
        void* value;
        UINT length;
        std::vector<std::uint32_t> words;
        if (Query("\\VarFileInfo\\Translation", value, length)) {
            words.resize(length / 4);
            std::memcpy(words.data(), value, words.size() * 4);
        }
        return words;
    }

private:
    std::vector<std::uint8_t> buffer_;
    bool ok_ = false;
};

std::string TableKey(std::uint32_t languageAndCodePage) {
    char key[16];
    std::snprintf(key, sizeof key, "%04X%04X", languageAndCodePage & 0xFFFF, languageAndCodePage >> 16);
    return key;
}

}  // namespace

// Every versioned system file: the twelve keys of the first table, the fixed
// block and the translations must be what VerQueryValueA answers.
TEST(FileVersionConformance, MatchesTheSystemOnEverySystemFile) {
    std::vector<std::string> files = VersionedSystemFiles();
    ASSERT_GT(files.size(), 100u);
    int withStrings = 0;
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        SystemVersionInfo system(path);
        ASSERT_TRUE(system.Ok());
        TJclFileVersionInfo ours(path);

        void* fixed;
        UINT fixedLength;
        ASSERT_TRUE(system.Query("\\", fixed, fixedLength));
        ASSERT_EQ(fixedLength, sizeof(VS_FIXEDFILEINFO));
        VS_FIXEDFILEINFO fixedInfo = ours.FixedInfo();
        EXPECT_EQ(std::memcmp(&fixedInfo, fixed, sizeof fixedInfo), 0);

        std::vector<std::uint32_t> translations = system.Translations();
        EXPECT_EQ(ours.Translations(), translations);

        if (ours.TableLanguages().empty()) {
            // No table found by us: the system must not find one either.
            std::string text;
            for (std::uint32_t translation : translations)
                for (int i = 1; i <= 12; ++i)
                    EXPECT_FALSE(system.String(TableKey(translation), VersionKeyNames[i], text));
            continue;
        }
        std::string table = TableKey(ours.TableLanguages()[0]);
        bool any = false;
        for (int i = 1; i <= 12; ++i) {
            std::string expected;
            any |= system.String(table, VersionKeyNames[i], expected);
            EXPECT_EQ(ours.VersionKeyValue(i), expected) << VersionKeyNames[i];
        }
        // A table the system cannot find would make every comparison trivial.
        EXPECT_TRUE(any) << "table " << table;
        if (any) ++withStrings;
        // With one table and one translation both name the same language.
        if (ours.TableLanguages().size() == 1 && translations.size() == 1) {
            EXPECT_EQ(ours.TableLanguages()[0], translations[0]);
        }
    }
    EXPECT_GT(withStrings, 100);
}

TEST(VersionResourceOf, TellsFilesWithAResourceFromOthers) {
    EXPECT_FALSE(VersionResourceOf(SystemDir + "kernel32.dll").empty());
    EXPECT_TRUE(VersionResourceOf(OwnExe()).empty());
    EXPECT_TRUE(VersionResourceOf(SystemDir + "no-such-file.dll").empty());
    EXPECT_TRUE(VersionResourceOf("").empty());
}

TEST(TJclFileVersionInfo, FilesWithoutAResourceRaiseTheVersionError) {
    for (const std::string& path : {OwnExe(), SystemDir + "no-such-file.dll"}) {
        try {
            TJclFileVersionInfo info(path);
            ADD_FAILURE() << path << " gave version information";
        } catch (const EJclFileVersionInfoError& e) {
            EXPECT_STREQ(e.what(), "File contains no version information");
        }
    }
}

TEST(TJclFileVersionInfo, ErrorsBelongToTheJclFamily) {
    EXPECT_THROW(TJclFileVersionInfo(SystemDir + "no-such-file.dll"), EJclError);
}

TEST(EOSError, CarriesTheCodeAndTheSystemText) {
    EXPECT_STREQ(EOSError(0).what(), "A call to an OS function failed");
    EOSError denied(ERROR_ACCESS_DENIED);
    EXPECT_EQ(denied.ErrorCode(), 5u);
    std::string message = denied.what();
    const std::string head = "System Error.  Code: 5.\r\n";
    ASSERT_GT(message.size(), head.size());
    EXPECT_EQ(message.substr(0, head.size()), head);
    EXPECT_GT(static_cast<unsigned char>(message.back()), ' ');
}
