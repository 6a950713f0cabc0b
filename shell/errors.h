// The program's failure paths: message boxes, the unexpected-error report
// and the out-of-memory handler behind every allocation.
#ifndef TIVORN_SHELL_ERRORS_H
#define TIVORN_SHELL_ERRORS_H

#include <windows.h>

#include <cstddef>

// A message box with the caption "Tivorn".
int ShowMessage(HWND owner, const char *text, UINT flags);

// Tells the user that something unexpected failed.  With shutDown the box is
// owned by the resident window and the program then shuts down in order.
void ReportUnexpectedError(bool shutDown);

// Makes every failed allocation ask the user: OK retries, Cancel ends the
// process with exit code 2 at once.
void InstallOutOfMemoryHandler();

// Plain allocations of the program.  They retry through the out-of-memory
// handler, so they return only with memory (or the process has ended).
void *AllocateMemory(size_t size);
void *AllocateZeroed(size_t size);
void *ReallocateMemory(void *block, size_t size);
void FreeMemory(void *block);
char *DuplicateString(const char *text);

#endif
