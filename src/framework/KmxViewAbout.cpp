#include "framework/KmxViewAbout.h"

#include "framework/KmxHyperlink.h"
#include "framework/KmxLinks.h"
#include "framework/KmxRegistryText.h"
#include "sysinfo/JclFileUtils.h"
#include "widgets/Application.h"
#include "widgets/Utf16.h"

#include <chrono>
#include <vector>

namespace {

enum ControlId : UINT_PTR { kOkButton = IDOK };

using Bevel = widgets::Panel::Bevel;

// The dialog keeps a five-pixel border around its panels.
const int kBorder = 5;
const int kWidth = 342;
const int kHeight = 202;
const int kButtonPanelHeight = 32;
const int kFadeStep = 3;
const long long kFadeLimitMs = 300;

widgets::FormStyle AboutStyle() {
    widgets::FormStyle style;
    style.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    style.exStyle = WS_EX_DLGMODALFRAME | WS_EX_TOPMOST | WS_EX_LAYERED;
    style.clientWidth = kWidth + 2 * kBorder;
    style.clientHeight = kHeight + 2 * kBorder;
    return style;
}

AboutTestHooks& Hooks() {
    static AboutTestHooks hooks;
    return hooks;
}

std::string UpperCase(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::string ExecutablePath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length < buffer.size() || buffer.size() >= 32768) return widgets::Utf8(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

int CurrentYear() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return now.wYear;
}

class MainWindowDisabled {
public:
    explicit MainWindowDisabled(HWND window) : window_(window) {
        if (window_) EnableWindow(window_, FALSE);
    }
    ~MainWindowDisabled() {
        if (window_) EnableWindow(window_, TRUE);
    }
    MainWindowDisabled(const MainWindowDisabled&) = delete;
    MainWindowDisabled& operator=(const MainWindowDisabled&) = delete;

private:
    HWND window_;
};

void RepaintNow(HWND window) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

// Steps of three, repainting after each, but never longer than the limit
// however slow the repaint.
void Fade(TfrmAbout& about, int target) {
    auto start = std::chrono::steady_clock::now();
    while (about.Opacity() != target) {
        int next = target > about.Opacity() ? about.Opacity() + kFadeStep : about.Opacity() - kFadeStep;
        if ((target > about.Opacity() && next >= target) || (target < about.Opacity() && next <= target))
            next = target;
        about.SetOpacity(next);
        RepaintNow(about.Handle());
        auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        if (elapsed.count() > kFadeLimitMs) {
            about.SetOpacity(target);
            break;
        }
    }
}

// Handles messages until the box has a result; the rest of the program,
// timers included, goes on meanwhile. Sleeps only while the queue is empty.
void WaitForResult(TfrmAbout& about) {
    MSG message;
    while (about.ModalResult == TfrmAbout::Result::None) {
        if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
            continue;
        }
        if (message.message == WM_QUIT) {
            // The program is ending: the quit request belongs to the main loop.
            PostQuitMessage(static_cast<int>(message.wParam));
            about.ModalResult = TfrmAbout::Result::Cancel;
            break;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

}  // namespace

void SetAboutTestHooks(AboutTestHooks hooks) { Hooks() = std::move(hooks); }

TfrmAbout::TfrmAbout()
    : widgets::Form("frmAbout", AboutStyle()),
      Panel2(Handle(), GetSysColor(COLOR_BTNFACE)),
      OKButton(Panel2.Handle(), kOkButton, "&Ok", true),
      HostPanel(Handle(), widgets::color::White),
      AboutPanel(HostPanel.Handle(), widgets::color::White, Bevel::Lowered, Bevel::Raised),
      ProductName(AboutPanel),
      Version(AboutPanel),
      Copyright(AboutPanel, FreewareStatement),
      lblDonation(AboutPanel, "Make a donation"),
      lblEmail(AboutPanel),
      lblSoftware(AboutPanel, "More freeware and updates"),
      lblSite(AboutPanel, MakerSiteText),
      Shape1(AboutPanel),
      CopyrightLabel(AboutPanel) {
    SetText("About");
    SetOpacity(255);
    Panel2.SetBounds(kBorder, kBorder + kHeight - kButtonPanelHeight, kWidth, kButtonPanelHeight);
    OKButton.SetBounds(134, 5, 75, 25);
    HostPanel.SetBounds(kBorder, kBorder, kWidth, kHeight - kButtonPanelHeight);
    AboutPanel.SetBounds(0, 0, HostPanel.ClientWidth(), HostPanel.ClientHeight());

    ProductName.SetAutoSize(false);
    ProductName.SetBounds(12, 12, 177, 29);
    ProductName.SetBold(true);
    ProductName.SetFontColor(widgets::color::Maroon);

    Version.SetBold(true);
    Version.SetFontColor(widgets::color::Navy);

    Copyright.SetBounds(32, 50, 0, 0);
    Copyright.SetFontColor(widgets::color::Navy);
    Copyright.SetFontHeight(-13);

    lblDonation.SetBounds(10, 80, 0, 0);
    lblEmail.SetAlignment(widgets::Alignment::Right);
    lblEmail.SetBounds(332, 80, 0, 0);
    lblSoftware.SetBounds(10, 97, 0, 0);
    lblSite.SetAlignment(widgets::Alignment::Right);
    lblSite.SetBounds(332, 97, 0, 0);

    Shape1.SetBounds(1, 120, 338, 3);
    Shape1.SetAnchors(widgets::AnchorLeft | widgets::AnchorTop | widgets::AnchorRight);
    Shape1.SetBrushColor(widgets::color::Gray);
    Shape1.SetPenColor(widgets::color::Silver);

    RECT inner = AboutPanel.InnerRect();
    CopyrightLabel.SetAutoSize(false);
    CopyrightLabel.SetBounds(inner.left, inner.bottom - 45, inner.right - inner.left, 45);
    CopyrightLabel.SetAnchors(widgets::AnchorLeft | widgets::AnchorRight | widgets::AnchorBottom);
    CopyrightLabel.SetAlignment(widgets::Alignment::Center);
    CopyrightLabel.SetCenteredVertically(true);
    CopyrightLabel.SetWordWrap(true);
    CopyrightLabel.SetFontColor(widgets::color::Gray);

    OKButton.OnClick = [this] { ModalResult = Result::OK; };
    OnCloseQuery = [this] { return FormClose(); };
    OnDeactivate = [this] { FormDeactivate(); };
    OnKeyPress = [this](wchar_t& key) { FormKeyPress(key); };
    FormCreate();
}

TfrmAbout::~TfrmAbout() { FormDestroy(); }

void TfrmAbout::FormCreate() {
    EasterEggs = std::make_unique<TEasterEggsForm>();
    CurrentPanel = &AboutPanel;
}

void TfrmAbout::FormDestroy() {
    // The window goes first and takes the easter-egg panel it shows with it;
    // the easter-eggs form then releases the rest.
    if (Handle()) DestroyWindow(Handle());
    EasterEggs.reset();
}

bool TfrmAbout::FormClose() {
    ModalResult = Result::Cancel;
    return false;
}

void TfrmAbout::FormDeactivate() { ModalResult = Result::Cancel; }

void TfrmAbout::FormKeyPress(wchar_t& key) {
    if (key >= L'a' && key <= L'z') key = static_cast<wchar_t>(key - L'a' + L'A');
    if (key >= L'A' && key <= L'Z') {
        TypedWord += static_cast<char>(key);
    } else {
        TypedWord.clear();
        SwitchTo(AboutPanel);
    }
    if (TypedWord.size() >= 3) ShowPanel();
}

void TfrmAbout::ShowPanel() {
    const std::string wanted = TypedWord + "PANEL";
    for (const TEasterEggsForm::Component& component : EasterEggs->Components()) {
        if (!component.panel || UpperCase(component.name) != wanted) continue;
        SwitchTo(*component.panel);
        TypedWord.clear();
        return;
    }
}

void TfrmAbout::SwitchTo(widgets::Panel& panel) {
    HWND focus = GetFocus();
    bool focusLeaves = focus && (focus == CurrentPanel->Handle() || IsChild(CurrentPanel->Handle(), focus));
    CurrentPanel->SetParent(nullptr);
    CurrentPanel = &panel;
    CurrentPanel->SetParent(&HostPanel);
    if (focusLeaves) SetFocus(OKButton.Handle());
}

void TfrmAbout::SetOpacity(int alpha) {
    opacity_ = alpha < 0 ? 0 : alpha > 255 ? 255 : alpha;
    SetLayeredWindowAttributes(Handle(), 0, static_cast<BYTE>(opacity_), LWA_ALPHA);
}

LRESULT TfrmAbout::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = widgets::Form::HandleMessage(message, wParam, lParam);
    // The default handling gives the focus to the window itself; keys are
    // meant for the OK button, the form previewing them.
    if (message == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE && Handle())
        SetFocus(OKButton.Handle());
    return result;
}

void ShowAbout(int firstYear, bool hideDonation) {
    widgets::Application& application = widgets::Application::Instance();
    const std::string& title = application.Title();

    HWND mainWindow = application.MainWindowHandle();
    if (mainWindow) RepaintNow(mainWindow);
    bool reactivateMain = false;
    {
        MainWindowDisabled disabled(mainWindow);
        widgets::HeldWhileOpen held;
        const std::string versionFile = Hooks().versionFile.empty() ? ExecutablePath() : Hooks().versionFile;
        TJclFileVersionInfo versionInfo(versionFile);
        TfrmAbout about;

        about.CopyrightLabel.SetText(CopyrightText(firstYear, CurrentYear()));

        about.ProductName.SetText(title);
        about.ProductName.SetFontSize(ProductNameFontSize(title));

        VS_FIXEDFILEINFO fixed = versionInfo.FixedInfo();
        about.Version.SetText(VersionText(fixed.dwFileVersionMS, fixed.dwFileVersionLS));
        const widgets::Label& name = about.ProductName;
        about.Version.SetBounds(name.Left() + name.Width() + 8,
                                name.Top() + name.Height() - about.Version.Height(), 0, 0);

        about.ShortName = CompactTitle(title);

        about.lblEmail.SetText(EmailAddress(about.ShortName));
        LabelToLink(about.lblEmail, MailtoUrl(about.lblEmail.Text()));

        const std::string siteUrl = SiteUrl();
        const std::string softwareUrl = SoftwareUrl(siteUrl);
        LabelToLink(about.lblSite, siteUrl);
        LabelToLink(about.lblDonation, DonationUrl(siteUrl));
        LabelToLink(about.lblSoftware, softwareUrl);

        about.lblDonation.SetVisible(!hideDonation);

        about.EasterEggs->PrepareLinks(siteUrl, softwareUrl, about.ShortName);

        about.SetOpacity(0);
        about.Show();
        Fade(about, 255);
        if (Hooks().shown) Hooks().shown(about);

        WaitForResult(about);
        // Closed by its own button or close box, the box hands the activation
        // back; after a switch to another window it leaves it there.
        reactivateMain = GetActiveWindow() == about.Handle();
        if (Hooks().closing) Hooks().closing(about);

        Fade(about, 0);
        about.SetVisible(false);
    }
    if (reactivateMain && IsWindow(mainWindow)) SetActiveWindow(mainWindow);
}
