// A DLL that does nothing but load. The DLL-planting test puts copies of it beside a program,
// under the names of the DLLs the program loads, and looks for them in Wine's list of loaded DLLs.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
