// The out-of-memory handler behind every allocation of the program.
#ifndef TIVORN_SHELL_OUT_OF_MEMORY_H
#define TIVORN_SHELL_OUT_OF_MEMORY_H

#include "shell/shell_state.h"

// Makes every failed allocation ask the user: OK retries, Cancel ends the
// process with exit code 2 at once.  The box is owned by shell's resident
// window once there is one; null: by none.
void InstallOutOfMemoryHandler(const ShellState *shell);

#endif
