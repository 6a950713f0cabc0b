// The out-of-memory handler behind every allocation of the program.
#ifndef TIVORN_SHELL_OUT_OF_MEMORY_H
#define TIVORN_SHELL_OUT_OF_MEMORY_H

// Makes every failed allocation ask the user: OK retries, Cancel ends the
// process with exit code 2 at once.  The box has no owner.
void InstallOutOfMemoryHandler();

#endif
