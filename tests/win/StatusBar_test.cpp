#include "widgets/StatusBar.h"
#include "widgets/Utf16.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <string>
#include <vector>

namespace {

HWND bar = nullptr;
int messagesToBar = 0;

LRESULT CALLBACK CountBarMessages(int code, WPARAM wParam, LPARAM lParam) {
    auto* call = reinterpret_cast<CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && call->hwnd == bar && (call->message == SB_SETTEXTW || call->message == SB_SETPARTS))
        ++messagesToBar;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// What the control shows: each part's text and right edge.
std::vector<std::string> ShownTexts(HWND window) {
    std::vector<std::string> texts;
    int parts = static_cast<int>(SendMessageA(window, SB_GETPARTS, 0, 0));
    for (int i = 0; i < parts; ++i) {
        wchar_t text[256] = {};
        SendMessageW(window, SB_GETTEXTW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        texts.push_back(widgets::Utf8UpToNul(text, 256));
    }
    return texts;
}

std::vector<int> ShownEdges(HWND window) {
    std::vector<int> edges(8);
    edges.resize(static_cast<size_t>(
        SendMessageA(window, SB_GETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()))));
    return edges;
}

}  // namespace

TEST(StatusBar, ShowsItsPanelsAndSendsTheControlOnlyWhatChanged) {
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 600, 200, nullptr,
                                  nullptr, nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    {
        widgets::StatusBar status(parent, 1, 5, 19);
        bar = status.Handle();
        const std::vector<std::string> texts{"User: a", "Computer: b", "Memory used: 9%", "Process count: 3",
                                             "Uptime: 01:02:03"};
        for (int i = 0; i < 5; ++i) status.SetPanelText(i, texts[static_cast<size_t>(i)]);
        status.SetPanelWidth(0, 70);
        status.SetPanelWidth(1, 80);
        status.SetPanelWidth(2, 90);
        status.SetPanelWidth(3, 100);
        EXPECT_EQ(ShownTexts(bar), texts);
        EXPECT_EQ(ShownEdges(bar), (std::vector<int>{70, 150, 240, 340, -1}));

        HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, CountBarMessages, nullptr, GetCurrentThreadId());
        ASSERT_NE(hook, nullptr);
        // A tick that finds the same memory load and count: only the uptime changes.
        status.SetPanelText(2, "Memory used: 9%");
        status.SetPanelWidth(2, 90);
        status.SetPanelText(3, "Process count: 3");
        status.SetPanelText(4, "Uptime: 01:02:04");
        EXPECT_EQ(messagesToBar, 1);
        // The load reaches 10%: the panel widens, and every text stays.
        status.SetPanelText(2, "Memory used: 10%");
        status.SetPanelWidth(2, 97);
        EXPECT_EQ(messagesToBar, 3);
        UnhookWindowsHookEx(hook);
        EXPECT_EQ(ShownTexts(bar), (std::vector<std::string>{"User: a", "Computer: b", "Memory used: 10%",
                                                             "Process count: 3", "Uptime: 01:02:04"}));
        EXPECT_EQ(ShownEdges(bar), (std::vector<int>{70, 150, 247, 347, -1}));
    }
    DestroyWindow(parent);
}
