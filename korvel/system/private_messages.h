// The private window messages of the engine library, every one in this list
// so that two of them for the same window can never share a number by
// accident.  They go to the library's own windows only, which the program's
// messages (utils/private_messages.h) never reach.
#ifndef TIVORN_KORVEL_SYSTEM_PRIVATE_MESSAGES_H
#define TIVORN_KORVEL_SYSTEM_PRIVATE_MESSAGES_H

#include <windows.h>

namespace korvel {

// To the playback window (dll/playback_state.cpp).
// Posted by the playback thread when a song ended by itself or its output
// was lost; wParam: the run's generation.
constexpr UINT kMsgSongEnded = WM_APP + 1;
// Posted by a stop: the output is let go once the caller's message is
// handled, unless a song starts first.  No parameters.
constexpr UINT kMsgIdle = WM_APP + 2;
// Posted when the SoundFont chosen cannot be used while the mapper plays
// instead: its box is shown from the message loop.  No parameters.
constexpr UINT kMsgFontNotice = WM_APP + 3;

// To the hook's relay window on the installing thread (hotkeys/hotkey_hook.cpp).
// Posted by the hook's thread; wParam: the WM_COPYDATA code to deliver.
constexpr UINT kMsgRelayCommand = WM_APP + 1;

// To the hook's own window on its thread.
// Sent to install the hook there; answers the hook (HHOOK), or null.
constexpr UINT kMsgInstallRequest = WM_APP + 2;

}  // namespace korvel

#endif
