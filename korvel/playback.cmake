# Playback: the MIDI file reader and the sequencer's logic are plain C++
# (built natively too, for sanitizer tests and fuzzing); the playback thread,
# the outputs and the exported operations are the DLL's Windows side.
list(APPEND KORVEL_PURE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/smf_reader.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sequencer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/log_line.cpp
    ${CMAKE_CURRENT_LIST_DIR}/midi_errors.cpp
    ${CMAKE_CURRENT_LIST_DIR}/output_fallback.cpp
    ${CMAKE_CURRENT_LIST_DIR}/song_render.cpp
    ${CMAKE_CURRENT_LIST_DIR}/audio_format.cpp
    ${CMAKE_CURRENT_LIST_DIR}/synth_schedule.cpp
    ${CMAKE_CURRENT_LIST_DIR}/song/song_title.cpp)
list(APPEND KORVEL_WIN32_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/midi_output.cpp
    ${CMAKE_CURRENT_LIST_DIR}/switching_output.cpp
    ${CMAKE_CURRENT_LIST_DIR}/playback_thread.cpp
    ${CMAKE_CURRENT_LIST_DIR}/playback.cpp
    ${CMAKE_CURRENT_LIST_DIR}/play_error_text.cpp
    ${CMAKE_CURRENT_LIST_DIR}/audio_device.cpp
    ${CMAKE_CURRENT_LIST_DIR}/audio_backends.cpp
    ${CMAKE_CURRENT_LIST_DIR}/synth_output.cpp
    ${CMAKE_CURRENT_LIST_DIR}/soundfont_file.cpp
    ${CMAKE_CURRENT_LIST_DIR}/title_export.cpp)
