// tivornctl render: see render_command.cpp.
#ifndef TIVORN_TOOLS_RENDER_COMMAND_H
#define TIVORN_TOOLS_RENDER_COMMAND_H

// argv holds what follows "render".  Returns the process's exit code: 0 when
// the WAV was written, 1 when a file could not be read or written, 2 on a
// usage error.
int RenderCommand(int argc, char **argv);

#endif
