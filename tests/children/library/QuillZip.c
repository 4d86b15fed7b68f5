/* A library the test world's programs load, built at two versions (the
   resource takes the version from the build) and installed in two folders. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}
