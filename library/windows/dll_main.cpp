// Entry routine of the model library on Windows. The runtime library's DLL
// start-up calls it after its own work; the library has no start-up work of
// its own and keeps no per-thread state, so it only switches the thread
// notifications off and reports success for every notification.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(module);
  }
  return TRUE;
}
