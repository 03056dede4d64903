// Resource and control ids of the program's dialogs, menus and images.
#pragma once

#include <QString>

// Dialogs and menus.
constexpr int IDD_ABOUTBOX = 100;
constexpr int IDD_ORVENDEL_DIALOG = 102;
constexpr int IDD_PREVIEW = 129;
constexpr int IDD_BACKUP_OPTION = 149;
constexpr int IDR_MENU_HELP = 146;

// Icon, banners and button images.
constexpr int IDR_MAINFRAME = 128;
constexpr int IDB_ABOUT_BANNER = 130;
constexpr int IDB_BANNER = 131;
constexpr int IDB_PNG_CANCEL = 135;
constexpr int IDB_PNG_SELECT_EXTRACT = 137;
constexpr int IDB_PNG_ADD_FILES = 138;
constexpr int IDB_PNG_STOP = 139;
constexpr int IDB_PNG_CLOSE = 140;
constexpr int IDB_PNG_MOVE_DOWN = 141;
constexpr int IDB_PNG_MOVE_UP = 142;
constexpr int IDB_PNG_REMOVE_FILES = 143;
constexpr int IDB_PNG_SAVE = 144;
constexpr int IDB_PNG_HELP = 147;

// Main dialog controls.
constexpr int IDC_EDIT_BAK_FILE = 1002;
constexpr int IDC_BROWSE_BAK_FILE = 1003;
constexpr int IDC_LIST_INPUT_FILES = 1004;
constexpr int IDC_EDIT_SAVE_FOLDER = 1005;
constexpr int IDC_BROWSE_SAVE_FOLDER = 1006;
constexpr int IDC_ADD_FILES = 1007;
constexpr int IDC_REMOVE_FILES = 1008;
constexpr int IDC_MOVE_UP = 1009;
constexpr int IDC_MOVE_DOWN = 1010;
constexpr int IDC_EDIT_TEMP_FOLDER = 1011;
constexpr int IDC_BROWSE_TEMP_FOLDER = 1012;
constexpr int IDC_RADIO_SINGLE_FILE = 1013;
constexpr int IDC_RADIO_SPLIT_FILES = 1014;
constexpr int IDC_CHECK_COMPRESSED = 1015;
constexpr int IDC_PROGRESS = 1016;
constexpr int IDC_STOP = 1017;
constexpr int IDC_SELECT_EXTRACT = 1018;
constexpr int IDC_RADIO_STANDARD_MODE = 1020;
constexpr int IDC_RADIO_ADVANCED_MODE = 1021;
constexpr int IDC_STATIC_STATUS = 1032;
constexpr int IDC_HELP_BUTTON = 1033;
constexpr int IDC_GROUP_SCAN_MODE = 1035;
constexpr int IDC_GROUP_TEMP_FOLDER = 1036;
constexpr int IDC_GROUP_SAVE_FOLDER = 1037;
constexpr int IDC_LINK_DOWNLOAD = 1038;

// Backup-set dialog and information dialog controls.
constexpr int IDC_BACKUP_SET_LIST = 1004;
constexpr int IDC_FILE_LIST = 1004;
constexpr int IDC_VALUE_DATABASE_NAME = 1022;
constexpr int IDC_VALUE_SERVER_NAME = 1023;
constexpr int IDC_VALUE_CREATION_DATE = 1024;
constexpr int IDC_VALUE_BACKUP_START = 1025;
constexpr int IDC_VALUE_BACKUP_FINISH = 1026;
constexpr int IDC_VALUE_DATABASE_ID = 1027;
constexpr int IDC_VALUE_DATABASE_VERSION = 1028;
constexpr int IDC_VALUE_BACKUP_TYPE = 1029;
constexpr int IDC_VALUE_DATA_FILE_COUNT = 1030;
constexpr int IDC_VALUE_LOG_FILE_COUNT = 1031;

// About box controls.
constexpr int IDC_ABOUT_LINK_WEBSITE = 1002;
constexpr int IDC_ABOUT_LINK_SUPPORT = 1003;
constexpr int IDC_ABOUT_LINK_SALES = 1010;
constexpr int IDC_ABOUT_COPYRIGHT = 1026;
constexpr int IDC_ABOUT_TITLE = 1027;

// Help menu commands.
constexpr int ID_MENU_HELP_HELP = 32771;
constexpr int ID_MENU_HELP_HOMEPAGE = 32772;
constexpr int ID_MENU_HELP_ABOUT = 32773;

// Makes the images built into the program reachable (once per process).
void InitOrvendelResources();
// Resource paths of the built-in images.
QString PngResource(int id);     // button images
QString BitmapResource(int id);  // banners
QString IconResource(int id, int size);
