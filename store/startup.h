// The start-up load: everything between the resident window and the loop.
#ifndef TIVORN_STORE_STARTUP_H
#define TIVORN_STORE_STARTUP_H

// Nonzero when the program can run.
int RunStartupLoad();

#endif
