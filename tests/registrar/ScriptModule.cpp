// ScriptModule.cpp: a DLL that only carries the test scripts as resources and does nothing when loaded.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
