// The program as a user starts it: its window, its lists, a clean exit, its
// size and columns kept for the next start (also when the session ends with
// it open), its rights, and its texts under a code page that is not UTF-8.
#include "support/TestSupport.h"
#include "sysinfo/JclFileUtils.h"
#include "sysinfo/JclSysInfo.h"
#include "widgets/Utf16.h"

#include <gtest/gtest.h>
#include <commctrl.h>

#include <set>
#include <tuple>
#include <vector>

using namespace testing_support;

namespace {
const int kProcessListId = 101;
const int kPidColumn = 6;

void NudgeSize(HWND window) {
    // A resize schedules a refresh at the next timer tick.
    RECT r{};
    GetWindowRect(window, &r);
    SetWindowPos(window, nullptr, 0, 0, r.right - r.left + 1, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
    SetWindowPos(window, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
}

// Processes may come and go around the two enumerations: compare the sets
// of ids, and let the program refresh again when they differ.
void ExpectOneRowPerRunningProcess(HWND window) {
    HWND processes = GetDlgItem(window, kProcessListId);
    ASSERT_NE(processes, nullptr);
    std::set<std::string> expected, shown;
    for (int attempt = 0; attempt < 8; ++attempt) {
        TStringList list;
        ASSERT_TRUE(ListProcesses(list, true));
        expected.clear();
        for (const auto& entry : list) {
            char text[16];
            wsprintfA(text, "%04X", static_cast<unsigned>(entry.Data));
            expected.insert(text);
        }
        shown.clear();
        int rows = RemoteListViewRowCount(processes);
        for (int row = 0; row < rows; ++row) shown.insert(RemoteListViewText(processes, row, kPidColumn));
        if (shown == expected && rows == static_cast<int>(list.size())) break;
        NudgeSize(window);
        Sleep(1500);
    }
    EXPECT_EQ(shown, expected);
    char self[16];
    wsprintfA(self, "%04X", static_cast<unsigned>(GetCurrentProcessId()));
    EXPECT_TRUE(shown.count(self));
}

const char kProgramKey[] = "Software\\Quillmar\\Ovrelle";

std::string StoredText(const char* section, const char* name) {
    char data[64] = {};
    DWORD size = sizeof data - 1;
    std::string key = std::string(kProgramKey) + "\\" + section;
    if (RegGetValueA(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
        return "<missing>";
    return data;
}
// Whether the process's token has the privilege enabled.
bool PrivilegeEnabled(HANDLE process, const wchar_t* name) {
    HANDLE token = nullptr;
    LUID wanted{};
    BYTE buffer[4096];
    DWORD size = 0;
    bool enabled = false;
    if (OpenProcessToken(process, TOKEN_QUERY, &token) && LookupPrivilegeValueW(nullptr, name, &wanted) &&
        GetTokenInformation(token, TokenPrivileges, buffer, sizeof buffer, &size)) {
        const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer);
        for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
            const LUID_AND_ATTRIBUTES& p = privileges->Privileges[i];
            if (p.Luid.LowPart == wanted.LowPart && p.Luid.HighPart == wanted.HighPart)
                enabled = (p.Attributes & SE_PRIVILEGE_ENABLED) != 0;
        }
    }
    if (token) CloseHandle(token);
    return enabled;
}

std::wstring Wide(const std::string& path) { return widgets::Utf16(path); }

BOOL CALLBACK FirstLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR found) {
    *reinterpret_cast<WORD*>(found) = language;
    return FALSE;
}

// A copy of the program whose manifest asks for no UTF-8 code page, as
// Windows before 10 (1903) reads every manifest: its ANSI calls would speak
// the system's code page (1252 here).
void CopyWithoutUtf8CodePage(const std::string& copy) {
    ASSERT_TRUE(CopyFileW(Wide(OvrelleExe()).c_str(), Wide(copy).c_str(), FALSE));
    HMODULE image = LoadLibraryExW(Wide(copy).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(image, nullptr);
    WORD language = 0;
    EnumResourceLanguagesW(image, MAKEINTRESOURCEW(24), MAKEINTRESOURCEW(1), FirstLanguage,
                           reinterpret_cast<LONG_PTR>(&language));
    HRSRC found = FindResourceExW(image, MAKEINTRESOURCEW(24), MAKEINTRESOURCEW(1), language);
    ASSERT_NE(found, nullptr);
    std::string manifest(static_cast<const char*>(LockResource(LoadResource(image, found))),
                         SizeofResource(image, found));
    FreeLibrary(image);
    size_t start = manifest.find("<activeCodePage"), end = manifest.find("</activeCodePage>");
    ASSERT_NE(start, std::string::npos);
    manifest.erase(start, end + 17 - start);
    HANDLE update = BeginUpdateResourceW(Wide(copy).c_str(), FALSE);
    ASSERT_NE(update, nullptr);
    ASSERT_TRUE(UpdateResourceW(update, MAKEINTRESOURCEW(24), MAKEINTRESOURCEW(1), language, manifest.data(),
                                static_cast<DWORD>(manifest.size())));
    ASSERT_TRUE(EndUpdateResourceW(update, FALSE));
}

}  // namespace

TEST(EndToEnd, ShowsEveryProcessAndRemembersItsSizeAndColumnsAcrossRestartsAndTheEndOfTheSession) {
    RegDeleteTreeA(HKEY_CURRENT_USER, kProgramKey);
    {
        ChildProcess app(OvrelleExe());
        HWND window = WaitForWindow(app.Id(), "Ovrelle");
        ASSERT_NE(window, nullptr) << "no main window titled Ovrelle";
        // Started by an administrator, it reads what an administrator may.
        EXPECT_TRUE(PrivilegeEnabled(app.Handle(), L"SeDebugPrivilege"));
        ExpectOneRowPerRunningProcess(window);
        // The shell library comes with the first module list or link, not before.
        TStringList modules;
        ASSERT_TRUE(ListProcessModules(modules, app.Id(), false));
        for (const auto& module : modules) {
            std::string name = FileNamePart(module.Text);
            for (char& c : name) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
            EXPECT_NE(name, "shell32.dll");
        }
        SetWindowPos(window, nullptr, 0, 0, 700, 450, SWP_NOMOVE | SWP_NOZORDER);
        PostMessageA(window, WM_CLOSE, 0, 0);
        ASSERT_EQ(app.WaitExit(15000), 0u);
    }
    EXPECT_EQ(StoredText("Forms", "frmMainWidth"), "700");
    EXPECT_EQ(StoredText("Forms", "frmMainHeight"), "450");
    EXPECT_NE(StoredText("Forms", "frmMainTop"), "<missing>");
    EXPECT_NE(StoredText("Forms", "frmMainLeft"), "<missing>");
    EXPECT_EQ(StoredText("Items", "1width"), "235");
    EXPECT_EQ(StoredText("Items", "5visible"), "0");

    // Again, and the session ends with it open, as the system ends it: what
    // a close stores is stored; an end that is cancelled stores nothing.
    {
        ChildProcess app(OvrelleExe());
        HWND window = WaitForWindow(app.Id(), "Ovrelle");
        ASSERT_NE(window, nullptr);
        RECT r{};
        GetWindowRect(window, &r);
        EXPECT_EQ(r.right - r.left, 700);
        EXPECT_EQ(r.bottom - r.top, 450);
        SetWindowPos(window, nullptr, 40, 50, 720, 480, SWP_NOZORDER);
        SendMessageW(GetDlgItem(window, kProcessListId), LVM_SETCOLUMNWIDTH, 2, MAKELPARAM(180, 0));
        ASSERT_TRUE(SendMessageW(window, WM_QUERYENDSESSION, 0, 0));
        SendMessageW(window, WM_ENDSESSION, FALSE, 0);
        EXPECT_EQ(StoredText("Forms", "frmMainWidth"), "700");
        EXPECT_TRUE(app.Running());
        ChildProcess endOfSession("C:\\windows\\system32\\wineboot.exe", "--end-session");
        EXPECT_EQ(endOfSession.WaitExit(30000), 0u);
        EXPECT_NE(app.WaitExit(15000), static_cast<DWORD>(STILL_ACTIVE));
    }
    for (const auto& [section, name, value] : {std::tuple<const char*, const char*, const char*>{"Forms", "frmMainLeft", "40"},
                                              {"Forms", "frmMainTop", "50"}, {"Forms", "frmMainWidth", "720"},
                                              {"Forms", "frmMainHeight", "480"}, {"Items", "2width", "180"},
                                              {"Items", "1width", "235"}, {"Items", "5visible", "0"}})
        EXPECT_EQ(StoredText(section, name), value) << name;

    // An installer asks it to close through the Restart Manager (the session
    // goes on): it stores as at a close and ends.
    {
        ChildProcess app(OvrelleExe());
        HWND window = WaitForWindow(app.Id(), "Ovrelle");
        ASSERT_NE(window, nullptr);
        SetWindowPos(window, nullptr, 0, 0, 760, 500, SWP_NOMOVE | SWP_NOZORDER);
        SendMessageW(window, WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP);
        EXPECT_EQ(app.WaitExit(5000), 0u);
    }
    EXPECT_EQ(StoredText("Forms", "frmMainWidth"), "760");
    RegDeleteTreeA(HKEY_CURRENT_USER, kProgramKey);
}

// A program in a Greek folder, in the program as built and in a copy whose
// manifest asks for no UTF-8 code page: both show its whole name, its icon
// and its Greek texts, read back as UTF-16.
TEST(EndToEnd, GreekPathsAndTextsReadTheSameUnderACodePageThatIsNotUtf8) {
    RegDeleteTreeA(HKEY_CURRENT_USER, kProgramKey);
    const std::string folder = WindowsPath(std::string(OVRELLE_CHILDREN_DIR) + "/../codepage");
    const std::string greek = folder + "\\Ελληνικά Εργαλεία";
    CreateDirectoryW(Wide(folder).c_str(), nullptr);
    CreateDirectoryW(Wide(greek).c_str(), nullptr);
    const std::string tool = greek + "\\Εργαλείο.exe";
    ASSERT_TRUE(CopyFileW(Wide(ChildExe("HellasChild")).c_str(), Wide(tool).c_str(), FALSE));
    const std::string copy = folder + "\\Ovrelle.exe";
    CopyWithoutUtf8CodePage(copy);
    ChildProcess child(tool, "--none" + ParentArgument());
    child.WaitIdle();

    for (const std::string& program : {OvrelleExe(), copy}) {
        ChildProcess app(program);
        HWND window = WaitForWindow(app.Id(), "Ovrelle");
        ASSERT_NE(window, nullptr) << program;
        HWND processes = GetDlgItem(window, kProcessListId);
        char id[16];
        wsprintfA(id, "%04X", static_cast<unsigned>(child.Id()));
        int row = -1;
        for (int attempt = 0; attempt < 20 && row < 0; ++attempt) {
            for (int r = 0, rows = RemoteListViewRowCount(processes); r < rows && row < 0; ++r)
                if (RemoteListViewText(processes, r, kPidColumn) == id) row = r;
            if (row < 0) Sleep(250);
        }
        ASSERT_GE(row, 0) << program;
        const std::string path = RemoteListViewText(processes, row, 4), end = "\\Ελληνικά Εργαλεία\\Εργαλείο.exe";
        EXPECT_TRUE(path.size() >= end.size() && path.compare(path.size() - end.size(), end.size(), end) == 0)
            << program << ": " << path;
        EXPECT_EQ(RemoteListViewText(processes, row, 1), "Ελληνικά Εργαλεία") << program;
        EXPECT_EQ(RemoteListViewText(processes, row, 3), "Εργαλείο προβολής") << program;
        EXPECT_GE(RemoteListViewItem(processes, row, 0).image, 0) << program;
        PostMessageA(window, WM_CLOSE, 0, 0);
        ASSERT_EQ(app.WaitExit(15000), 0u);
    }
    RegDeleteTreeA(HKEY_CURRENT_USER, kProgramKey);
}

