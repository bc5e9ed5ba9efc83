// Entry point of the Windows module. Loading and unloading do no work of the
// plug-in's own; everything starts when the host calls the init hook. No C
// runtime start-up is linked, as there is nothing for it to construct.
#include <windows.h>

extern "C" BOOL WINAPI DllMainCRTStartup(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
