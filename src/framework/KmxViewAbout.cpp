#include "framework/KmxViewAbout.h"

#include "widgets/Application.h"
#include "widgets/Dialogs.h"

void ShowAbout(int firstYear, bool /*hideDonation*/) {
    widgets::MessageDlg(widgets::Application::Instance().Title() + "\r\nCopyright \xC2\xA9 " +
                            std::to_string(firstYear) + " Quillmar.",
                        widgets::DialogKind::Information, widgets::DialogButtons::OK);
}
