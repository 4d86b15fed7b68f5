// The program at the display scale the test prefix runs at (96, 144 or 192
// DPI: scripts/at-scales.sh runs it at each, the wineserver restarted
// between), and moved to a monitor of another scale: what a person sees
// grows with the scale, nothing is cut or runs into its neighbour, and the
// stored layout reads the same at every scale.
#include "controllers/ControllerFindModule.h"
#include "framework/KmxViewAbout.h"
#include "support/Gui.h"
#include "support/ProgramWindow.h"
#include "support/TestSupport.h"
#include "widgets/Utf16.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

class DisplayScale : public ProgramWindowTest {
protected:
    DisplayScale() : ProgramWindowTest("Ovrelle Scale Test", "Software\\Quillmar\\OvrelleScaleTest") {}
    static int ScreenDpi() {
        HDC screen = GetDC(nullptr);
        int dpi = GetDeviceCaps(screen, LOGPIXELSX);
        ReleaseDC(nullptr, screen);
        return dpi;
    }
    HWND Status() { return Form().stbStatus.Handle(); }
    int FontHeight(HWND window) {
        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)), sizeof font, &font);
        return font.lfHeight;
    }
    // Within rounding of the designed size at the DPI.
    static void ExpectScaled(int pixels, int designed, int dpi, const std::string& what) {
        EXPECT_LE(std::abs(pixels - designed * dpi / 96), 2) << what << " at " << dpi;
    }
    // What a person sees of the window at the DPI it shows at.
    void ExpectLaidOutAt(int dpi) {
        RECT client{};
        GetClientRect(Main(), &client);
        ExpectScaled(client.right, 905, dpi, "client width");
        ExpectScaled(client.bottom, 566, dpi, "client height");
        ExpectScaled(ColumnWidth(Processes(), 0), 20, dpi, "icon column");
        ExpectScaled(ColumnWidth(Processes(), 1), 235, dpi, "Process");
        ExpectScaled(ColumnWidth(Processes(), 2), 125, dpi, "Company");
        ExpectScaled(ColumnWidth(Processes(), 3), 220, dpi, "Description");
        RECT status{};
        GetWindowRect(Status(), &status);
        ExpectScaled(status.bottom - status.top, 19, dpi, "status bar");
        EXPECT_EQ(FontHeight(Processes()), -MulDiv(8, dpi, 72)) << "8 pt at " << dpi;
        // The small icon of the DPI, whole in its column.
        int cx = 0, cy = 0;
        HIMAGELIST images = reinterpret_cast<HIMAGELIST>(SendMessageW(Processes(), LVM_GETIMAGELIST, LVSIL_SMALL, 0));
        ImageList_GetIconSize(images, &cx, &cy);
        EXPECT_EQ(cx, MulDiv(16, dpi, 96));
        EXPECT_GE(ColumnWidth(Processes(), 0), cx + 2);
        // Each panel's text, in the bar's font, clear of the separator.
        int edges[5] = {};
        SendMessageW(Status(), SB_GETPARTS, 5, reinterpret_cast<LPARAM>(edges));
        HDC dc = GetDC(Status());
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(Status(), WM_GETFONT, 0, 0)));
        for (int panel = 0; panel < 4; ++panel) {
            std::wstring text = widgets::Utf16(StatusText(Status(), panel));
            SIZE size{};
            GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
            EXPECT_LE(size.cx + MulDiv(6, dpi, 96), edges[panel] - (panel ? edges[panel - 1] : 0))
                << widgets::Utf8(text) << " at " << dpi;
        }
        SelectObject(dc, old);
        ReleaseDC(Status(), dc);
    }
};

}  // namespace

TEST_F(DisplayScale, TheWindowItsFontsAndTheAboutBoxGrowWithTheScaleAndTheStoredWidthsDoNot) {
    const int dpi = ScreenDpi();
    Start();
    ASSERT_TRUE(PumpUntil([this] { return StatusText(Status(), 3) != "Process count: 0"; }, 5000));
    ExpectLaidOutAt(dpi);
    // A text of the list's font as wide as the scale makes it (at 96 DPI
    // "Path and filename" is 85 pixels wide in the font Wine gives).
    EXPECT_GE(StringWidth(Processes(), "Path and filename"), 80 * dpi / 96);

    // The About box: its size, and labels inside their panel, none on another.
    AboutTestHooks hooks;
    hooks.versionFile = OvrelleExe();
    bool shown = false;
    hooks.shown = [&](TfrmAbout& about) {
        shown = true;
        RECT client{};
        GetClientRect(about.Handle(), &client);
        ExpectScaled(client.right, 352, dpi, "About width");
        ExpectScaled(client.bottom, 212, dpi, "About height");
        RECT panel{};
        GetClientRect(about.AboutPanel.Handle(), &panel);
        const std::vector<const widgets::Label*> labels = {&about.ProductName, &about.Version, &about.Copyright,
                                                           &about.lblDonation, &about.lblEmail, &about.lblSoftware,
                                                           &about.lblSite, &about.CopyrightLabel};
        for (size_t i = 0; i < labels.size(); ++i) {
            const RECT& a = labels[i]->PixelBounds();
            RECT inside{};
            IntersectRect(&inside, &a, &panel);
            EXPECT_TRUE(EqualRect(&inside, &a)) << labels[i]->Text() << " leaves its panel at " << dpi;
            for (size_t j = i + 1; j < labels.size(); ++j) {
                RECT both{};
                EXPECT_FALSE(IntersectRect(&both, &a, &labels[j]->PixelBounds()))
                    << labels[i]->Text() << " on " << labels[j]->Text() << " at " << dpi;
            }
        }
        about.ModalResult = TfrmAbout::Result::OK;
    };
    SetAboutTestHooks(hooks);
    ShowAbout(2002, false);
    SetAboutTestHooks({});
    EXPECT_TRUE(shown);

    // Stored in designed widths, the same at every scale.
    Stop();
    for (const auto& [name, width] : {std::pair<const char*, const char*>{"0width", "20"}, {"1width", "235"},
                                      {"2width", "125"}, {"3width", "220"}}) {
        char text[16] = {};
        DWORD size = sizeof text;
        RegGetValueA(HKEY_CURRENT_USER, (settingsKey + "\\Items").c_str(), name, RRF_RT_REG_SZ, nullptr, text, &size);
        EXPECT_STREQ(text, width) << name << " at " << dpi;
    }
}

