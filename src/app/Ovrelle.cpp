// The program entry: one instance per executable, then the main controller
// and the message loop.
#include "controllers/ControllerMain.h"
#include "framework/KmxMiscellaneous.h"
#include "sysinfo/JclAppInst.h"
#include "widgets/Application.h"

#include <windows.h>
#include <commctrl.h>

#include <memory>

namespace {
std::unique_ptr<TCMain> Controller;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    widgets::Application& application = widgets::Application::Instance();
    int exitCode = 0;
    // Whatever stops the start, the guard included, is shown before the
    // process ends: a windowed program has nowhere else to say it.
    try {
        // Activates the running instance and ends this process when there is
        // one that answers.
        AppInstances().EnsureSingleInstance();
        // An elevated administrator reads what the system lets such a user read.
        EnableDebugPrivilege();

        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES |
                                                           ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&controls);
        application.SetTitle("Ovrelle");
        Controller = std::make_unique<TCMain>();
        AppInstances().AllowInstanceMessage(application.MainWindowHandle());
        application.MainForm()->Show();
        application.Run();
    } catch (const std::exception& error) {
        application.ShowException(error);
        exitCode = 1;
    } catch (...) {
        application.ShowUnknownException();
        exitCode = 1;
    }
    Controller.reset();
    application.DestroyMainForm();
    return exitCode;
}
