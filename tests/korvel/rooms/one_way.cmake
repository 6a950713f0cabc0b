# The engine library's rooms see only the rooms below them, and only the
# exports see the C interface.  Compiles a probe with the include path each
# room's own files get: what lies below is found, what lies above is not.
#   cmake -DCOMPILER=... -DPROBE=... -DOUTPUT_ROOM=<dirs> -DHOTKEYS_ROOM=<dirs> -P one_way.cmake
function(probe INCLUDES HEADER EXPECT)
    set(flags)
    foreach(dir IN LISTS INCLUDES)
        list(APPEND flags -I${dir})
    endforeach()
    # In English whatever the locale, for the message matched below.
    execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C LANGUAGE=C ${COMPILER} -fsyntax-only ${flags} "-DPROBE_INCLUDE=\"${HEADER}\"" ${PROBE}
                    RESULT_VARIABLE result ERROR_VARIABLE errors OUTPUT_QUIET)
    if(EXPECT STREQUAL "found" AND NOT result EQUAL 0)
        message(FATAL_ERROR "${HEADER} should be found:\n${errors}")
    elseif(EXPECT STREQUAL "missing" AND NOT errors MATCHES "${HEADER}: No such file")
        message(FATAL_ERROR "${HEADER} should not be found (result ${result}):\n${errors}")
    endif()
    message(STATUS "${HEADER}: ${EXPECT}")
endfunction()

probe("${OUTPUT_ROOM}" "korvel/system/clock.h" found)
probe("${OUTPUT_ROOM}" "korvel/sequencer/sequencer.h" missing)
probe("${OUTPUT_ROOM}" "korvel/dll/playback_state.h" missing)
probe("${HOTKEYS_ROOM}" "engine/registry_names.h" found)
probe("${HOTKEYS_ROOM}" "engine/korvel.h" missing)
