/* KORVEL.dll as Tivorn sees it: the engine interface.
 *
 * The library exports these operations by ordinal only (see korvel.def);
 * the program links against an import library made from that file.  Only
 * plain C types cross the boundary: byte strings in the ANSI code page (932),
 * integers and window, hook and registry-root handles.
 */
#ifndef TIVORN_ENGINE_KORVEL_H
#define TIVORN_ENGINE_KORVEL_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifdef KORVEL_BUILDING_DLL
/* Exports come from korvel.def alone, so no names leak into the table. */
#define KORVEL_API
#else
#define KORVEL_API __declspec(dllimport)
#endif

/* End-of-song handler given to StartSong.  The value is 1 when the song
 * ended by itself, 0 when it was given up because the MIDI output was lost
 * (a device unplugged); the next StartSong opens the output again.  A stopped
 * song never calls it. */
typedef void (*KorvelEndHandler)(int value);

/* --- playback ------------------------------------------------------------ */
KORVEL_API int  EngineInit(void);                         /* @1  nonzero: ready */
KORVEL_API int  EngineClose(void);                        /* @2  0 only when closing failed */
KORVEL_API int  OpenSong(const char *path, int readAtOnce);/* @3  nonzero: opened */
KORVEL_API int  StartSong(KorvelEndHandler onEnd);        /* @5  nonzero: playing */
KORVEL_API void StopSong(void);                           /* @6 */
KORVEL_API int  ActivityState(void);                      /* @7  1 while notes sound */
KORVEL_API HWND PlaybackOwner(void);                      /* @10 */
KORVEL_API int  ReportPlayError(int flags, HWND owner);   /* @11 nonzero: only this file is at fault */
/* Added to ReportPlayError's flags: the box comes to the front, for an error
 * that no action of the user led to (an automatic song change).  The flags'
 * lowest bit says a preview asks; nothing reads it. */
#define KORVEL_REPORT_FOREGROUND 2
KORVEL_API void SetPlaybackOwner(HWND owner, int unusedFlag); /* @16 */
/* @30 Engine\Output was changed, or chosen again: a playing song goes on on
 * the new output from where it is, after its notes on the old one are
 * released; otherwise the next StartSong opens it.  The output that plays
 * already stays as it is, except for the MIDI mapper standing in for a
 * device that is there now.  0 when the new output cannot be opened (the
 * song then goes on where it was; ReportPlayError says why). */
KORVEL_API int  SwitchOutput(void);

/* --- hand-over, hook, path and Shell helpers ------------------------------ */
/* @13 Target of a .lnk file into a buffer of KORVEL_PATH_BUFFER bytes. */
KORVEL_API int  ResolveShortcut(const char *shortcut, char *target);
/* @14 Passes a second start's command line to the running copy; one of the
 * KORVEL_HANDOVER_ answers below. */
KORVEL_API int  HandOver(const char *commandLine, HWND runningWindow);
/* The running copy has it, or the command line asks nothing of it. */
#define KORVEL_HANDOVER_DONE 1
/* No copy runs to take it: none was found, its window has gone, or it is
 * exiting.  The caller may start as the running copy. */
#define KORVEL_HANDOVER_NO_COPY 2
/* The copy did not answer in time: it is hung, or busy for long. */
#define KORVEL_HANDOVER_NO_ANSWER 0
/* The system refused the message: the copy runs at another integrity level
 * (one of the two started as administrator). */
#define KORVEL_HANDOVER_REFUSED 3
/* @15 Keyboard hook for the two hotkeys of "Settings"; NULL on failure.  Its
 * commands go to commandTarget, the resident window (next to the playback
 * owner while there is one).  The program passes the engine variant, which
 * the library does not read. */
KORVEL_API HHOOK InstallHook(int unusedVariant, HWND commandTarget);
/* @20 Releases a name or the array returned by ListFolder. */
KORVEL_API void FreeEngineMemory(void *block);
/* @21 Last '\' or '/' of path (double-byte aware), or NULL. */
KORVEL_API char *LastSeparator(const char *path);
/* @22 Nonzero when the character at points at is a path separator ('\' or
 * '/').  at must point at the first byte of a character (found by walking
 * the string from its start, or with CharPrevExA): a 0x5C trail byte is no
 * separator, and only the caller can know where characters begin. */
KORVEL_API int  IsSeparatorAt(const char *at);
/* @23 Nonzero when path names an existing file (not a folder).  The program
 * passes 0 for the mode, which the library does not read. */
KORVEL_API int  FileExists(const char *path, int unusedMode);
/* @24 Folder picker; the chosen folder goes into a KORVEL_PATH_BUFFER buffer. */
KORVEL_API int  BrowseFolder(HWND owner, char *folder, const char *prompt, const char *caption);
/* @25 Names in a folder.  kind 0: sub-folders, 1: files.  *lastIndex gets
 * count - 1 (-1 when empty).  filter "*.ext" keeps names with that extension.
 * NULL when nothing was found, and when the folder could not be listed whole
 * (a search the system ended with an error part way gives no names at all);
 * release every name, then the array, with 20. */
