# Helpers shared by the folders' CMakeLists.

# Windows libraries the program and its tests link.
set(TIVORN_SYSTEM_LIBS user32 gdi32 comctl32 comdlg32 shell32 shlwapi ole32 oleaut32
    uuid advapi32 winmm)

# tivorn_test(NAME name SOURCES ... [LIBS ...] [RESOURCES] [PROGRAM] [SERIAL] [TIMEOUT s])
# A GoogleTest program run by CTest (under Wine in the Windows tree).
#   PROGRAM    links the program's code (tivorn_core) and the import library
#              of KORVEL.dll, and puts a copy of the DLL beside the test
#   RESOURCES  links the program's resources (dialog templates, menus, images)
#   SERIAL     runs alone: it touches the registry key of the program
function(tivorn_test)
    cmake_parse_arguments(T "RESOURCES;PROGRAM;SERIAL" "NAME;TIMEOUT" "SOURCES;LIBS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock)
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
        add_dependencies(${T_NAME} KORVEL)
        add_custom_command(TARGET ${T_NAME} POST_BUILD
            COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:KORVEL>
                    ${CMAKE_BINARY_DIR}/test-bin/KORVEL.dll)
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
