// Link labels on a panel of a real window, driven by mouse messages to the
// panel; the shell call is answered by the test.
#include "framework/KmxHyperlink.h"
#include "widgets/Application.h"
#include "widgets/Form.h"
#include "widgets/Label.h"
#include "widgets/PageControl.h"
#include "widgets/Panel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using widgets::Application;
using widgets::Label;
namespace color = widgets::color;

namespace {

struct LinkForm : widgets::Form {
    LinkForm() : widgets::Form("frmLinks", Style()) {
        Panel1.SetBounds(0, 0, 300, 120);
        Left.SetBounds(10, 10, 0, 0);
        Right.SetBounds(Left.Left() + Left.Width(), 10, 0, 0);  // touching
        Hinted.SetBounds(10, 40, 0, 0);
        Hinted.SetHint("not a link, but hinted");
        Plain.SetBounds(10, 70, 0, 0);
    }
    static widgets::FormStyle Style() {
        widgets::FormStyle style;
        style.clientWidth = 300;
        style.clientHeight = 200;
        return style;
    }
    widgets::Panel Panel1{Handle(), color::White};
    Label Left{Panel1, "left link"};
    Label Right{Panel1, "right link"};
    Label Hinted{Panel1, "hinted"};
    Label Plain{Panel1, "plain"};
};

bool Highlighted(const Label& label) {
    return label.Underline() && label.FontColor() == color::Blue;
}
bool AtRest(const Label& label) { return !label.Underline() && label.FontColor() == color::Black; }

struct Opened {
    HWND owner;
    std::string target;
};

class Links : public ::testing::Test {
protected:
    void SetUp() override {
        form = Application::Instance().CreateMainForm<LinkForm>();
        form->Show();
        SetShellOpenHook([this](HWND owner, const std::string& target) { opened.push_back({owner, target}); });
        LabelToLink(form->Left, "http://left.example/");
        LabelToLink(form->Right, "mailto:right@example.net");
    }
    void TearDown() override {
        SetShellOpenHook(nullptr);
        Application::Instance().DestroyMainForm();
    }
    static LPARAM Centre(const widgets::GraphicControl& control) {
        return MAKELPARAM(control.Left() + control.Width() / 2, control.Top() + control.Height() / 2);
    }
    void MoveTo(HWND container, LPARAM at) { SendMessageA(container, WM_MOUSEMOVE, 0, at); }
    void ClickAt(HWND container, LPARAM at) {
        SendMessageA(container, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageA(container, WM_LBUTTONUP, 0, at);
    }
    HWND Panel() const { return form->Panel1.Handle(); }

    LinkForm* form = nullptr;
    std::vector<Opened> opened;
};

}  // namespace

TEST_F(Links, MovingOverLinksHighlightsOnlyTheOneUnderThePointerAndRestsEveryHintedLabel) {
    ASSERT_EQ(form->Left.Left() + form->Left.Width(), form->Right.Left());
    MoveTo(Panel(), Centre(form->Left));
    EXPECT_TRUE(Highlighted(form->Left));
    EXPECT_TRUE(AtRest(form->Right));
    // Straight onto the touching next link.
    MoveTo(Panel(), Centre(form->Right));
    EXPECT_TRUE(AtRest(form->Left));
    EXPECT_TRUE(Highlighted(form->Right));

    // The bare panel rests every label with a hint and leaves the others.
    for (Label* label : {&form->Hinted, &form->Plain}) {
        label->SetUnderline(true);
        label->SetFontColor(color::Blue);
    }
    MoveTo(Panel(), MAKELPARAM(250, 110));
    EXPECT_TRUE(AtRest(form->Left));
    EXPECT_TRUE(AtRest(form->Right));
    EXPECT_TRUE(AtRest(form->Hinted));
    EXPECT_TRUE(Highlighted(form->Plain));

    // A label that is no link does nothing under the mouse.
    form->Hinted.SetFontColor(color::Maroon);
    MoveTo(Panel(), Centre(form->Plain));
    EXPECT_EQ(form->Hinted.FontColor(), color::Maroon);
}

TEST_F(Links, AClickOpensTheLastUrlGivenOwnedByTheMainWindowAndRestsTheLinks) {
    // Pressed on a link and released elsewhere: nothing opens.
    SendMessageA(Panel(), WM_LBUTTONDOWN, MK_LBUTTON, Centre(form->Left));
    SendMessageA(Panel(), WM_LBUTTONUP, 0, MAKELPARAM(250, 110));
    EXPECT_TRUE(opened.empty());

    MoveTo(Panel(), Centre(form->Left));
    ClickAt(Panel(), Centre(form->Right));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].target, "mailto:right@example.net");
    EXPECT_EQ(opened[0].owner, form->Handle());
    EXPECT_TRUE(AtRest(form->Left));
    EXPECT_TRUE(AtRest(form->Right));

    // Linked again, a label opens only its new url.
    LabelToLink(form->Left, "http://second.example/");
    EXPECT_EQ(form->Left.Cursor(), LoadCursor(nullptr, IDC_HAND));
    ClickAt(Panel(), Centre(form->Left));
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[1].target, "http://second.example/");
}

TEST_F(Links, LinksOnATabSheetAreRestedByTheSheet) {
    widgets::PageControl pages(form->Handle(), 10);
    pages.SetBounds(0, 120, 300, 80);
    widgets::TabSheet sheet(pages, "Sheet");
    Label link(sheet, "sheet link");
    link.SetBounds(5, 5, 0, 0);
    LabelToLink(link, "http://sheet.example/");

    MoveTo(sheet.Handle(), Centre(link));
    EXPECT_TRUE(Highlighted(link));
    MoveTo(sheet.Handle(), MAKELPARAM(sheet.ClientWidth() - 2, sheet.ClientHeight() - 2));
    EXPECT_TRUE(AtRest(link));
}
