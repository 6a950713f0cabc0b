# Helpers shared by the folders' CMakeLists.

# Windows libraries the program and its tests link.
set(TIVORN_SYSTEM_LIBS user32 gdi32 comctl32 comdlg32 shell32 shlwapi ole32 oleaut32
    uuid advapi32 winmm uxtheme)

# tivorn_unity(target): the Windows tree compiles the target's sources as one
# file, which reads the headers they share once and instantiates their
# templates once: file by file, that work was most of a fresh build's time.
# So names at file scope (anonymous namespaces, statics) must differ between
# the files of one target.  The native tree compiles each file alone, which
# keeps every file's own includes honest.
function(tivorn_unity TARGET)
    if(WIN32)
        set_target_properties(${TARGET} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 0)
        # Included into the one file, a source counts as a header to GCC,
        # which then warns of every class (a test fixture's test, say) built
        # on a type of the source's anonymous namespace.
        target_compile_options(${TARGET} PRIVATE -Wno-subobject-linkage)
    endif()
endfunction()

# tivorn_layer(folder [APART] [SEES folder...] [PLAIN source...] [WINDOWS source...])
# The library of one source folder, tivorn_<folder> (korvel/output gives
# tivorn_korvel_output), and the folders its code may include.  PLAIN
# sources are C++ without windows.h, built in both trees; WINDOWS sources
# only in the Windows tree.  A folder without sources in a tree gives an
# interface library: its headers alone.
#
# The Windows tree compiles a library as one file (tivorn_unity), or with
# APART file by file over precompiled system headers: for a library that
# is linked beside the import library of a DLL made from it, the linker
# must be able to take its files one at a time.
#
# SEES names the folders just below (utils is seen by every folder).  The
# library links their libraries, and its include path is a folder of the
# build tree, layers/<folder>, holding links to this folder and everything
# below it, and to nothing else: an include that runs back up
# ("shell/tray.h" from store/) finds no file.  Whatever links the library
# sees the same, so a folder's tests see that folder and below.
function(tivorn_layer FOLDER)
    cmake_parse_arguments(L "APART" "" "SEES;PLAIN;WINDOWS" ${ARGN})
    if(NOT FOLDER STREQUAL "utils")
        list(APPEND L_SEES utils)
    endif()
    string(REPLACE "/" "_" name ${FOLDER})
    set(sees ${FOLDER})
    foreach(lower IN LISTS L_SEES)
        get_property(below GLOBAL PROPERTY TIVORN_SEES_${lower})
        if(NOT below)
            message(FATAL_ERROR "tivorn_layer(${FOLDER}): ${lower} is not a layer defined before it")
        endif()
        list(APPEND sees ${below})
    endforeach()
    list(REMOVE_DUPLICATES sees)
    set_property(GLOBAL PROPERTY TIVORN_SEES_${FOLDER} ${sees})
    tivorn_include_view(${name} view ${sees})

    set(sources ${L_PLAIN})
    if(WIN32)
        list(APPEND sources ${L_WINDOWS})
    endif()
    set(target tivorn_${name})
    if(sources)
        add_library(${target} STATIC ${sources})
        target_include_directories(${target} PUBLIC ${view})
        foreach(lower IN LISTS L_SEES)
            string(REPLACE "/" "_" lowerName ${lower})
            target_link_libraries(${target} PUBLIC tivorn_${lowerName})
        endforeach()
        if(WIN32 AND L_WINDOWS)
            # After the libraries that call them, for the linker.
            target_link_libraries(${target} PUBLIC ${TIVORN_SYSTEM_LIBS})
        endif()
        if(WIN32 AND L_APART)
            # The system headers nearly every file of the Windows tree reads,
            # compiled once for the library instead of once per file.  Plain
            # files get them too here; the native tree, which has none of
            # them, keeps those files honest.
            target_precompile_headers(${target} PRIVATE <windows.h> <commctrl.h> <string> <vector>)
        else()
            tivorn_unity(${target})
        endif()
    else()
        add_library(${target} INTERFACE)
        target_include_directories(${target} INTERFACE ${view})
        foreach(lower IN LISTS L_SEES)
            string(REPLACE "/" "_" lowerName ${lower})
            target_link_libraries(${target} INTERFACE tivorn_${lowerName})
        endforeach()
    endif()
