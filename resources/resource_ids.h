// Resource and command identifiers.  The numbers are part of the program's
// outside: menu commands arrive as WM_COMMAND, controls are reached by id.
#ifndef TIVORN_RESOURCES_RESOURCE_IDS_H
#define TIVORN_RESOURCES_RESOURCE_IDS_H

// Menu 103: popup 0 is the tray menu, popup 1 the tree's context menu "ファイル".
#define IDR_POPUP_MENU          103
#define IDM_PLAY                40002
#define IDM_STOP                40003
#define IDM_RANDOM              40004
#define IDM_NEXT                40005
#define IDM_VERSION             40006
#define IDM_EXIT                40007
#define IDM_BEST_SETTINGS       40008
#define IDM_REPEAT_ONE          40009
#define IDM_REWIND              40010
#define IDM_CLEAR_HISTORY       40016
#define IDM_HELP                40017
#define IDM_SONG_INFO           40018
#define IDM_OUTPUT_MAPPER       40019   // the submenu "出力先(&D)"
#define IDM_OUTPUT_LOG          40020
#define IDM_OUTPUT_SYNTH        40021   // the built-in synthesizer
#define IDM_OUTPUT_SOUNDFONT    40022   // its SoundFont, chosen in a file dialog
#define IDM_OUTPUT_DEVICE_FIRST 40100   // MIDI out device k is 40100 + k
#define IDM_BEST_FIRST          10000   // best k of the best menu is 10000 + k

// Dialog templates.
#define IDD_RESIDENT            104     // resident window, and the About view from the same template
#define IDD_BEST_SETTINGS       105
#define IDD_ADVANCED            106
#define IDD_BEST_NAME           107

// Controls.
#define IDC_STATIC_NONE         65535
#define IDC_OK                  1002
#define IDC_TREE                1004
#define IDC_CANCEL              1005
#define IDC_DATA_GROUP          1006
#define IDC_DATA_FOLDER         1007
#define IDC_CHANGE_DATA_FOLDER  1008
#define IDC_MIDI_FOLDER         1009
#define IDC_MIDI_GROUP          1010
#define IDC_CHANGE_MIDI_FOLDER  1011
#define IDC_PLAY_BEST_GROUP     1012
#define IDC_PLAY_BEST           1013
#define IDC_CHANGE_PLAY_BEST    1014
#define IDC_RANDOM              1015
#define IDC_SKIP_SHORTCUTS      1016
#define IDC_AUTO_SAVE           1017
#define IDC_READ_AT_ONCE        1019
#define IDC_PRIORITY            1020
#define IDC_ADVANCED            1021    // button in 105
#define IDC_ALT_CHECK_ICONS     1021    // check box in 106
#define IDC_HOTKEYS             1023
#define IDC_HOTKEY_NEXT         1024
#define IDC_HOTKEY_MENU         1025
#define IDC_BEST_LIST           1026
#define IDC_BEST_NAME           1027
#define IDC_NEW_BEST            1028
#define IDC_SAVE_BEST           1029
#define IDC_DELETE_BEST         1030
#define IDC_TABS                1034
#define IDC_MEDIA_KEYS          1035    // check box in 106
#define IDC_LOOP_PLAY           1036    // combo box in 106
#define IDC_SONG_NOTICE         1037    // check box in 106

// Bitmaps.
#define IDB_BUTTON_FIRST        131     // 131-139: new, save, delete; normal, hot, pressed
#define IDB_MENU_REWIND         146
#define IDB_MENU_BEST_SETTINGS  147
#define IDB_MENU_HELP           148
#define IDB_MENU_SONG_INFO      149
#define IDB_MENU_NEXT           150
#define IDB_MENU_PLAY           151
#define IDB_MENU_STOP           152
#define IDB_MENU_VERSION        153
#define IDB_MENU_EXIT           154
#define IDB_CHECK               155
#define IDB_ABOUT_FIRST         167     // 167-177: About animation frames
#define IDB_ABOUT_COUNT         11

// Icons.
#define IDI_TRAY_A              101     // also the tree's root image
#define IDI_FOLDER              108     // folder image; checked folder in the alternative set
#define IDI_FILE                109     // file image; checked file in the alternative set
#define IDI_TRAY_B              111
#define IDI_BOX_EMPTY           121
#define IDI_BOX_TICKED          122
#define IDI_BOX_PARTLY          123
#define IDI_FOLDER_UNCHECKED    143
#define IDI_FILE_UNCHECKED      144
#define IDI_FOLDER_PARTLY       145

#endif
