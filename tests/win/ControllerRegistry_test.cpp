#include "controllers/ControllerRegistry.h"

#include "widgets/Application.h"
#include "widgets/Dialogs.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

// Every test works on its own key of this prefix's HKEY_CURRENT_USER, never
// on the program's own "Ovrelle" key.
namespace {

const char kKey[] = "Software\\Quillmar\\OvrelleStoreTest";
// Longer than the 255 characters a key name may have.
const std::string kUnusableTitle(300, 'x');

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
    if (RegGetValueA(HKEY_CURRENT_USER, (std::string(kKey) + "\\" + section).c_str(), name.c_str(),
                     RRF_RT_ANY | RRF_NOEXPAND, &type, data, &size) != ERROR_SUCCESS)
        return "(missing)";
    return type == REG_SZ ? data : "(type " + std::to_string(type) + ")";
}

void Store(const std::string& section, const std::string& name, DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, (std::string(kKey) + "\\" + section).c_str(),
                              name.c_str(), type, data, size), ERROR_SUCCESS);
}

void Store(const std::string& section, const std::string& name, const std::string& text) {
    Store(section, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

DWORD ValueCount(const std::string& section) {
    HKEY key;
    DWORD count = 0;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, (std::string(kKey) + "\\" + section).c_str(), 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        return 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr,
                     nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return count;
}

// A hidden top-level window with the given style and outer rectangle.
class TestWindow {
public:
    TestWindow(DWORD style, int left, int top, int width, int height)
        : handle_(CreateWindowExA(0, "STATIC", "store test", style, left, top, width, height,
                                  nullptr, nullptr, nullptr, nullptr)) {}
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
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " +
           std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
}

LONG WINAPI SetValueFailingFor3width(HKEY key, LPCSTR name, DWORD reserved, DWORD type,
                                     const BYTE* data, DWORD size) {
    if (std::string(name) == "3width") return ERROR_ACCESS_DENIED;
    return RegSetValueExA(key, name, reserved, type, data, size);
}

LONG WINAPI CreateKeyFailingForForms(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass,
                                     DWORD options, REGSAM access, LPSECURITY_ATTRIBUTES security,
                                     PHKEY result, LPDWORD disposition) {
    if (std::string(subKey) == "Forms") return ERROR_ACCESS_DENIED;
    return RegCreateKeyExA(key, subKey, reserved, keyClass, options, access, security, result,
                           disposition);
}

class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override {
        savedTitle_ = widgets::Application::Instance().Title();
        widgets::Application::Instance().SetTitle("Ovrelle Store Test");
        RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
        widgets::SetDialogHook([this](const std::string& text, widgets::DialogKind kind,
                                      widgets::DialogButtons buttons) {
            dialogs.push_back({text, kind});
            EXPECT_EQ(buttons, widgets::DialogButtons::OK);
            return widgets::DialogResult::OK;
        });
    }
    void TearDown() override {
        RegistryFunctions() = SystemRegistryFunctions();
        widgets::SetDialogHook(nullptr);
        RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
        widgets::Application::Instance().SetTitle(savedTitle_);
    }

    std::vector<std::pair<std::string, widgets::DialogKind>> dialogs;

private:
    std::string savedTitle_;
};

TEST_F(SettingsStore, FirstRunCreatesTheKeyAndWritesEveryItemAsText) {
    // Spaces and apostrophes of the title do not reach the key's name.
    widgets::Application::Instance().SetTitle(" Ovrelle Store' Test ");
    {
        TCRegistry store;
        EXPECT_EQ(store.GetKeyPath(), "\\Software\\Quillmar\\OvrelleStoreTest");
        EXPECT_TRUE(KeyExists(kKey));
        for (int n = 0; n < TCRegistry::ItemCount; ++n) {
            EXPECT_EQ(store.Items[n].Visible, n < 5) << n;
            EXPECT_EQ(store.Items[n].Width, 0) << n;
        }
        EXPECT_EQ(ValueCount("Items"), 0u);
    }
    EXPECT_TRUE(dialogs.empty());
    EXPECT_EQ(ValueCount("Items"), 14u);
    for (int n = 0; n < TCRegistry::ItemCount; ++n) {
        EXPECT_EQ(Stored("Items", std::to_string(n) + "width"), "0");
        EXPECT_EQ(Stored("Items", std::to_string(n) + "visible"), n < 5 ? "1" : "0");
    }
}

TEST_F(SettingsStore, ItemsSurviveARestart) {
    {
        TCRegistry store;
        store.Items[0] = {false, 20};
        store.Items[4] = {true, 431};
        store.Items[6] = {true, -3};
    }
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

TEST_F(SettingsStore, OddStoredValuesReadAsTheirTextOrTheDefault) {
    Store("Items", "3visible", "7");
    Store("Items", "1visible", "abc");
    Store("Items", "5visible", "abc");
    Store("Items", "6visible", "-1");
    Store("Items", "0visible", "");
    Store("Items", "2visible", REG_SZ, "0", 1);  // no terminating zero
    Store("Items", "0width", "7");
    Store("Items", "1width", "abc");
    Store("Items", "2width", "-1");
    Store("Items", "3width", "99999999999");
    Store("Items", "6width", REG_EXPAND_SZ, "65", 3);
    const DWORD spellsDigits = 0x3735;  // its bytes read "57" as text
    Store("Items", "4width", REG_DWORD, &spellsDigits, sizeof spellsDigits);
    {
        TCRegistry store;
        EXPECT_TRUE(dialogs.empty());
        EXPECT_TRUE(store.Items[3].Visible);
        EXPECT_TRUE(store.Items[1].Visible);
        EXPECT_FALSE(store.Items[5].Visible);
        EXPECT_TRUE(store.Items[6].Visible);
        EXPECT_TRUE(store.Items[0].Visible);
        EXPECT_FALSE(store.Items[2].Visible);
        EXPECT_EQ(store.Items[0].Width, 7);
        EXPECT_EQ(store.Items[1].Width, 0);
        EXPECT_EQ(store.Items[2].Width, -1);
        EXPECT_EQ(store.Items[3].Width, 0);
        EXPECT_EQ(store.Items[6].Width, 65);
        EXPECT_EQ(store.Items[4].Width, 0);
    }
    // At exit every value is text again.
    EXPECT_EQ(Stored("Items", "4width"), "0");
    EXPECT_EQ(Stored("Items", "6width"), "65");
    EXPECT_EQ(Stored("Items", "1visible"), "1");
}

TEST_F(SettingsStore, SizeableWindowStoresAndRestoresItsOuterRectangle) {
    {
        TestWindow window(kSizeable, 110, 120, 400, 300);
        TCRegistry store;
        store.WriteFormPlacement(window.Handle(), "frmTest");
    }
    EXPECT_EQ(Stored("Forms", "frmTestTop"), "120");
    EXPECT_EQ(Stored("Forms", "frmTestLeft"), "110");
    EXPECT_EQ(Stored("Forms", "frmTestWidth"), "400");
    EXPECT_EQ(Stored("Forms", "frmTestHeight"), "300");

    TestWindow window(kSizeable, 10, 20, 200, 150);
    TCRegistry store;
    store.ReadFormPlacement(window.Handle(), "frmTest");
    EXPECT_EQ(Bounds(window), "110,120 400x300");
    EXPECT_FALSE(IsWindowVisible(window.Handle()));
}

TEST_F(SettingsStore, FixedBorderWindowOnlyMoves) {
    {
        TestWindow window(kFixed, 50, 60, 300, 200);
        TCRegistry store;
        store.WriteFormPlacement(window.Handle(), "frmFixed");
    }
    EXPECT_EQ(Stored("Forms", "frmFixedTop"), "60");
    EXPECT_EQ(Stored("Forms", "frmFixedLeft"), "50");
    EXPECT_EQ(ValueCount("Forms"), 2u);

    Store("Forms", "frmFixedWidth", "640");
    Store("Forms", "frmFixedHeight", "480");
    TestWindow window(kFixed, 5, 6, 250, 180);
    TCRegistry store;
    store.ReadFormPlacement(window.Handle(), "frmFixed");
    EXPECT_EQ(Bounds(window), "50,60 250x180");
}

TEST_F(SettingsStore, MaximisedOrMinimisedWindowWritesNoPlacement) {
    Store("Forms", "frmTestTop", "1");
    Store("Forms", "frmTestLeft", "2");
    TestWindow window(kSizeable, 30, 40, 300, 200);
    {
        TCRegistry store;
        ShowWindow(window.Handle(), SW_MAXIMIZE);
        ASSERT_TRUE(IsZoomed(window.Handle()));
        store.WriteFormPlacement(window.Handle(), "frmTest");
        ShowWindow(window.Handle(), SW_MINIMIZE);
        ASSERT_TRUE(IsIconic(window.Handle()));
        store.WriteFormPlacement(window.Handle(), "frmTest");
    }
    EXPECT_EQ(Stored("Forms", "frmTestTop"), "1");
    EXPECT_EQ(Stored("Forms", "frmTestLeft"), "2");
    EXPECT_EQ(ValueCount("Forms"), 2u);
    EXPECT_EQ(ValueCount("Items"), 14u);
}

TEST_F(SettingsStore, MissingOrOddPlacementValuesKeepTheWindowAsItIs) {
    TestWindow window(kSizeable, 70, 80, 320, 240);
    {
        TCRegistry store;
        store.ReadFormPlacement(window.Handle(), "frmTest");
        EXPECT_EQ(Bounds(window), "70,80 320x240");
        store.ReadFormPlacement(nullptr, "frmTest");
        store.WriteFormPlacement(nullptr, "frmTest");
    }
    EXPECT_EQ(ValueCount("Forms"), 0u);

    Store("Forms", "frmTestTop", "abc");
    const DWORD spellsDigits = 0x3735;
    Store("Forms", "frmTestLeft", REG_DWORD, &spellsDigits, sizeof spellsDigits);
    Store("Forms", "frmTestHeight", "250");
    TCRegistry store;
    store.ReadFormPlacement(window.Handle(), "frmTest");
    EXPECT_EQ(Bounds(window), "70,80 320x250");

    // Extremes are applied as read; the window survives them.
    Store("Forms", "frmTestTop", "-2147483648");
    Store("Forms", "frmTestWidth", "2147483647");
    Store("Forms", "frmTestHeight", "-5");
    store.ReadFormPlacement(window.Handle(), "frmTest");
    EXPECT_TRUE(IsWindow(window.Handle()));
    EXPECT_TRUE(dialogs.empty());
}

TEST_F(SettingsStore, UnusableKeyReportsOnceAndKeepsValuesInMemory) {
    widgets::Application::Instance().SetTitle(kUnusableTitle);
    {
        TestWindow window(kSizeable, 70, 80, 320, 240);
        TCRegistry store;
        ASSERT_EQ(dialogs.size(), 1u);
        EXPECT_EQ(dialogs[0].first, "Error reading Windows Registry.");
        EXPECT_EQ(dialogs[0].second, widgets::DialogKind::Plain);
        for (int n = 0; n < TCRegistry::ItemCount; ++n) {
            EXPECT_EQ(store.Items[n].Visible, n < 5) << n;
            EXPECT_EQ(store.Items[n].Width, 0) << n;
        }
        store.ReadFormPlacement(window.Handle(), "frmTest");
        EXPECT_EQ(Bounds(window), "70,80 320x240");
        store.WriteFormPlacement(window.Handle(), "frmTest");
    }
    EXPECT_EQ(dialogs.size(), 1u);
    EXPECT_FALSE(KeyExists("Software\\Quillmar\\" + kUnusableTitle));
    // Nothing strays to the root of the user's hive.
    EXPECT_FALSE(KeyExists("Forms"));
    EXPECT_FALSE(KeyExists("Items"));
}

TEST_F(SettingsStore, FailedWritesLoseNothingElseAndAreReportedOnce) {
    RegistryFunctions().SetValueEx = SetValueFailingFor3width;
    RegistryFunctions().CreateKeyEx = CreateKeyFailingForForms;
    {
        TestWindow window(kSizeable, 70, 80, 320, 240);
        TCRegistry store;
        store.Items[4].Width = 300;
        store.WriteFormPlacement(window.Handle(), "frmTest");
        EXPECT_TRUE(dialogs.empty());
    }
    EXPECT_FALSE(KeyExists(std::string(kKey) + "\\Forms"));
    EXPECT_EQ(ValueCount("Items"), 13u);
    EXPECT_EQ(Stored("Items", "3width"), "(missing)");
    EXPECT_EQ(Stored("Items", "4width"), "300");
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].first, "Failed to create key Forms\nFailed to set data for '3width'");
    EXPECT_EQ(dialogs[0].second, widgets::DialogKind::Error);
}

}  // namespace
