// What the program needs of the process before it reads or writes anything:
// code page 932, in which every string of the program is written, and the
// files of its command line spelt in it.
#ifndef TIVORN_SHELL_CODE_PAGE_CHECK_H
#define TIVORN_SHELL_CODE_PAGE_CHECK_H

#include <windows.h>

#include <string>
#include <vector>

// True when the process runs in code page 932.  Windows 11 and Server 2022
// give it to the program through its manifest whatever the system locale;
// Windows 10 only with a Japanese system locale and without the UTF-8 beta
// option.  Otherwise every text would be garbled and paths split at the
// wrong bytes: this shows the one box (in UTF-16, in Japanese and English)
// saying what to change, and returns false.  So it does, in Japanese, when
// the program's own path cannot be spelt in the code page, even by its
// short form (a user folder such as C:\Users\José on a volume without
// short names): nothing of the program's could be found by it.
bool CheckProgramCodePage();

// The arguments of this process's command line (read in UTF-16), spelt in
// code page 932 for the command-line parsers; files whose names cannot be
// spelt, even by a short name, are left out and listed.
struct CommandLineArguments {
    std::string line;
    std::vector<std::wstring> leftOut;
};
CommandLineArguments ReadCommandLine();

// Tells the user, in one box, which files of the command line were left out
// and why.  Nothing when none was.
void TellFilesLeftOut(HWND owner, const std::vector<std::wstring> &leftOut);

#endif
