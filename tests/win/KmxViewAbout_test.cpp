// The About box run by ShowAbout in this process: the test posts keys,
// clicks and activations to it once it has faded in, the same way a user's
// input arrives, and reads the outcome when its wait has ended.
#include "framework/KmxHyperlink.h"
#include "framework/KmxLinks.h"
#include "framework/KmxViewAbout.h"
#include "support/Gui.h"
#include "support/TestSupport.h"
#include "sysinfo/JclFileVersionData.h"
#include "widgets/Application.h"
#include "widgets/StatusBar.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using widgets::Application;

namespace {

const char kScriptClass[] = "OvrelleAboutTestScript";
const UINT kRunStep = WM_APP + 1;

// Runs steps from the message queue, each after every message posted
// before it, so a step sees the effect of the keys posted ahead of it.
class Script {
public:
    Script() {
        WNDCLASSA wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = kScriptClass;
        RegisterClassA(&wc);
        window_ = CreateWindowA(kScriptClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
        SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~Script() { DestroyWindow(window_); }
    void Then(std::function<void()> step) {
        steps_.push_back(std::move(step));
        PostMessageA(window_, kRunStep, steps_.size() - 1, 0);
    }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<Script*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (message == kRunStep && self && wParam < self->steps_.size()) {
            self->steps_[wParam]();
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }
    HWND window_ = nullptr;
    std::vector<std::function<void()>> steps_;
};

struct MainStub : widgets::Form {
    MainStub() : widgets::Form("frmMain", widgets::FormStyle{}) {}
};

void Type(HWND window, const std::string& keys) {
    for (char key : keys) PostMessageA(window, WM_CHAR, static_cast<unsigned char>(key), 1);
}

TfrmAbout* Running = nullptr;
bool TimedOut = false;

// A box the test failed to end is ended here, so a fault fails the test
// instead of hanging it.
void CALLBACK Watchdog(HWND, UINT, UINT_PTR, DWORD) {
    if (Running && Running->ModalResult == TfrmAbout::Result::None) {
        TimedOut = true;
        Running->ModalResult = TfrmAbout::Result::Cancel;
    }
}

class About : public ::testing::Test {
protected:
    void SetUp() override {
        Application::Instance().SetTitle("Ovrelle");
        main = Application::Instance().CreateMainForm<MainStub>();
        main->Show();
        SetShellOpenHook([this](HWND, const std::string& target) { opened.push_back(target); });
        hooks.versionFile = testing_support::OvrelleExe();
        TimedOut = false;
        watchdog = SetTimer(nullptr, 0, 20000, Watchdog);
    }
    void TearDown() override {
        KillTimer(nullptr, watchdog);
        SetAboutTestHooks({});
        SetShellOpenHook(nullptr);
        Application::Instance().DestroyMainForm();
    }

    // Runs the box; `whileOpen` gets it once it has faded in.
    void Run(std::function<void(TfrmAbout&)> whileOpen, bool hideDonation = false) {
        hooks.shown = [this, whileOpen](TfrmAbout& about) {
            Running = &about;
            mainEnabledWhileOpen = IsWindowEnabled(main->Handle()) != FALSE;
            opacityWhenShown = about.Opacity();
            whileOpen(about);
        };
        hooks.closing = [this](TfrmAbout& about) {
            result = about.ModalResult;
            stillVisibleAtEnd = about.Visible();
            Running = nullptr;
        };
        SetAboutTestHooks(hooks);
        ShowAbout(2002, hideDonation);
        EXPECT_FALSE(TimedOut);
    }

    static bool Shows(TfrmAbout& about, widgets::Panel& panel) {
        return about.CurrentPanel == &panel && panel.ParentContainer() == &about.HostPanel &&
               panel.Visible();
    }

    MainStub* main = nullptr;
    AboutTestHooks hooks;
    UINT_PTR watchdog = 0;
    Script script;
    std::vector<std::string> opened;
    TfrmAbout::Result result = TfrmAbout::Result::None;
    bool mainEnabledWhileOpen = true;
    bool stillVisibleAtEnd = false;
    int opacityWhenShown = -1;
};

}  // namespace

TEST_F(About, ShowsTheProgramsVersionAndLinksAndEndsWithOk) {
    Run([](TfrmAbout& about) {
        EXPECT_EQ(about.ProductName.Text(), "Ovrelle");
        EXPECT_EQ(about.ProductName.FontHeight(), -24);  // 18 pt: at most 10 characters
        EXPECT_EQ(about.Version.Text(), "Version " + std::to_string(OVRELLE_VERSION_MAJOR) + "." +
                                            std::to_string(OVRELLE_VERSION_MINOR) + "  Build " +
                                            std::to_string(OVRELLE_VERSION_BUILD));
        EXPECT_EQ(about.Version.Left(), 12 + 177 + 8);
        EXPECT_EQ(about.Version.Top() + about.Version.Height(), 12 + 29);
        EXPECT_EQ(about.lblEmail.Text(), "Ovrelle@quillmar.net");
        EXPECT_EQ(about.lblEmail.Left() + about.lblEmail.Width(), 332);
        EXPECT_EQ(about.lblSite.Hint(), SiteUrl());
        EXPECT_EQ(about.lblSoftware.Hint(), SiteUrl() + "software");
        EXPECT_EQ(about.lblDonation.Hint(), SiteUrl() + "software/donate.htm");
        EXPECT_TRUE(about.lblDonation.Visible());
        EXPECT_NE(about.CopyrightLabel.Text().find("2002-"), std::string::npos);
        EXPECT_EQ(about.EasterEggs->DownloadUrl, SiteUrl() + "software/download/ovrelle.zip");
        EXPECT_TRUE(GetWindowLongA(about.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
        EXPECT_TRUE(Shows(about, about.AboutPanel));

        // The e-mail link opens "mailto:" and its own text.
        const auto& email = about.lblEmail;
        LPARAM at = MAKELPARAM(email.Left() + email.Width() / 2, email.Top() + email.Height() / 2);
        PostMessageA(about.AboutPanel.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageA(about.AboutPanel.Handle(), WM_LBUTTONUP, 0, at);
        PostMessageA(about.OKButton.Handle(), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(result, TfrmAbout::Result::OK);
    EXPECT_EQ(opacityWhenShown, 255);
    EXPECT_FALSE(mainEnabledWhileOpen);
    EXPECT_TRUE(IsWindowEnabled(main->Handle()));
    EXPECT_EQ(GetActiveWindow(), main->Handle());
    EXPECT_EQ(opened, std::vector<std::string>{"mailto:Ovrelle@quillmar.net"});
    EXPECT_EQ(FindWindowA(nullptr, "About"), nullptr);
}

TEST_F(About, LongTitleGetsTheSmallerFontAndDonationCanBeHidden) {
    Application::Instance().SetTitle("Ovrelle Viewer");
    Run(
        [](TfrmAbout& about) {
            EXPECT_EQ(about.ProductName.FontHeight(), -19);  // 14 pt from 11 characters on
            EXPECT_EQ(about.lblEmail.Hint(), "mailto:OvrelleViewer@quillmar.net");
            EXPECT_FALSE(about.lblDonation.Visible());
            EXPECT_TRUE(about.lblSite.Visible());
            PostMessageA(about.OKButton.Handle(), WM_KEYDOWN, VK_RETURN, 1);  // default button
        },
        true);
    EXPECT_EQ(result, TfrmAbout::Result::OK);
}

TEST_F(About, TypedWordsSwitchPanelsAndANonLetterBringsBackTheAboutPanel) {
    Run([this](TfrmAbout& about) {
        TEasterEggsForm& eggs = *about.EasterEggs;
        Type(about.Handle(), "url");
        script.Then([&] {
            EXPECT_TRUE(Shows(about, eggs.UrlPanel));
            // Nine lines as the text box counts them: none after the last.
            const std::string software = SiteUrl() + "software";
            EXPECT_EQ(testing_support::EditLines(eggs.UrlMemo.Handle()),
                      (std::vector<std::string>{"", "Information:", software + "/ovrelle.htm", "", "Screenshot:",
                                                SiteUrl() + "images/software_ovrelle.jpg", "", "Download:",
                                                software + "/download/ovrelle.zip"}));
            EXPECT_EQ(about.AboutPanel.ParentContainer(), nullptr);
            EXPECT_FALSE(about.AboutPanel.Visible());
            EXPECT_EQ(about.TypedWord, "");
            RECT host{0, 0, about.HostPanel.ClientWidth(), about.HostPanel.ClientHeight()};
            RECT panel = eggs.UrlPanel.Bounds();
            EXPECT_TRUE(EqualRect(&host, &panel));
        });
        Type(about.OKButton.Handle(), "1");  // through the focused button: the form previews it
        script.Then([&] { EXPECT_TRUE(Shows(about, about.AboutPanel)); });
        Type(about.Handle(), "elvar");
        script.Then([&] {
            EXPECT_TRUE(Shows(about, about.AboutPanel));
            EXPECT_EQ(about.TypedWord, "ELVAR");
        });
        Type(about.Handle(), "n");
        script.Then([&] {
            EXPECT_TRUE(Shows(about, eggs.ElvarnPanel));
            EXPECT_TRUE(eggs.Image1.HasBitmap());
        });
        Type(about.Handle(), "UPDATE");  // straight from one hidden panel to the next
        script.Then([&] {
            EXPECT_TRUE(Shows(about, eggs.UpdatePanel));
            EXPECT_EQ(eggs.ElvarnPanel.ParentContainer(), nullptr);
            const widgets::Label& label = eggs.DownloadNowLabel;
            EXPECT_EQ(label.Text(), "Click here to download the latest version of Ovrelle.");
            LPARAM at = MAKELPARAM(label.Left() + 5, label.Top() + 5);
            PostMessageA(eggs.UpdatePanel.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
            PostMessageA(eggs.UpdatePanel.Handle(), WM_LBUTTONUP, 0, at);
            PostMessageA(about.OKButton.Handle(), BM_CLICK, 0, 0);
        });
    });
    EXPECT_EQ(result, TfrmAbout::Result::OK);
    EXPECT_EQ(opened, std::vector<std::string>{SiteUrl() + "software/download/ovrelle.zip"});
}

TEST_F(About, AWrongFirstLetterBlocksEveryWordUntilANonLetter) {
    Run([this](TfrmAbout& about) {
        Type(about.Handle(), "uxurl");
        script.Then([&] {
            EXPECT_TRUE(Shows(about, about.AboutPanel));
            EXPECT_EQ(about.TypedWord, "UXURL");
        });
        Type(about.OKButton.Handle(), "\x1b");  // Escape only clears the word
        Type(about.Handle(), "url");
        script.Then([&] {
            EXPECT_EQ(about.ModalResult, TfrmAbout::Result::None);
            EXPECT_TRUE(Shows(about, about.EasterEggs->UrlPanel));
            PostMessageA(about.Handle(), WM_CLOSE, 0, 0);
        });
    });
    // Closing is refused (the box fades out as usual) and gives Cancel.
    EXPECT_EQ(result, TfrmAbout::Result::Cancel);
    EXPECT_TRUE(stillVisibleAtEnd);
}

TEST_F(About, LosingActivationEndsTheBoxAndLeavesTheOtherWindowActive) {
    widgets::Form other("frmOther", widgets::FormStyle{});
    Run([&](TfrmAbout&) {
        script.Then([&] {
            other.Show();
            SetActiveWindow(other.Handle());
        });
    });
    EXPECT_EQ(result, TfrmAbout::Result::Cancel);
    EXPECT_TRUE(IsWindowEnabled(main->Handle()));
    EXPECT_EQ(GetActiveWindow(), other.Handle());
}

TEST_F(About, TimersOfTheProgramKeepRunningWhileTheBoxIsOpen) {
    widgets::Timer timer;
    int ticks = 0;
    TfrmAbout* open = nullptr;
    timer.OnTimer = [&] {
        if (++ticks == 3 && open) PostMessageA(open->OKButton.Handle(), BM_CLICK, 0, 0);
    };
    timer.SetInterval(20);
    Run([&](TfrmAbout& about) {
        open = &about;
        timer.SetEnabled(true);
    });
    EXPECT_EQ(result, TfrmAbout::Result::OK);
    EXPECT_GE(ticks, 3);
}

TEST_F(About, EachBoxIsBuiltAfreshAndLeavesNoHandlesBehind) {
    long gdiObjects = widgets::UniqueGdiObject::Live();
    Run([this](TfrmAbout& about) {
        Type(about.Handle(), "elvarn");
        script.Then([&] { PostMessageA(about.OKButton.Handle(), BM_CLICK, 0, 0); });
    });
    EXPECT_EQ(widgets::UniqueGdiObject::Live(), gdiObjects);
    Run([](TfrmAbout& about) {
        EXPECT_EQ(about.CurrentPanel, &about.AboutPanel);
        EXPECT_EQ(about.TypedWord, "");
        PostMessageA(about.OKButton.Handle(), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(widgets::UniqueGdiObject::Live(), gdiObjects);
}

TEST_F(About, AFailedBuildStillEnablesTheMainWindow) {
    long gdiObjects = widgets::UniqueGdiObject::Live();
    hooks.versionFile = "Z:\\no\\such\\file.exe";
    SetAboutTestHooks(hooks);
    EXPECT_THROW(ShowAbout(2002, false), EJclFileVersionInfoError);
    EXPECT_TRUE(IsWindowEnabled(main->Handle()));

    // This test program carries no version resource: the real path fails the same way.
    hooks.versionFile.clear();
    SetAboutTestHooks(hooks);
    EXPECT_THROW(ShowAbout(2002, false), EJclFileVersionInfoError);
    EXPECT_TRUE(IsWindowEnabled(main->Handle()));
    EXPECT_EQ(FindWindowA(nullptr, "About"), nullptr);
    EXPECT_EQ(widgets::UniqueGdiObject::Live(), gdiObjects);
}
