// Placeholder bodies of the helper operations, replaced piece by piece.
#include "engine/korvel.h"

extern "C" {
int ResolveShortcut(const char *, char *target) { if (target) target[0] = 0; return 0; }
void HandOver(const char *, HWND) {}
HHOOK InstallHook(int) { return nullptr; }
void FreeEngineMemory(void *) {}
char *LastSeparator(const char *) { return nullptr; }
int IsSeparatorAt(const char *, const char *) { return 0; }
int FileExists(const char *, int) { return 0; }
int BrowseFolder(HWND, char *, const char *, const char *) { return 0; }
char **ListFolder(const char *, int, int *lastIndex, const char *) { if (lastIndex) *lastIndex = -1; return nullptr; }
void DeleteValue(const char *, const char *, HKEY) {}
DWORD ReadValue(const char *, const char *, void *, DWORD, DWORD, HKEY) { return 0; }
void WriteValue(const char *, const char *, const void *, DWORD, DWORD, HKEY) {}
int EngineVariant(void) { return 1; }
}
