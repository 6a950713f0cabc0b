#ifndef TIVORN_SHELL_MESSAGE_LOOP_H
#define TIVORN_SHELL_MESSAGE_LOOP_H

// Runs until the quit message; returns its exit code.
int RunMessageLoop();

#endif