KORVEL_API char **ListFolder(const char *pattern, int kind, int *lastIndex, const char *filter);

/* --- registry (HKEY_CURRENT_USER only) --------------------------------------- */
KORVEL_API void  DeleteValue(const char *subkey, const char *name, HKEY root);           /* @26 */
/* @27 Bytes read, 0 when missing, of another type or larger than size.  With a
 * NULL buffer and size 0 it answers the size a buffer needs.  REG_SZ reads
 * are always NUL-terminated inside the buffer, and take a REG_EXPAND_SZ
 * value too, expanded (at most 32K characters).  The thread's last error
 * tells the answers apart: ERROR_SUCCESS for a value read (0 bytes: a binary
 * value stored empty), ERROR_FILE_NOT_FOUND for a value or key that is not
 * there, ERROR_INVALID_DATATYPE for a value of another type, ERROR_MORE_DATA
 * for one larger than size, ERROR_INVALID_DATA for an expansion that fails or
 * is too long, and otherwise the system's reason the value could not be read
 * (ERROR_ACCESS_DENIED, ERROR_NOT_ENOUGH_MEMORY, ...).  Only
 * ERROR_FILE_NOT_FOUND means "none". */
KORVEL_API DWORD ReadValue(const char *subkey, const char *name, void *buffer, DWORD size,
                           DWORD type, HKEY root);
KORVEL_API void  WriteValue(const char *subkey, const char *name, const void *data, DWORD size,
                            DWORD type, HKEY root);                                        /* @28 */
KORVEL_API int   EngineVariant(void);                                                      /* @29 */
/* @31 The key of HKEY_CURRENT_USER whose "Settings" (the priority and the
 * hotkeys) and Engine\Output the library reads from now on, in place of the
 * program's own; NULL or "" is the program's own again.  A test program's
 * key of its own.  Each song start reads them once, when the song opens. */
KORVEL_API void  SetSettingsKey(const char *programKey);

/* --- the built-in synthesizer's audio output ---------------------------------- */
/* What SynthOutputStats fills in.  The caller sets size to
 * sizeof(struct KorvelSynthStats); fields added later go at the end.  The
 * counts run from the library's loading on, over every synth: output, so
 * that a caller takes differences. */
struct KorvelSynthStats {
    DWORD size;
    DWORD open;            /* 1 while a synth: output is open, 0 once it is let go */
    DWORD underruns;       /* wakes that found the device's buffer already drained */
    LONG  latencyUs;       /* the last song: from StartSong to the moment the
                            * device takes its first sample from the stream's
                            * buffer (estimated from what the buffer held), in
                            * microseconds; -1 before any song sounded.  The
                            * first song after the output opens counts the
                            * opening (the SoundFont read, the device started) */
    ULONGLONG renderCpuUs; /* the render threads' processor time (user and kernel) */
    ULONGLONG renderedFrames; /* frames handed to the devices */
    DWORD sampleRate;      /* the last device's mix format: frames per second */
    WORD  channels;
    WORD  bitsPerSample;   /* container bits per sample */
    WORD  isFloat;         /* 1: IEEE float samples, 0: integer PCM */
    WORD  api;             /* KORVEL_AUDIO_WASAPI or KORVEL_AUDIO_WAVEOUT */
    LONG  engineLatencyUs; /* what the device says it adds after it took a sample
                            * until it is heard (WASAPI's stream latency; 0 for
                            * waveOut), for the last song */
    LONG  scheduleDelayUs; /* the fixed part of latencyUs: how long after its
                            * sending a message enters the device (the queue's
                            * depth and a margin for late wakes) */
    LONG  longestWakeUs;   /* the last song: the longest time between two wakes
                            * of the render thread, in microseconds; a wake that
                            * comes later than the queue's depth is an underrun */
};
#define KORVEL_AUDIO_WASAPI  1
#define KORVEL_AUDIO_WAVEOUT 2
/* @32 The figures of the synth: output that is open, or of the last one
 * (open is then 0).  0 when no synth: output has been opened since the
 * library was loaded, or stats is NULL or its size too small.  A size that
 * ends before scheduleDelayUs (a caller built before it) gets the fields
 * up to engineLatencyUs. */
KORVEL_API int   SynthOutputStats(struct KorvelSynthStats *stats);

/* --- the song's own title ------------------------------------------------ */
/* @33 The title the song last opened carries for itself (its first track's
 * name, or its first text before a note), in code page 932 and without
 * control characters, into a buffer of size bytes, NUL-terminated.  It is
 * known once the song's tracks are read: after OpenSong reading at once, or
 * after StartSong.  The length in bytes; 0, with an empty buffer, when the
 * song has no title that can be shown, or it does not fit (a title never
 * needs more than KORVEL_TITLE_BUFFER bytes). */
KORVEL_API int   SongTitle(char *title, int size);
#define KORVEL_TITLE_BUFFER 256

#define KORVEL_PATH_BUFFER 260

#ifdef __cplusplus
}
#endif

#endif
