// The About box: product, version, copyright and links of the running
// program, faded in and out. Typing a hidden word while it is open swaps
// the About panel for one of the easter-egg panels.
#pragma once

#include "framework/KmxViewEasterEggs.h"
#include "widgets/Controls.h"
#include "widgets/Form.h"
#include "widgets/Label.h"
#include "widgets/Panel.h"

#include <functional>
#include <memory>
#include <string>

class TfrmAbout : public widgets::Form {
public:
    enum class Result { None, OK, Cancel };

    TfrmAbout();
    ~TfrmAbout() override;

    widgets::Panel Panel2;
    widgets::Button OKButton;
    widgets::Panel HostPanel;
    widgets::Panel AboutPanel;
    widgets::Label ProductName;
    widgets::Label Version;
    widgets::Label Copyright;
    widgets::Label lblDonation;
    widgets::Label lblEmail;
    widgets::Label lblSoftware;
    widgets::Label lblSite;
    widgets::Shape Shape1;
    widgets::Label CopyrightLabel;

    std::string ShortName;
    std::unique_ptr<TEasterEggsForm> EasterEggs;
    // Letters typed since the last reset, upper case.
    std::string TypedWord;
    // The panel shown in HostPanel.
    widgets::Panel* CurrentPanel = nullptr;

    // Set by OK, by closing and by losing activation; ends the wait.
    Result ModalResult = Result::None;

    void FormCreate();
    void FormDestroy();
    // Refuses the close and ends the box with Cancel.
    bool FormClose();
    void FormDeactivate();
    void FormKeyPress(wchar_t& key);
    void ShowPanel();

    // 0 (invisible) to 255 (opaque).
    int Opacity() const { return opacity_; }
    void SetOpacity(int alpha);

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void SwitchTo(widgets::Panel& panel);
    int opacity_ = 255;
};

// Shows the About box and returns when it has faded out and gone. The main
// window is disabled meanwhile and enabled again on every path; errors of
// reading the version information pass to the caller.
void ShowAbout(int firstYear, bool hideDonation);

// Test seams: which file's version is shown (empty: the running program),
// and calls once the box has faded in and once its wait has ended.
struct AboutTestHooks {
    std::string versionFile;
    std::function<void(TfrmAbout&)> shown;
    std::function<void(TfrmAbout&)> closing;
};
void SetAboutTestHooks(AboutTestHooks hooks);
