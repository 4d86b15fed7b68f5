// The easter-eggs form on its own: its components, the links it prepares,
// the download click, and panels lent to another window.
#include "framework/KmxHyperlink.h"
#include "framework/KmxViewEasterEggs.h"
#include "widgets/Application.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using widgets::Application;

namespace {

const std::string Site = "http://www.quillmar.net/~quillmar/quillmar/";
const std::string Software = Site + "software";

class EasterEggs : public ::testing::Test {
protected:
    void SetUp() override {
        Application::Instance().SetTitle("Trellis Grip");
        SetShellOpenHook([this](HWND, const std::string& target) { opened.push_back(target); });
    }
    void TearDown() override { SetShellOpenHook(nullptr); }
    std::vector<std::string> opened;
};

}  // namespace

TEST_F(EasterEggs, ComponentsComeInCreationOrderWithThreeNamedPanels) {
    TEasterEggsForm form;
    std::vector<std::string> names, panels;
    for (const auto& component : form.Components()) {
        names.push_back(component.name);
        if (component.panel) panels.push_back(component.name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"PageControl1", "ElvarnTabSheet", "ElvarnPanel", "Image1",
                                               "Label1", "Label2", "UrlTabSheet", "UrlPanel", "UrlMemo",
                                               "UpdateTabSheet", "UpdatePanel", "DownloadNowLabel"}));
    EXPECT_EQ(panels, (std::vector<std::string>{"ElvarnPanel", "UrlPanel", "UpdatePanel"}));
    EXPECT_EQ(form.Components()[2].panel, &form.ElvarnPanel);
    EXPECT_FALSE(form.Visible());
    EXPECT_EQ(form.PageControl1.ActivePageIndex(), 0);
}

TEST_F(EasterEggs, PrepareLinksFillsTheMemoTheLabelAndTheDownloadAddress) {
    TEasterEggsForm form;
    form.PrepareLinks(Site, Software, "TrellisGrip");
    EXPECT_EQ(form.DownloadUrl, Software + "/download/trellisgrip.zip");
    EXPECT_EQ(form.DownloadNowLabel.Text(), "Click here to download the latest version of Trellis Grip.");
    EXPECT_EQ(form.UrlMemo.Lines(),
              (std::vector<std::string>{"", "Information:", Software + "/tgp.htm", "", "Screenshot:",
                                        Site + "images/software_trellisgrip.jpg", "", "Download:",
                                        Software + "/download/trellisgrip.zip"}));
    // A second call replaces the lines.
    form.PrepareLinks(Site, Software, "Ovrelle");
    ASSERT_EQ(form.UrlMemo.Lines().size(), 9u);
    EXPECT_EQ(form.UrlMemo.Lines()[2], Software + "/ovrelle.htm");
}

TEST_F(EasterEggs, ClickingTheDownloadLabelOpensTheDownloadAddress) {
    TEasterEggsForm form;
    form.PrepareLinks(Site, Software, "harbourlist");
    const widgets::Label& label = form.DownloadNowLabel;
    LPARAM at = MAKELPARAM(label.Left() + 5, label.Top() + 5);
    SendMessageA(form.UpdatePanel.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(form.UpdatePanel.Handle(), WM_LBUTTONUP, 0, at);
    EXPECT_EQ(opened, std::vector<std::string>{Software + "/download/links.zip"});
}

TEST_F(EasterEggs, ThePicturePanelShowsThePictureWithTheCreditsAtTheBottom) {
    TEasterEggsForm form;
    ASSERT_TRUE(form.Image1.HasBitmap());
    EXPECT_EQ(form.Image1.BitmapSize().cx, 280);
    EXPECT_EQ(form.Image1.BitmapSize().cy, 130);
    EXPECT_EQ(form.Label1.Text(), "Elvarn Quillmar");
    EXPECT_EQ(form.Label2.Text(), "This software is made by");
    int height = form.ElvarnPanel.ClientHeight();
    for (const widgets::Label* label : {&form.Label1, &form.Label2}) {
        EXPECT_GT(label->Top(), height - 24);
        EXPECT_LE(label->Top() + label->Height(), height);
    }
    EXPECT_EQ(form.Label2.Left(), 0);
    EXPECT_LT(form.Label2.Left() + form.Label2.Width(), form.Label1.Left());
    EXPECT_LE(form.Label1.Left() + form.Label1.Width(), form.ElvarnPanel.ClientWidth());
}

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
