// How a part of the program asks for the program's end.  The application is the
// one that ends it; the parts below it (the player, the editor, the message
// box helpers) only ask, through this interface, which the application implements.
#ifndef TIVORN_UTILS_EXIT_REQUEST_H
#define TIVORN_UTILS_EXIT_REQUEST_H

// Why the program ends.  Every reason takes the one way out; the session's
// end only differs in that what fails on the way is logged, not shown.
enum class ExitReason {
    ExitCommand,  // 終了 in the tray menu, or the IDM_EXIT that setup posts
    FatalError,   // an unexpected failure was reported to the user
    UserGaveUp,   // the user chose to end rather than go on (an unreadable best file)
    StartFailed,  // the start-up load failed and has said why
    SessionEnd,   // the session ends (logoff, shutdown): all is done at once
};

class ExitRequester {
public:
    // Begins the program's end.  Safe from any handler: the windows are
    // destroyed only once the message loop has ended, no handler under way.
    virtual void RequestExit(ExitReason reason) = 0;

protected:
    ~ExitRequester() = default;
};

#endif
