#include "framework/KmxViewEasterEggs.h"

#include "framework/KmxHyperlink.h"
#include "framework/KmxJpeg.h"
#include "framework/KmxLinks.h"
#include "res/Resources.h"
#include "widgets/Application.h"

namespace {

enum ControlId : UINT_PTR { kPages = 201, kUrlMemo = 202 };

using widgets::Panel;
using Bevel = widgets::Panel::Bevel;

widgets::FormStyle EasterEggsStyle() {
    widgets::FormStyle style;
    style.style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    style.clientWidth = 294;
    style.clientHeight = 199;
    style.centerOnFirstShow = false;
    return style;
}

// Panels are laid out at 286 x 168, then fill their sheet (anchors move the rest).
const int kPanelWidth = 286;
const int kPanelHeight = 168;

void FillSheet(widgets::Panel& panel, widgets::TabSheet& sheet) {
    panel.SetBounds(0, 0, sheet.ClientWidth(), sheet.ClientHeight());
}

}  // namespace

TEasterEggsForm::TEasterEggsForm()
    : widgets::Form("EasterEggsForm", EasterEggsStyle()),
      PageControl1(Handle(), kPages),
      ElvarnTabSheet(PageControl1, "Elvarn"),
      ElvarnPanel(ElvarnTabSheet.Handle(), widgets::color::White, Bevel::Lowered, Bevel::Raised),
      Image1(ElvarnPanel),
      Label1(ElvarnPanel, MakerAuthor),
      Label2(ElvarnPanel, "This software is made by"),
      UrlTabSheet(PageControl1, "Url"),
      UrlPanel(UrlTabSheet.Handle(), widgets::color::White, Bevel::Lowered, Bevel::Raised),
      UrlMemo(UrlPanel.Handle(), kUrlMemo),
      UpdateTabSheet(PageControl1, "Update"),
      UpdatePanel(UpdateTabSheet.Handle(), widgets::color::White, Bevel::Lowered, Bevel::Raised),
      DownloadNowLabel(UpdatePanel, "Click here to download the latest version of this software...") {
    SetText("Easter Eggs");
    components_ = {{"PageControl1", nullptr}, {"ElvarnTabSheet", nullptr}, {"ElvarnPanel", &ElvarnPanel},
                   {"Image1", nullptr},       {"Label1", nullptr},         {"Label2", nullptr},
                   {"UrlTabSheet", nullptr},  {"UrlPanel", &UrlPanel},     {"UrlMemo", nullptr},
                   {"UpdateTabSheet", nullptr}, {"UpdatePanel", &UpdatePanel},
                   {"DownloadNowLabel", nullptr}};

    PageControl1.SetBounds(0, 0, ClientWidth(), ClientHeight());
    for (Panel* panel : {&ElvarnPanel, &UrlPanel, &UpdatePanel})
        panel->SetBounds(0, 0, kPanelWidth, kPanelHeight);

    Image1.SetFillsParent(true);
    Image1.SetCentered(true);
    try {
        std::string jpeg = ProgramResourceData(IDR_ABOUTPICTURE);
        if (!jpeg.empty()) {
            JpegPicture picture = DecodeJpeg(jpeg.data(), jpeg.size());
            Image1.SetBitmap(std::move(picture.bitmap));
        }
    } catch (const EJpegError&) {
        // A hidden picture that cannot be shown is no reason to refuse the About box.
    }

    for (widgets::Label* label : {&Label1, &Label2}) {
        label->SetFontColor(widgets::color::Gray);
        label->SetItalic(true);
        label->SetTransparent(true);
    }
    Label1.SetAlignment(widgets::Alignment::Right);
    Label1.SetBounds(kPanelWidth - 4 - Label1.Width(), 150, Label1.Width(), Label1.Height());
    Label1.SetAnchors(widgets::AnchorRight | widgets::AnchorTop);
    Label2.SetBounds(0, 150, Label2.Width(), Label2.Height());
    Label2.SetAnchors(widgets::AnchorLeft | widgets::AnchorBottom);

    UrlMemo.SetFontFace("Arial", 8);
    UrlMemo.SetFontColor(widgets::color::Navy);
    UrlPanel.OnResize = [this] {
        RECT r = UrlPanel.InnerRect();
        UrlMemo.SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
    };
    UrlPanel.OnResize();

    DownloadNowLabel.SetAutoSize(false);
    DownloadNowLabel.SetWordWrap(true);
    DownloadNowLabel.SetBounds(43, 64, 192, 26);
    DownloadNowLabel.SetAnchors(widgets::AnchorLeft | widgets::AnchorTop | widgets::AnchorRight |
                                widgets::AnchorBottom);
    DownloadNowLabel.SetCursor(LoadCursor(nullptr, IDC_HAND));
    DownloadNowLabel.SetBold(true);
    DownloadNowLabel.SetUnderline(true);
    DownloadNowLabel.SetFontColor(widgets::color::Navy);
    DownloadNowLabel.OnClick = [this](widgets::Label& sender) { DownloadNowLabelClick(sender); };

    FillSheet(ElvarnPanel, ElvarnTabSheet);
    FillSheet(UrlPanel, UrlTabSheet);
    FillSheet(UpdatePanel, UpdateTabSheet);
    PageControl1.SetActivePageIndex(0);
}

void TEasterEggsForm::PrepareLinks(const std::string& siteUrl, const std::string& softwareUrl,
                                   const std::string& shortName) {
    EasterEggLinks links = EasterEggLinkTexts(siteUrl, softwareUrl, shortName);
    DownloadUrl = links.downloadUrl;
    DownloadNowLabel.SetText(DownloadCaption(widgets::Application::Instance().Title()));
    UrlMemo.Clear();
    for (const std::string& line : links.memoLines) UrlMemo.AddLine(line);
}

void TEasterEggsForm::DownloadNowLabelClick(widgets::Label&) { ShellOpen(DownloadUrl); }