// Moved to a monitor of another scale, the window takes the place the
// system suggests and lays itself out at the new DPI; and back.
TEST_F(DisplayScale, ANewDpiLaysTheWindowOutAgain) {
    const int dpi = ScreenDpi();
    Start();
    ClickRow(Processes(), 0);
    const int moduleRows = RowCount(Modules());
    // Within what the screen holds: to 144 from 96, to 96 from more.
    for (int other : {dpi == 96 ? 144 : 96, dpi}) {
        RECT suggested{};
        GetWindowRect(Main(), &suggested);
        RECT client{}, frame{};
        GetClientRect(Main(), &client);
        frame = suggested;
        int frameWidth = (frame.right - frame.left) - client.right, frameHeight = (frame.bottom - frame.top) - client.bottom;
        suggested.right = suggested.left + 905 * other / 96 + frameWidth;
        suggested.bottom = suggested.top + 566 * other / 96 + frameHeight;
        SendMessageW(Main(), WM_DPICHANGED, MAKEWPARAM(other, other), reinterpret_cast<LPARAM>(&suggested));
        Pump();
        ExpectLaidOutAt(other);
        EXPECT_EQ(RowCount(Modules()), moduleRows);
        EXPECT_GE(SendMessageW(Processes(), LVM_GETITEMCOUNT, 0, 0), 1);
    }
    EXPECT_EQ(dialogs.size(), 0u);
}

// Sized to 1200 x 800 pixels at 144 DPI (or as much at 96) and closed there,
// the window opens here at that designed size, 800 x 533, on the screen.
TEST_F(DisplayScale, AWindowStoredAtAnotherScaleOpensAtItsDesignedSizeOnTheScreen) {
    const int dpi = ScreenDpi(), other = dpi == 96 ? 144 : 96;
    Start();
    RECT there{0, 0, MulDiv(800, other, 96), MulDiv(533, other, 96)}, window{}, work{}, inside{};
    SendMessageW(Main(), WM_DPICHANGED, MAKEWPARAM(other, other), reinterpret_cast<LPARAM>(&there));
    Stop();
    Start();
    GetWindowRect(Main(), &window);
    ExpectScaled(window.right - window.left, 800, dpi, "width");
    ExpectScaled(window.bottom - window.top, 533, dpi, "height");
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_TRUE(IntersectRect(&inside, &window, &work) && EqualRect(&inside, &window)) << "off the screen";
}

// The search window at the scale: its size, fonts and row icons grow with
// it, and its controls lie side by side, none on another or cut.
TEST_F(DisplayScale, TheSearchWindowGrowsWithTheScale) {
    const int dpi = ScreenDpi();
    Start();
    Choose({"&Find module..."});
    TypeLetters("kernel32");
    PressKey(VK_RETURN);
    ASSERT_TRUE(PumpUntil([this] { return !controller->FindModule->Searching(); }, 30000));
    TfrmFindModule& search = controller->FindModule->Form();
    RECT client{};
    GetClientRect(search.Handle(), &client);
    ExpectScaled(client.right, 780, dpi, "search width");
    ExpectScaled(client.bottom, 420, dpi, "search height");
    HWND hits = search.lsvHits.Handle();
    ExpectScaled(ColumnWidth(hits, 1), 170, dpi, "Module");
    EXPECT_EQ(FontHeight(hits), -MulDiv(8, dpi, 72));
    EXPECT_EQ(FontHeight(search.edtFileName.Handle()), -MulDiv(8, dpi, 72));
    ASSERT_GT(RowCount(hits), 0);
    int cx = 0, cy = 0;
    ImageList_GetIconSize(search.HitIconList.Handle(), &cx, &cy);
    EXPECT_EQ(cx, MulDiv(16, dpi, 96));
    auto screen = [](HWND window) {
        RECT r{};
        GetWindowRect(window, &r);
        return r;
    };
    RECT edit = screen(search.edtFileName.Handle()), button = screen(search.btnFind.Handle()), list = screen(hits);
    EXPECT_LE(edit.right, button.left);
    EXPECT_LE(button.bottom, list.top);
    EXPECT_LE(list.bottom, screen(search.prgSearch.Handle()).top);
    RECT text{};
    GetClientRect(search.edtFileName.Handle(), &text);
    EXPECT_GE(text.bottom, MulDiv(8, dpi, 72)) << "the text box cuts its text at " << dpi;
    EXPECT_EQ(dialogs.size(), 0u);
}
