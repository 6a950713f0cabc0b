// Help: KORVEL.chm beside the program file, opened with HTML Help.
#ifndef TIVORN_SHELL_HELP_LOADER_H
#define TIVORN_SHELL_HELP_LOADER_H

#include <windows.h>

#include "utils/exit_request.h"

class HelpLoader {
public:
    HelpLoader() = default;
    HelpLoader(const HelpLoader &) = delete;
    HelpLoader &operator=(const HelpLoader &) = delete;

    // Opens the help file over owner.  A program path that cannot be read is
    // the unexpected-error report, after which exit ends the program.
    void Show(HWND owner, ExitRequester &exit);
    // Closes the help windows at the program's end, before the process takes
    // them away under HTML Help's own threads.
    void Close();

private:
    using HtmlHelpFunction = HWND(WINAPI *)(HWND, LPCSTR, UINT, DWORD_PTR);
    HtmlHelpFunction Load();

    HtmlHelpFunction htmlHelp_ = nullptr;  // null until help was first opened
};

#endif
