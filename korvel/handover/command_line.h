// What a second start asks of the running copy, decided from its command
// line alone.  Plain C++: the command line is untrusted input.
#ifndef TIVORN_KORVEL_COMMAND_LINE_H
#define TIVORN_KORVEL_COMMAND_LINE_H

namespace korvel {

// No command for the running copy.
constexpr int kNoCommand = -1;

// The WM_COPYDATA code for the arguments of a second start (the command line
// without the program's own path): "/next" 0, "/rewind" 1, "/stop" 2,
// "/nextbest" 3, "/restart" 4, "/menu" 5, in any letter case, with
// surrounding blanks and quotes tolerated.  Nothing at all (or a null
// pointer) opens the menu, 5: starting the program again is how a user who
// cannot see the tray reaches it.  Anything else is kNoCommand.
int HandOverCode(const char *commandLine);

}  // namespace korvel

#endif