endfunction()

# tivorn_part_layer(name OF folder EXCEPT file...): a layer of headers that
# shows a folder without some of its files, for code that may use the rest
# of the folder but not those (the engine library's rooms see the names
# engine/ shares, but not its C interface).  Seen as SEES name.
function(tivorn_part_layer NAME)
    cmake_parse_arguments(P "" "OF" "EXCEPT" ${ARGN})
    set_property(GLOBAL PROPERTY TIVORN_PART_${NAME} ${P_OF} ${P_EXCEPT})
    tivorn_layer(${NAME})
endfunction()

# tivorn_include_view(name out-var folder...): a folder of the build tree
# with a link to each named source folder, made anew at every configure, for
# an include path that reaches these folders and no others.  A part layer
# (tivorn_part_layer) is a real folder there, holding links to the files it
# shows, unless the whole folder is named too.
function(tivorn_include_view NAME OUT)
    set(view ${CMAKE_BINARY_DIR}/layers/${NAME})
    file(REMOVE_RECURSE ${view})
    file(MAKE_DIRECTORY ${view})
    foreach(folder IN LISTS ARGN)
        get_property(part GLOBAL PROPERTY TIVORN_PART_${folder})
        if(part)
            list(POP_FRONT part whole)
            if(whole IN_LIST ARGN)
                continue()
            endif()
            file(MAKE_DIRECTORY ${view}/${whole})
            file(GLOB shown RELATIVE ${CMAKE_SOURCE_DIR}/${whole} ${CMAKE_SOURCE_DIR}/${whole}/*)
            foreach(file IN LISTS shown)
                if(NOT file IN_LIST part)
                    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${whole}/${file} ${view}/${whole}/${file} SYMBOLIC)
                endif()
            endforeach()
        elseif(EXISTS ${CMAKE_SOURCE_DIR}/${folder})
            get_filename_component(parent ${view}/${folder} DIRECTORY)
            file(MAKE_DIRECTORY ${parent})
            file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${view}/${folder} SYMBOLIC)
        endif()
    endforeach()
    set(${OUT} ${view} PARENT_SCOPE)
endfunction()

# tivorn_version_definitions(target): the version's numbers and text for a
# resource script or the About view, from the one version of the build
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

# How test code is compiled: unoptimised; in the native tree with line
# tables only, which is all the sanitizers' reports need, and still under
# the sanitizers but without libFuzzer's coverage, which guides only fuzz
# runs (they link no test code) and costs a third of a test file's build.
if(WIN32)
    set(TIVORN_TEST_FLAGS -O0)
else()
    set(TIVORN_TEST_FLAGS -O0 -gline-tables-only -fno-sanitize=fuzzer-no-link)
endif()

# tivorn_test_code(target): compiles the target as test code: the flags
# above, and the headers most tests include precompiled once per tree
# (tests/CMakeLists.txt).  In the Windows tree plain test code reads them
# with windows.h too, one set fewer to compile; the native tree, which has
# no windows.h, keeps it plain.  Test code is compiled often and runs for
# moments.
function(tivorn_test_code TARGET)
    target_compile_options(${TARGET} PRIVATE ${TIVORN_TEST_FLAGS})
    if(WIN32)
        target_precompile_headers(${TARGET} REUSE_FROM tivorn_test_pch_windows)
    else()
        target_precompile_headers(${TARGET} REUSE_FROM tivorn_test_pch_plain)
    endif()
endfunction()

# tivorn_test(NAME name SOURCES ... [LIBS ...] [RESOURCES] [SERIAL] [TIMEOUT s])
# A GoogleTest program run by CTest (under Wine in the Windows tree).
#   LIBS       the folder libraries under test (tivorn_store, ...): the test
#              sees what they see, plus the test helpers (tivorn_test_includes)
#   RESOURCES  links the program's resources (dialog templates, menus, images)
#   SERIAL     runs the real program (which has the program's own registry
#              key), stands in for the running copy, or types on the one
#              desktop: so it runs in a Wine prefix and on a display of its
#              own (scripts/own-prefix.sh).  The others keep their state
#              under a key of their own (testing/win_test_support.h), and
#              their resident windows are never the running copy's
#              (engine/resident_window.h): they run side by side in the
#              test prefix.  A program that stands in or types, but needs
#              no real Tivorn.exe, can run side by side on a desktop of its
#              own instead (tt::RunOnOwnDesktop)
#   SHARDS n   a SERIAL program run as n tests, each a share of its cases
#              in a prefix of its own (GoogleTest's sharding)
#   QUICK_SHARDS n  for make test-quick, the program runs as n tests side
#              by side, each a share of its cases (labelled part), where
#              make test runs it whole (labelled whole): for a program whose
#              cases mostly wait, where a start of Wine per part costs
#              make test more processor time than it saves it
#   OWN_MAIN   the sources bring main(); otherwise gtest_main is linked
#   OWN_DESKTOP runs on a window station and desktop of its own
#              (tt::RunOnOwnDesktop): the focus, the clipboard and typed
#              keys are the program's alone, whatever runs beside it
#   PURE       plain C++ built in both trees: the Windows tree's CTest also
#              runs the native build under the sanitizers, as NAME_sanitized
function(tivorn_test)
    cmake_parse_arguments(T "RESOURCES;SERIAL;OWN_MAIN;OWN_DESKTOP;PURE" "NAME;TIMEOUT;SHARDS;QUICK_SHARDS" "SOURCES;LIBS" ${ARGN})
    if(T_PURE)
        tivorn_native_test(NAME ${T_NAME}_sanitized COMMAND test-bin/${T_NAME})
    endif()
    add_executable(${T_NAME} ${T_SOURCES})
    tivorn_unity(${T_NAME})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} tivorn_test_includes GTest::gtest)
    tivorn_test_code(${T_NAME})
    if(T_OWN_DESKTOP)
        target_link_libraries(${T_NAME} PRIVATE tivorn_own_desktop_main tivorn_test_support)
    elseif(NOT T_OWN_MAIN)
        target_link_libraries(${T_NAME} PRIVATE GTest::gtest_main)
    endif()
    set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/test-bin)
    if(WIN32)
        if(T_RESOURCES)
            target_link_libraries(${T_NAME} PRIVATE tivorn_rc)
        endif()
        target_link_libraries(${T_NAME} PRIVATE ${TIVORN_SYSTEM_LIBS})
        # Test programs need KORVEL.dll beside them; Tivorn.exe is found in
        # TIVORN_BIN_DIR by the end-to-end tests.
        tivorn_korvel_beside(${T_NAME})
    endif()
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 600)
    endif()
    set(environment "TIVORN_BIN_DIR=${TIVORN_BIN_DIR};TIVORN_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
    if(NOT T_SERIAL OR NOT WIN32)
        add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_color=no)
        set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${environment}")
        if(WIN32)
            set_tests_properties(${T_NAME} PROPERTIES FIXTURES_REQUIRED windows_tree)
        endif()
        if(T_QUICK_SHARDS)
            set_tests_properties(${T_NAME} PROPERTIES LABELS whole)
            math(EXPR last "${T_QUICK_SHARDS} - 1")
            foreach(shard RANGE ${last})
                math(EXPR number "${shard} + 1")
                add_test(NAME ${T_NAME}_part_${number} COMMAND ${T_NAME} --gtest_color=no)
                set_tests_properties(${T_NAME}_part_${number} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS part
                    ENVIRONMENT "${environment};GTEST_TOTAL_SHARDS=${T_QUICK_SHARDS};GTEST_SHARD_INDEX=${shard}")
                if(WIN32)
                    set_tests_properties(${T_NAME}_part_${number} PROPERTIES FIXTURES_REQUIRED windows_tree)
                endif()
            endforeach()
        endif()
        return()
    endif()
    # They are the longest tests of the run, so CTest starts them first,
    # and they are built before it (tests/CMakeLists.txt).  Labelled, so that
    # make test-quick can leave them out of the edit loop.
    add_dependencies(tivorn_serial_first ${T_NAME})
    if(NOT T_SHARDS)
        set(T_SHARDS 1)
    endif()
    math(EXPR last "${T_SHARDS} - 1")
    foreach(shard RANGE ${last})
        set(test ${T_NAME})
        set(shard_environment "${environment}")
        if(T_SHARDS GREATER 1)
            math(EXPR number "${shard} + 1")
            set(test ${T_NAME}_${number})
            list(APPEND shard_environment GTEST_TOTAL_SHARDS=${T_SHARDS} GTEST_SHARD_INDEX=${shard})
        endif()
        add_test(NAME ${test} COMMAND ${PROJECT_SOURCE_DIR}/scripts/own-prefix.sh ${test}
                 ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:${T_NAME}> --gtest_color=no)
        set_tests_properties(${test} PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${shard_environment}"
                             COST 100 LABELS serial)
    endforeach()
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
    # The test native_build (tests/CMakeLists.txt) builds the native tree first.
    set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT} FIXTURES_REQUIRED native_tree)
endfunction()

# tivorn_fuzzer(NAME name SOURCES ... LIBS ... [SECONDS n] [CORPUS dir])
# A libFuzzer target of the native tree, run by CTest for a bounded time.
# CORPUS is a folder of seed inputs; the run works on a copy in the tree.
# The run is niced: it takes whatever processor time is left over in its
# SECONDS, and the Wine tests beside it, which wait on windows, stay quick.
# Five seconds a run: make test is not the place for long fuzzing (run the
# program in the native tree's fuzz/ for longer).  New functions reached are
# not named (-print_funcs=0): naming them starts a symbolizer per run.
function(tivorn_fuzzer)
    cmake_parse_arguments(F "" "NAME;SECONDS;CORPUS" "SOURCES;LIBS" ${ARGN})
    if(NOT F_SECONDS)
        set(F_SECONDS 5)
    endif()
    if(WIN32)
        math(EXPR limit "${F_SECONDS} + 120")
        tivorn_native_test(NAME ${F_NAME} TIMEOUT ${limit}
            COMMAND fuzz/${F_NAME}-run.sh)
        # The longest tests beside the serial ones: started early.
        if(TEST ${F_NAME})
            set_tests_properties(${F_NAME} PROPERTIES COST ${F_SECONDS} LABELS fuzz)
        endif()
        return()
    endif()
    add_executable(${F_NAME} ${F_SOURCES})
    target_link_libraries(${F_NAME} PRIVATE ${F_LIBS} tivorn_test_includes)
    target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
    set_target_properties(${F_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
    # A fresh working corpus for every run, seeded from the source tree.
    set(work ${CMAKE_BINARY_DIR}/fuzz/${F_NAME}-corpus)
    file(WRITE ${CMAKE_BINARY_DIR}/fuzz/${F_NAME}-run.sh
"#!/bin/bash
set -e
rm -rf '${work}' && mkdir -p '${work}'
if [ -n '${F_CORPUS}' ] && [ -d '${F_CORPUS}' ]; then cp -r '${F_CORPUS}'/. '${work}'/; fi
exec nice -n 10 '${CMAKE_BINARY_DIR}/fuzz/${F_NAME}' -max_total_time=${F_SECONDS} -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -print_funcs=0 '${work}'
")
    file(CHMOD ${CMAKE_BINARY_DIR}/fuzz/${F_NAME}-run.sh
         PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    if(TIVORN_TESTS)
        add_test(NAME ${F_NAME} COMMAND ${CMAKE_BINARY_DIR}/fuzz/${F_NAME}-run.sh)
    endif()
endfunction()
