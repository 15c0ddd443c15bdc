// A version.dll planted beside visaprep.exe, as one may lie in a Downloads
// folder or a shared temporary folder. Loaded into visaprep, it leaves
// C:\planted.txt behind, which the Wine suite looks for. It exports the
// three functions visaprep uses, so that a program importing them would load
// it and start; they find no version information.
#define GetFileVersionInfoSizeA ImportedGetFileVersionInfoSizeA
#define GetFileVersionInfoA ImportedGetFileVersionInfoA
#define VerQueryValueA ImportedVerQueryValueA
#include <windows.h>
#undef GetFileVersionInfoSizeA
#undef GetFileVersionInfoA
#undef VerQueryValueA

extern "C" {

__declspec(dllexport) DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR, LPDWORD) { return 0; }
__declspec(dllexport) BOOL WINAPI GetFileVersionInfoA(LPCSTR, DWORD, DWORD, LPVOID) {
  return FALSE;
}
__declspec(dllexport) BOOL WINAPI VerQueryValueA(LPCVOID, LPCSTR, LPVOID*, PUINT) { return FALSE; }

BOOL WINAPI PlantedEntry(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    CloseHandle(
        CreateFileA("C:\\planted.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  }
  return TRUE;
}

}  // extern "C"
