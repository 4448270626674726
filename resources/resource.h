#pragma once
// Resource identifiers only.

// Menus, accelerators and dialogs
#define IDR_MAIN_MENU        104
#define IDR_ACCELERATORS     120
#define IDD_OPTIONS          117
#define IDD_FOLDERS          124
#define IDD_KEEP_SAMPLES     125

// Menu commands
#define IDM_EXIT             40001
#define IDM_SAVE_TO_FILE     40006
#define IDM_COPY             40007
#define IDM_OPTIONS          40035
#define IDM_SELECT_REGION    40036
#define IDM_SAVE_GIF         40037
#define IDM_COPY_GIF         40038

// Options dialog controls
#define IDC_APPLY            1004
#define IDC_CANCEL_OPTIONS   1005
#define IDC_SHUTTER_TIME     1006
#define IDC_SAMPLE_RATE      1007
#define IDC_DECAY_TRACKBAR   1008
#define IDC_CURVE_PREVIEW    1009
#define IDC_DECAY_TEXT       1010
#define IDC_SWALLOW_KEYS     1011
#define IDC_AUTO_SAVE        1014
#define IDC_CAPTURE_ACTIVE   1015
#define IDC_CAPTURE_CLIENT   1016
#define IDC_COLOR_DOUBLE     1017
#define IDC_SHOT_KEY         1019
#define IDC_MEMORY_LABEL     1020
#define IDC_EMPHASIS_ON      1021
#define IDC_EMPHASIS_LEVEL   1022
#define IDC_START_KEY        1023
#define IDC_NO_DECAY         1024
#define IDC_EMPHASIS_SPIN    1025
#define IDC_AVI_OUT          1026
#define IDC_FOLDER_SETTINGS  1027
#define IDC_STOP_KEY         1028
#define IDC_AVI_FPS          1030
#define IDC_AVI_TIME         1031
#define IDC_SAVE_BMP         1040
#define IDC_SAVE_PNG         1041
#define IDC_AUTO_COPY        1042
#define IDC_CURSOR_CAPTURE   1043
#define IDC_MODE_MEAN        1044
#define IDC_MODE_LIGHTEN     1045
#define IDC_MODE_DARKEN      1046
#define IDC_MODE_MEDIAN      1047
#define IDC_RETRO            1048
#define IDC_RETRO_TIME       1049
#define IDC_RETRO_FPS        1050
#define IDC_RETRO_KEY        1051
#define IDC_RETRO_COST       1052
#define IDC_RETRO_CAP        1053
#define IDC_CAPTURE_REGION   1054
#define IDC_REGION_KEY       1055
#define IDC_GIF_OUT          1056
#define IDC_REC_AVI          1057
#define IDC_REC_GIF          1058
#define IDC_LANGUAGE         1059
#define IDC_CLICK_MARKS      1060
#define IDC_POINTER_PATH     1061
#define IDC_GIF_MAX_MB       1062

// Folder settings dialog controls
#define IDC_AUTOSAVE_FOLDER  1028
#define IDC_AUTOSAVE_BROWSE  1029
#define IDC_AVI_FOLDER       1030
#define IDC_AVI_BROWSE       1031
#define IDC_TEMP_FOLDER      1032
#define IDC_TEMP_BROWSE      1033

// The dialog that asks what becomes of samples a file could not take whole
#define IDC_KEEP_TEXT        1101
#define IDC_KEEP_ELSEWHERE   1102
