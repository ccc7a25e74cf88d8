// The smallest custom-action DLL of the same toolchain: the reference for the
// load-time comparison.
#include <windows.h>
#include <msiquery.h>

extern "C" UINT WINAPI EmptyAction(MSIHANDLE) { return 0; }
