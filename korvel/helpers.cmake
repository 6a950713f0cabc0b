# The helper operations of KORVEL.dll: paths, folder listing, registry,
# shortcuts, the folder picker, the hand-over of a second start and the
# hotkey hook.  The decisions are plain C++ (built in both trees, tested
# natively too); the Windows side only gathers input and acts on them.
list(APPEND KORVEL_PURE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/command_line.cpp
    ${CMAKE_CURRENT_LIST_DIR}/folder_names.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hotkey_filter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/registry_value.cpp)
list(APPEND KORVEL_WIN32_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/dllmain.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hand_over.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hotkey_hook.cpp
    ${CMAKE_CURRENT_LIST_DIR}/path_helpers.cpp
    ${CMAKE_CURRENT_LIST_DIR}/registry_helpers.cpp
    ${CMAKE_CURRENT_LIST_DIR}/settings_key.cpp
    ${CMAKE_CURRENT_LIST_DIR}/shell_helpers.cpp)
