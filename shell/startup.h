// The start-up load: everything between the resident window and the loop.
#ifndef TIVORN_SHELL_STARTUP_H
#define TIVORN_SHELL_STARTUP_H

class Application;

// Nonzero when the program can run: the current best plays, or the best
// settings dialog is open for the user to make or choose one.
int RunStartupLoad(Application &app);

#endif
