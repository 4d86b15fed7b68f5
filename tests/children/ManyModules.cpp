// A windowless program with as many modules loaded as a large application:
// it loads system libraries (each pulling in its own dependencies) and then
// waits until it is ended. Tests and benchmarks list its modules.
#include <windows.h>

#include "WatchParent.h"

namespace {
// Libraries that load quietly: no window, no device, no network.
const char* const kLibraries[] = {
    "advapi32.dll", "comctl32.dll", "comdlg32.dll", "crypt32.dll",  "dbghelp.dll",  "imagehlp.dll",
    "imm32.dll",    "iphlpapi.dll", "mpr.dll",      "msacm32.dll",  "mswsock.dll",  "netapi32.dll",
    "ole32.dll",    "oleacc.dll",   "oleaut32.dll", "psapi.dll",    "riched20.dll", "rpcrt4.dll",
    "secur32.dll",  "setupapi.dll", "shell32.dll",  "shlwapi.dll",  "urlmon.dll",   "userenv.dll",
    "usp10.dll",    "uxtheme.dll",  "version.dll",  "winhttp.dll",  "wininet.dll",  "winmm.dll",
    "wintrust.dll", "wldap32.dll",  "ws2_32.dll",   "wsock32.dll",  "xmllite.dll",  "cabinet.dll",
    "cfgmgr32.dll", "credui.dll",   "dwmapi.dll",   "msimg32.dll",  "powrprof.dll", "propsys.dll",
    "wtsapi32.dll", "winscard.dll", "msvcrt.dll",   "hlink.dll",    "msctf.dll",    "ntdsapi.dll",
    "odbc32.dll",   "query.dll",    "rsaenh.dll",   "sxs.dll",      "t2embed.dll",  "wevtapi.dll",
    "winspool.drv", "dnsapi.dll",   "hid.dll",      "msi.dll",      "mlang.dll",    "shdocvw.dll",
    "inetcomm.dll", "scrrun.dll",   "avifil32.dll", "msvfw32.dll",  "msrle32.dll",  "msvcp140.dll",
};
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    WatchParent(commandLine);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    for (const char* name : kLibraries) LoadLibraryA(name);
    // Ready: the test waits for this (WaitForInputIdle) before it looks.
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    return 0;
}
