// ScriptModule.cpp: a DLL that only carries the test scripts as resources; nothing of it runs.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
