// The easter-eggs form on its own: panels lent to another window. (What the
// panels show is tested through the About box, which shows them.)
#include "framework/KmxViewEasterEggs.h"
#include "widgets/Application.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using widgets::Application;

namespace {

class EasterEggs : public ::testing::Test {
protected:
    void SetUp() override { Application::Instance().SetTitle("Trellis Grip"); }
};

}  // namespace

TEST_F(EasterEggs, APanelLentToAnotherWindowFollowsItsAnchorsAndDiesOnce) {
    TEasterEggsForm form;
    auto host = std::make_unique<widgets::Form>("frmHost", widgets::FormStyle{});
    widgets::Panel slot(host->Handle(), widgets::color::White);
    slot.SetBounds(0, 0, 342, 170);

    int labelRightGap = form.ElvarnPanel.ClientWidth() - (form.Label1.Left() + form.Label1.Width());
    int label2Bottom = form.ElvarnPanel.ClientHeight() - form.Label2.Top();
    form.ElvarnPanel.SetParent(&slot);
    EXPECT_EQ(form.ElvarnPanel.ParentContainer(), &slot);
    EXPECT_EQ(form.ElvarnPanel.ClientWidth(), 342);
    EXPECT_EQ(form.ElvarnPanel.ClientWidth() - (form.Label1.Left() + form.Label1.Width()), labelRightGap);
    EXPECT_EQ(form.ElvarnPanel.ClientHeight() - form.Label2.Top(), label2Bottom);
    RECT image = form.Image1.Bounds(), inner = form.ElvarnPanel.InnerRect();
    EXPECT_TRUE(EqualRect(&image, &inner));

    form.UpdatePanel.SetParent(&slot);
    form.UpdatePanel.SetParent(nullptr);
    EXPECT_EQ(form.UpdatePanel.ParentContainer(), nullptr);
    EXPECT_FALSE(form.UpdatePanel.Visible());
    EXPECT_TRUE(IsWindow(form.UpdatePanel.Handle()));

    // The window holding a lent panel takes it along; the form then destroys
    // only what it still has.
    HWND lent = form.ElvarnPanel.Handle();
    host.reset();
    EXPECT_FALSE(IsWindow(lent));
    EXPECT_EQ(form.ElvarnPanel.Handle(), nullptr);
}
