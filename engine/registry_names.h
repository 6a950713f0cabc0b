/* The registry names that Tivorn and KORVEL.dll share, all under
 * HKEY_CURRENT_USER.  The engine reads the settings block for the hotkeys
 * and the playback priority, and its own key for the output. */
#ifndef TIVORN_ENGINE_REGISTRY_NAMES_H
#define TIVORN_ENGINE_REGISTRY_NAMES_H

constexpr char kProgramKey[] = "Software\\Zarnith\\Tivorn";
constexpr char kValueSettings[] = "Settings";  /* REG_BINARY, the 29-byte settings block */

/* REG_DWORD beside "MediaKeys": how a song with a loop plays, 0 once
 * through, 1 twice with a fade (also when missing or another number),
 * 2 until 次の曲. */
constexpr char kValueLoop[] = "Loop";

constexpr char kEngineKey[] = "Software\\Zarnith\\Tivorn\\Engine";
constexpr char kValueOutput[] = "Output";      /* REG_SZ: empty, "midi:N", "midi:name:NAME" or "log:PATH" */

/* REG_SZ: the SoundFont last played by the built-in synthesizer, which the
 * tray menu's 内蔵シンセサイザー chooses again after another output. */
constexpr char kValueSoundFont[] = "SoundFont";

#endif
