// A peer process for the single-instance guard's tests.
//   guard_child window <title>   shows a top-level window of the application
//                                window class and runs its message loop
//   guard_child lock <lock name> <block name> <rounds>
//                                takes the named lock rounds times, counting
//                                in the test's block; exit code 0 when it
//                                never found another process inside
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

// Children link with user32 only, so the lock's units are compiled in here.
#include "sysinfo/JclAppInst.cpp"
#include "sysinfo/JclAppInstTable.cpp"
#include "widgets/SystemLibrary.cpp"
#include "widgets/Utf16.cpp"

#include "guard_child.h"

namespace {

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int ShowWindowAndWait(HINSTANCE instance, const std::string& title) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = ApplicationWindowClassName;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, ApplicationWindowClassName, title.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                  100, 100, 300, 200, nullptr, nullptr, instance, nullptr);
    if (!window) return 3;
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

int CountUnderLock(const std::string& lockName, const std::string& blockName, long rounds) {
    HANDLE mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, blockName.c_str());
    HANDLE go = OpenEventA(SYNCHRONIZE, FALSE, (blockName + "_Go").c_str());
    if (!mapping || !go) return 4;
    auto* block = static_cast<GuardBlock*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(GuardBlock)));
    if (!block) return 4;
    TJclOptex optex(lockName, 4000);
    InterlockedIncrement(&block->Ready);
    WaitForSingleObject(go, 10000);
    CountRounds(optex, *block, rounds);
    int result = block->Violations == 0 ? 0 : 2;
    UnmapViewOfFile(block);
    CloseHandle(go);
    CloseHandle(mapping);
    return result;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    std::vector<std::string> args(__argv + 1, __argv + __argc);
    if (args.size() == 2 && args[0] == "window") return ShowWindowAndWait(instance, args[1]);
    if (args.size() == 4 && args[0] == "lock") return CountUnderLock(args[1], args[2], std::atol(args[3].c_str()));
    return 1;
}
