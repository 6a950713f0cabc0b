// The private window messages of Tivorn.exe, every one in this list so that
// two of them for the same window can never share a number by accident.
// Messages to different windows may share one (the player's and the folder
// tree's never meet).  The engine library's, to its own windows, are in
// korvel/system/private_messages.h.
#ifndef TIVORN_UTILS_PRIVATE_MESSAGES_H
#define TIVORN_UTILS_PRIVATE_MESSAGES_H

#include <windows.h>

// To the player's host window.
// wParam: the song generation that ended.
constexpr UINT kMsgSongEnded = WM_APP + 1;
// wParam: the preview generation that ended; lParam: the engine's end value.
constexpr UINT kMsgPreviewEnded = WM_APP + 2;

// To the resident window.
// Posted to open the tray menu for copy-data code 5: the sender (the hook, a
// second start) gets its answer at once instead of waiting while the user
// looks at the menu.  No parameters.
constexpr UINT kMsgOpenTrayMenu = WM_APP + 3;
// Posted to play the files a second start handed over.  No parameters.
constexpr UINT kMsgPlayHandedFiles = WM_APP + 19;
// Posted by a stop, which the window settles once the command that made the
// stop is done.  No parameters.
constexpr UINT kMsgSettleMediaKeys = WM_APP + 20;
// The notification area's callback message for the tray icon: wParam the
// icon's id, lParam the mouse or keyboard message.  Other programs send it by
// its number, 32868, so the number is fixed.
constexpr UINT kTrayMessage = WM_APP + 100;
static_assert(kTrayMessage == 32868 && kTrayMessage == 0x8064, "the tray message's number is fixed");

// To the folder tree, posted by the tree itself.  No parameters.
// The fill that found the names table full is over.
constexpr UINT kMsgTellTreeFull = WM_APP + 4;
// A fill met names that cannot be shown.
constexpr UINT kMsgTellLeftOut = WM_APP + 5;
// An album name could not be stored (or taken away).  The box waits until
// the edit's end, and any rebuild or close it was part of, is over.
constexpr UINT kMsgTellAlbumNotStored = WM_APP + 7;

// To the best settings dialog, posted by itself: OK, Cancel or Close ends it.
// No parameters.
constexpr UINT kMsgClose = WM_APP + 6;

#endif
