#include "controllers/ControllerRegistry.h"

#include "support/ProgramWindow.h"
#include "widgets/Application.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

// Every test works on its own key of this prefix's HKEY_CURRENT_USER, never
// on the program's own "Ovrelle" key. The program's round trip of its
// defaults and of a sizeable window through a restart is proven end to end.
namespace {

const char kKey[] = "Software\\Quillmar\\OvrelleStoreTest";

std::string SectionPath(const std::string& section) { return std::string(kKey) + "\\" + section; }

bool KeyExists(const std::string& path) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// The stored text, or what else is there instead.
std::string Stored(const std::string& section, const std::string& name) {
    char data[64] = {};
    DWORD type = 0, size = sizeof data - 1;
    if (RegGetValueA(HKEY_CURRENT_USER, SectionPath(section).c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND,
                     &type, data, &size) != ERROR_SUCCESS)
        return "(missing)";
    return type == REG_SZ ? data : "(type " + std::to_string(type) + ")";
}

void Store(const std::string& section, const std::string& name, DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, SectionPath(section).c_str(), name.c_str(), type, data, size),
              ERROR_SUCCESS);
}

void Store(const std::string& section, const std::string& name, const std::string& text) {
    Store(section, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

DWORD ValueCount(const std::string& section) {
    HKEY key;
    DWORD count = 0;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SectionPath(section).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    return count;
}

// A hidden top-level window with the given style and outer rectangle.
class TestWindow {
public:
    TestWindow(DWORD style, int left, int top, int width, int height)
        : handle_(CreateWindowExA(0, "STATIC", "store test", style, left, top, width, height, nullptr, nullptr,
                                  nullptr, nullptr)) {}
    ~TestWindow() { DestroyWindow(handle_); }
    HWND Handle() const { return handle_; }

private:
    HWND handle_;
};

const DWORD kSizeable = WS_OVERLAPPEDWINDOW;
const DWORD kFixed = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;

// "left,top widthxheight" of the outer rectangle.
std::string Bounds(const TestWindow& window) {
    RECT r{};
    GetWindowRect(window.Handle(), &r);
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + "x" +
           std::to_string(r.bottom - r.top);
}

// Its bytes read "57" as text.
const DWORD kSpellsDigits = 0x3735;

LONG WINAPI SetValueFailingFor3width(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data,
                                     DWORD size) {
    if (std::wstring(name) == L"3width") return ERROR_ACCESS_DENIED;
    return RegSetValueExW(key, name, reserved, type, data, size);
}

LONG WINAPI CreateKeyFailingForForms(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options,
                                     REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result,
                                     LPDWORD disposition) {
    if (std::wstring(subKey) == L"Forms") return ERROR_ACCESS_DENIED;
    return RegCreateKeyExW(key, subKey, reserved, keyClass, options, access, security, result, disposition);
}

// Tests the store alone; the program's window is never started.
class SettingsStore : public testing_support::ProgramWindowTest {
protected:
    SettingsStore() : ProgramWindowTest("Ovrelle Store Test", kKey) {}
    void TearDown() override {
        RegistryFunctions() = SystemRegistryFunctions();
        ProgramWindowTest::TearDown();
    }
    DialogResult Answer(const Dialog& dialog) override {
        EXPECT_EQ(dialog.buttons, DialogButtons::OK);
        return DialogResult::OK;
    }
    void ExpectDefaultItems(const TCRegistry& store) {
        for (int n = 0; n < TCRegistry::ItemCount; ++n) {
            EXPECT_EQ(store.Items[n].Visible, n < 5) << n;
            EXPECT_EQ(store.Items[n].Width, 0) << n;
        }
    }
};

TEST_F(SettingsStore, ItemsAreWrittenAtExitAsTextAndReadBackUnderTheCompactTitle) {
    // Spaces and apostrophes of the title do not reach the key's name.
    widgets::Application::Instance().SetTitle(" Ovrelle Store' Test ");
    {
        TCRegistry store;
        EXPECT_EQ(store.GetKeyPath(), "\\Software\\Quillmar\\OvrelleStoreTest");
        EXPECT_TRUE(KeyExists(kKey));
        ExpectDefaultItems(store);
        EXPECT_EQ(ValueCount("Items"), 0u) << "nothing is written before the exit";
        store.Items[0] = {false, 20};
        store.Items[4] = {true, 431};
        store.Items[6] = {true, -3};
    }
    EXPECT_TRUE(dialogs.empty());
    EXPECT_EQ(ValueCount("Items"), 14u);
    EXPECT_EQ(Stored("Items", "0visible"), "0");
    EXPECT_EQ(Stored("Items", "3visible"), "1");
    EXPECT_EQ(Stored("Items", "3width"), "0");
    EXPECT_EQ(Stored("Items", "4width"), "431");
    EXPECT_EQ(Stored("Items", "6width"), "-3");

    TCRegistry store;
    EXPECT_FALSE(store.Items[0].Visible);
    EXPECT_EQ(store.Items[0].Width, 20);
    EXPECT_EQ(store.Items[4].Width, 431);
    EXPECT_TRUE(store.Items[6].Visible);
    EXPECT_EQ(store.Items[6].Width, -3);
    EXPECT_FALSE(store.Items[5].Visible);
}

TEST_F(SettingsStore, PlacementKeepsTheOuterRectangleOfASizeableWindowAndOnlyThePositionOfAFixedOne) {
    {
        TestWindow sizeable(kSizeable, 110, 120, 400, 300), fixed(kFixed, 50, 60, 300, 200);
        TCRegistry store;
        store.WriteFormPlacement(sizeable.Handle(), "frmTest");
        store.WriteFormPlacement(fixed.Handle(), "frmFixed");
        store.WriteFormPlacement(nullptr, "frmNone");
    }
    EXPECT_EQ(Stored("Forms", "frmTestTop"), "120");
    EXPECT_EQ(Stored("Forms", "frmTestLeft"), "110");
    EXPECT_EQ(Stored("Forms", "frmTestWidth"), "400");
    EXPECT_EQ(Stored("Forms", "frmTestHeight"), "300");
    EXPECT_EQ(Stored("Forms", "frmFixedTop"), "60");
    EXPECT_EQ(Stored("Forms", "frmFixedLeft"), "50");
    EXPECT_EQ(ValueCount("Forms"), 6u);

    Store("Forms", "frmFixedWidth", "640");
    Store("Forms", "frmFixedHeight", "480");
    Store("Forms", "frmPartTop", "abc");
    Store("Forms", "frmPartLeft", REG_DWORD, &kSpellsDigits, sizeof kSpellsDigits);
    Store("Forms", "frmPartHeight", "250");
    TestWindow sizeable(kSizeable, 10, 20, 200, 150), fixed(kFixed, 5, 6, 250, 180),
        part(kSizeable, 70, 80, 320, 240), unknown(kSizeable, 30, 40, 300, 200);
    {
        TCRegistry store;
        store.ReadFormPlacement(sizeable.Handle(), "frmTest");
        store.ReadFormPlacement(fixed.Handle(), "frmFixed");
        store.ReadFormPlacement(part.Handle(), "frmPart");
        store.ReadFormPlacement(unknown.Handle(), "frmUnknown");
        store.ReadFormPlacement(nullptr, "frmTest");
        EXPECT_EQ(Bounds(sizeable), "110,120 400x300");
        EXPECT_FALSE(IsWindowVisible(sizeable.Handle()));
        EXPECT_EQ(Bounds(fixed), "50,60 250x180");
        // What is missing or unreadable stays as it is.
        EXPECT_EQ(Bounds(part), "70,80 320x250");
        EXPECT_EQ(Bounds(unknown), "30,40 300x200");

        // Minimised or maximised at exit: the placement stays as stored.
        ShowWindow(sizeable.Handle(), SW_MINIMIZE);
        ASSERT_TRUE(IsIconic(sizeable.Handle()));
        store.WriteFormPlacement(sizeable.Handle(), "frmTest");
        ShowWindow(part.Handle(), SW_MAXIMIZE);
        ASSERT_TRUE(IsZoomed(part.Handle()));
        store.WriteFormPlacement(part.Handle(), "frmPart");
    }
    EXPECT_EQ(Stored("Forms", "frmTestTop"), "120");
    EXPECT_EQ(Stored("Forms", "frmTestWidth"), "400");
    EXPECT_EQ(Stored("Forms", "frmPartTop"), "abc");
    EXPECT_EQ(Stored("Forms", "frmPartHeight"), "250");
    EXPECT_TRUE(dialogs.empty());
}

TEST_F(SettingsStore, AnUnusableKeyIsReportedOnceAndTheValuesStayInMemory) {
    // Longer than the 255 characters a key name may have.
    const std::string unusableTitle(300, 'x');
    widgets::Application::Instance().SetTitle(unusableTitle);
    {
        TestWindow window(kSizeable, 70, 80, 320, 240);
        TCRegistry store;
        ASSERT_EQ(dialogs.size(), 1u);
        EXPECT_EQ(dialogs[0].text, "Error reading Windows Registry.");
        EXPECT_EQ(dialogs[0].kind, DialogKind::Plain);
        ExpectDefaultItems(store);
        store.ReadFormPlacement(window.Handle(), "frmTest");
        EXPECT_EQ(Bounds(window), "70,80 320x240");
        store.WriteFormPlacement(window.Handle(), "frmTest");
    }
    EXPECT_EQ(dialogs.size(), 1u);
    EXPECT_FALSE(KeyExists("Software\\Quillmar\\" + unusableTitle));
    // Nothing strays to the root of the user's hive.
    EXPECT_FALSE(KeyExists("Forms"));
    EXPECT_FALSE(KeyExists("Items"));
}

TEST_F(SettingsStore, FailedWritesLoseNothingElseAndAreReportedOnceTogether) {
    RegistryFunctions().SetValueEx = SetValueFailingFor3width;
    RegistryFunctions().CreateKeyEx = CreateKeyFailingForForms;
    {
        TestWindow window(kSizeable, 70, 80, 320, 240);
        TCRegistry store;
        store.Items[4].Width = 300;
        store.WriteFormPlacement(window.Handle(), "frmTest");
        EXPECT_TRUE(dialogs.empty());
    }
    EXPECT_FALSE(KeyExists(SectionPath("Forms")));
    EXPECT_EQ(ValueCount("Items"), 13u);
    EXPECT_EQ(Stored("Items", "3width"), "(missing)");
    EXPECT_EQ(Stored("Items", "4width"), "300");
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].text, "Failed to create key Forms\nFailed to set data for '3width'");
    EXPECT_EQ(dialogs[0].kind, DialogKind::Error);
}

}  // namespace
