# Helpers shared by the folders' CMakeLists.

# Windows libraries the program and its tests link.
set(TIVORN_SYSTEM_LIBS user32 gdi32 comctl32 comdlg32 shell32 shlwapi ole32 oleaut32
    uuid advapi32 winmm uxtheme)

# tivorn_version_definitions(target): the version resource's numbers and
# text for a resource script, from the one version of the build
# (TIVORN_VERSION "1.00" gives 1.0.0.0 and "1.00").
function(tivorn_version_definitions TARGET)
    if(NOT TIVORN_VERSION MATCHES "^([0-9]+)\\.([0-9]+)$")
        message(FATAL_ERROR "TIVORN_VERSION must be MAJOR.MINOR, not '${TIVORN_VERSION}'")
    endif()
    math(EXPR minor "${CMAKE_MATCH_2}")
    target_compile_definitions(${TARGET} PRIVATE TIVORN_VERSION=${TIVORN_VERSION}
        TIVORN_VERSION_MAJOR=${CMAKE_MATCH_1} TIVORN_VERSION_MINOR=${minor})
endfunction()

# tivorn_korvel_beside(target): a copy of KORVEL.dll in the target's output
# folder, so the program finds it under Wine.  The copy is a target of its
# own per folder, so that it follows every rebuild of the DLL, also when the
# program is not linked again.
function(tivorn_korvel_beside TARGET)
    get_target_property(dir ${TARGET} RUNTIME_OUTPUT_DIRECTORY)
    file(RELATIVE_PATH rel ${CMAKE_BINARY_DIR} ${dir})
    string(MAKE_C_IDENTIFIER "korvel_copy_${rel}" copy)
    if(NOT TARGET ${copy})
        add_custom_command(OUTPUT ${dir}/KORVEL.dll
            COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:KORVEL> ${dir}/KORVEL.dll
            DEPENDS KORVEL
            COMMENT "KORVEL.dll beside the programs in ${dir}")
        add_custom_target(${copy} DEPENDS ${dir}/KORVEL.dll)
    endif()
    add_dependencies(${TARGET} KORVEL ${copy})
endfunction()

# tivorn_test(NAME name SOURCES ... [LIBS ...] [RESOURCES] [PROGRAM] [SERIAL] [TIMEOUT s])
# A GoogleTest program run by CTest (under Wine in the Windows tree).
#   PROGRAM    links the program's code (tivorn_core) and the import library
#              of KORVEL.dll, and puts a copy of the DLL beside the test
#   RESOURCES  links the program's resources (dialog templates, menus, images)
#   SERIAL     runs alone: it touches the registry key of the program, or
#              shows windows that others could take for their own
#   OWN_MAIN   the sources bring main(); otherwise gtest_main is linked
#   PURE       plain C++ built in both trees: the Windows tree's CTest also
#              runs the native build under the sanitizers, as NAME_sanitized
function(tivorn_test)
    cmake_parse_arguments(T "RESOURCES;PROGRAM;SERIAL;OWN_MAIN;PURE" "NAME;TIMEOUT" "SOURCES;LIBS" ${ARGN})
    if(T_PURE)
        tivorn_native_test(NAME ${T_NAME}_sanitized COMMAND test-bin/${T_NAME})
    endif()
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock)
    if(NOT T_OWN_MAIN)
        target_link_libraries(${T_NAME} PRIVATE GTest::gtest_main)
    endif()
    target_include_directories(${T_NAME} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
    set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/test-bin)
    if(WIN32)
        if(T_PROGRAM)
            target_link_libraries(${T_NAME} PRIVATE tivorn_core tivorn_pure korvel_import)
        endif()
        if(T_RESOURCES)
            target_link_libraries(${T_NAME} PRIVATE tivorn_resources)
        endif()
        target_link_libraries(${T_NAME} PRIVATE ${TIVORN_SYSTEM_LIBS})
        # Test programs need KORVEL.dll beside them; Tivorn.exe is found in
        # TIVORN_BIN_DIR by the end-to-end tests.
        tivorn_korvel_beside(${T_NAME})
    endif()
    add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_color=no)
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 600)
    endif()
    set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "TIVORN_BIN_DIR=${TIVORN_BIN_DIR};TIVORN_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
    if(T_SERIAL)
        set_tests_properties(${T_NAME} PROPERTIES RESOURCE_LOCK tivorn_registry)
    endif()
endfunction()

# tivorn_native_test(NAME name COMMAND path-in-native-tree args...)
# In the Windows tree: runs a program of the native tree (sanitizer tests,
# bounded fuzz runs) so that one CTest run reports everything.
function(tivorn_native_test)
    cmake_parse_arguments(T "" "NAME;TIMEOUT" "COMMAND" ${ARGN})
    if(NOT WIN32 OR NOT TIVORN_NATIVE_DIR)
        return()
    endif()
    list(POP_FRONT T_COMMAND program)
    add_test(NAME ${T_NAME} COMMAND ${TIVORN_NATIVE_DIR}/${program} ${T_COMMAND})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT})
endfunction()

# tivorn_fuzzer(NAME name SOURCES ... LIBS ... [SECONDS n] [CORPUS dir])
# A libFuzzer target of the native tree, run by CTest for a bounded time.
# CORPUS is a folder of seed inputs; the run works on a copy in the tree.
function(tivorn_fuzzer)
    cmake_parse_arguments(F "" "NAME;SECONDS;CORPUS" "SOURCES;LIBS" ${ARGN})
    if(NOT F_SECONDS)
        set(F_SECONDS 30)
    endif()
    if(WIN32)
        math(EXPR limit "${F_SECONDS} + 120")
        tivorn_native_test(NAME ${F_NAME} TIMEOUT ${limit}
            COMMAND fuzz/${F_NAME}-run.sh)
        return()
    endif()
    add_executable(${F_NAME} ${F_SOURCES})
    target_link_libraries(${F_NAME} PRIVATE ${F_LIBS})
    target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
    target_include_directories(${F_NAME} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
    set_target_properties(${F_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
    # A fresh working corpus for every run, seeded from the source tree.
    set(work ${CMAKE_BINARY_DIR}/fuzz/${F_NAME}-corpus)
    file(WRITE ${CMAKE_BINARY_DIR}/fuzz/${F_NAME}-run.sh
"#!/bin/bash
set -e
rm -rf '${work}' && mkdir -p '${work}'
if [ -n '${F_CORPUS}' ] && [ -d '${F_CORPUS}' ]; then cp -r '${F_CORPUS}'/. '${work}'/; fi
exec '${CMAKE_BINARY_DIR}/fuzz/${F_NAME}' -max_total_time=${F_SECONDS} -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 '${work}'
")
    file(CHMOD ${CMAKE_BINARY_DIR}/fuzz/${F_NAME}-run.sh
         PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    if(TIVORN_TESTS)
        add_test(NAME ${F_NAME} COMMAND ${CMAKE_BINARY_DIR}/fuzz/${F_NAME}-run.sh)
    endif()
endfunction()
