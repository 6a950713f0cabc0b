/* The registry names that Tivorn and KORVEL.dll share, all under
 * HKEY_CURRENT_USER.  The engine library reads the settings block for the hotkeys
 * and the playback priority, and its own key for the output. */
#ifndef TIVORN_ENGINE_REGISTRY_NAMES_H
#define TIVORN_ENGINE_REGISTRY_NAMES_H

constexpr char kProgramKey[] = "Software\\Zarnith\\Tivorn";
constexpr char kValueSettings[] = "Settings";  /* REG_BINARY, the 29-byte settings block */

/* REG_DWORD beside "MediaKeys": how a song with a loop plays.  Missing,
 * of another type or holding another number, it reads as twice with a fade;
 * written only when the user changes it. */
constexpr char kValueLoop[] = "Loop";
constexpr unsigned long kLoopOnce = 0;
constexpr unsigned long kLoopTwiceAndFade = 1;
constexpr unsigned long kLoopUntilNext = 2;
constexpr unsigned long UsableLoopValue(unsigned long stored) {
    return stored == kLoopOnce || stored == kLoopUntilNext ? stored : kLoopTwiceAndFade;
}

constexpr char kEngineKey[] = "Software\\Zarnith\\Tivorn\\Engine";
constexpr char kValueOutput[] = "Output";      /* REG_SZ: empty, "midi:N", "midi:name:NAME" or "log:PATH" */

/* REG_SZ: the SoundFont last played by the built-in synthesizer, which the
 * tray menu's 内蔵シンセサイザー chooses again after another output. */
constexpr char kValueSoundFont[] = "SoundFont";

#endif
