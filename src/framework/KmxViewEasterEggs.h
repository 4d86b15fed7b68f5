// The easter-eggs form: never shown itself, it holds the hidden panels (a
// picture, the product's addresses, a download link) that the About box
// borrows when the user types a panel's word.
#pragma once

#include "widgets/Controls.h"
#include "widgets/Form.h"
#include "widgets/Label.h"
#include "widgets/PageControl.h"
#include "widgets/Panel.h"

#include <string>
#include <vector>

class TEasterEggsForm : public widgets::Form {
public:
    TEasterEggsForm();

    widgets::PageControl PageControl1;
    widgets::TabSheet ElvarnTabSheet;
    widgets::Panel ElvarnPanel;
    widgets::Picture Image1;
    widgets::Label Label1;
    widgets::Label Label2;
    widgets::TabSheet UrlTabSheet;
    widgets::Panel UrlPanel;
    widgets::Memo UrlMemo;
    widgets::TabSheet UpdateTabSheet;
    widgets::Panel UpdatePanel;
    widgets::Label DownloadNowLabel;

    std::string DownloadUrl;

    // The components in creation order, by name; panel is set for panels.
    struct Component {
        std::string name;
        widgets::Panel* panel;
    };
    const std::vector<Component>& Components() const { return components_; }

    // Fills the download label, the address memo and DownloadUrl for a
    // product: siteUrl ends in "/", softwareUrl has no trailing slash.
    void PrepareLinks(const std::string& siteUrl, const std::string& softwareUrl,
                      const std::string& shortName);
    void DownloadNowLabelClick(widgets::Label& sender);

private:
    std::vector<Component> components_;
};
