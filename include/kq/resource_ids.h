/* Numbers shared by the program and the language modules: string ids, dialog template ids and
 * the control ids inside them, the menu bar and the command ids its items carry. Plain
 * preprocessor text, read by C, C++ and the resource compiler alike, so that every number is
 * written once, here. */
#ifndef KQ_RESOURCE_IDS_H
#define KQ_RESOURCE_IDS_H

/* ---------------------------------------------------------------------------------------------
 * Strings
 * ------------------------------------------------------------------------------------------- */

/* The language's own name, shown in the language list. */
#define IDS_LANGUAGE_NAME 1

/* Message-box button captions; each button bit has its own string. */
#define IDS_BUTTON_OK 100       /* bit 0x0001 */
#define IDS_BUTTON_CANCEL 101   /* bit 0x0002 */
#define IDS_BUTTON_ABORT 102    /* bit 0x0004 */
#define IDS_BUTTON_RETRY 103    /* bit 0x0008 */
#define IDS_BUTTON_IGNORE 104   /* bit 0x0010 */
#define IDS_BUTTON_CLOSE 105    /* bit 0x0020 */
#define IDS_BUTTON_YES 106      /* bit 0x0040 */
#define IDS_BUTTON_NO 107       /* bit 0x0080 */
#define IDS_BUTTON_RETURN 108   /* bit 0x0400 */
#define IDS_BUTTON_HELP 109     /* bit 0x0800 */
#define IDS_BUTTON_SKIP 110     /* bit 0x1000 */
#define IDS_BUTTON_CONTINUE 111 /* bit 0x2000 */
#define IDS_BUTTON_ALL 115      /* bit 0x0100 */
#define IDS_BUTTON_SKIP_ALL 116 /* bit 0x0200 */

/* Viewer and editor messages. */
#define IDS_TEXT_NOT_FOUND 112
#define IDS_CANNOT_OPEN_FILE 113
#define IDS_CODE_PAGE_REFUSED 114
/* Viewer: a long search's progress ("%d" percent of the way) and how to stop it. */
#define IDS_SEARCHING 117

/* File panels: selection line ("%d" selected items) and information line ("%d" directories,
 * then "%d" files), both following a formatted byte count. */
#define IDS_PANEL_SELECTION 1000
#define IDS_PANEL_INFO 1001
/* Size column of a directory and of "..". */
#define IDS_PANEL_DIR 1002
#define IDS_PANEL_UP_DIR 1003
/* Column titles. */
#define IDS_PANEL_NAME 1004
#define IDS_PANEL_SIZE 1005
#define IDS_PANEL_TIME 1008
#define IDS_PANEL_DATE 1014

/* The exit question: title and text. */
#define IDS_EXIT_TITLE 1009
#define IDS_EXIT_QUESTION 1010

/* Shell: title of the drive menu and of the language list. */
#define IDS_DRIVE_MENU_TITLE 1011
#define IDS_LANGUAGE_LIST_TITLE 1017

/* Local file system: delete questions and the question at unloading while jobs run. */
#define IDS_DELETE_READ_ONLY 1015
#define IDS_DELETE_NOT_EMPTY 1016
#define IDS_STOP_JOBS 1018

/* Key-bar label sets (labels of F1, F2, ... separated by characters below 32). */
#define IDS_KEYBAR_PANEL 1020            /* panels: no modifier */
#define IDS_KEYBAR_PANEL_CTRL 1021       /* Ctrl */
#define IDS_KEYBAR_PANEL_ALT 1022        /* Alt */
#define IDS_KEYBAR_PANEL_SHIFT 1023      /* Shift */
#define IDS_KEYBAR_PANEL_ALT_SHIFT 1024  /* Alt+Shift */
#define IDS_KEYBAR_PANEL_CTRL_SHIFT 1025 /* Ctrl+Shift */
#define IDS_KEYBAR_PANEL_CTRL_ALT 1026   /* Ctrl+Alt */
#define IDS_KEYBAR_VIEWER 1027           /* viewer: no modifier */
#define IDS_KEYBAR_VIEWER_SHIFT 1029     /* Shift */
#define IDS_KEYBAR_VIEWER_ALT 1030       /* Alt */
#define IDS_KEYBAR_EDITOR 1031           /* editor: no modifier */
#define IDS_KEYBAR_EDITOR_SHIFT 1033     /* Shift */
#define IDS_KEYBAR_EDITOR_ALT 1034       /* Alt */

/* Editor questions. */
#define IDS_SAVE_CHANGES 1035
#define IDS_REPLACE_THIS 1036

/* The command line: a command not run because its directory (%s) cannot be entered (%s, the
 * system's reason). */
#define IDS_COMMAND_NOT_RUN 1050

/* Panels: requests that were not carried out. The title of the message; a directory change
 * and a new directory refused ("%s" the directory, then "%s" the reason); a new directory whose
 * name is only blanks; the reason when the plugin gave none. */
#define IDS_ERROR_TITLE 1037
#define IDS_CANNOT_ENTER_DIR 1038
#define IDS_CANNOT_MAKE_DIR 1039
#define IDS_BLANK_NAME 1040
#define IDS_NO_REASON 1041

/* Editor: a save that failed ("%s" the file, then the reason); a file that could not be
 * rewritten, its text kept under another name (the file, the reason, the copy's name); a file
 * another program changed since it was loaded; a file too large for the memory; a file that
 * cannot be read (the file, the reason); save-as onto another existing file (the file). */
#define IDS_SAVE_FAILED 1042
#define IDS_SAVE_KEPT_COPY 1043
#define IDS_CHANGED_ON_DISK 1044
#define IDS_FILE_TOO_LARGE 1045
#define IDS_CANNOT_READ_FILE 1046
#define IDS_REPLACE_EXISTING 1047

/* Copy and move jobs: the count of items not done ("%d"), followed by one reason per item
 * ("%s" the path, then the reason); the engine's own reasons; a job whose thread could not be
 * started ("%s" the reason). */
#define IDS_COPY_NOT_DONE 1060
#define IDS_MOVE_NOT_DONE 1061
#define IDS_NOT_DONE_REASON 1062
#define IDS_REASON_INTO_ITSELF 1063
#define IDS_REASON_SPECIAL_FILE 1064
#define IDS_REASON_NAME_TOO_LONG 1065
#define IDS_JOB_NOT_STARTED 1066
/* Delete jobs: the count of items not deleted ("%d"), followed by the reasons as above; the
 * engine's own reasons. */
#define IDS_DELETE_NOT_DONE 1067
#define IDS_REASON_MOUNT_POINT 1068
#define IDS_REASON_AMBIGUOUS_NAME 1069
#define IDS_REASON_TREE_MOVED 1070
/* An option dialog whose values could not all be stored ("%s" the reason). */
#define IDS_SETTINGS_NOT_SAVED 1071
/* A chosen language module that cannot be read ("%s" its file name). */
#define IDS_LANGUAGE_NOT_LOADED 1072

/* ---------------------------------------------------------------------------------------------
 * Message-box buttons: a button's bit is its id and the result of pressing it.
 * ------------------------------------------------------------------------------------------- */

#define MB_BUTTON_OK 0x0001
#define MB_BUTTON_CANCEL 0x0002
#define MB_BUTTON_ABORT 0x0004
#define MB_BUTTON_RETRY 0x0008
#define MB_BUTTON_IGNORE 0x0010
#define MB_BUTTON_CLOSE 0x0020
#define MB_BUTTON_YES 0x0040
#define MB_BUTTON_NO 0x0080
#define MB_BUTTON_ALL 0x0100
#define MB_BUTTON_SKIP_ALL 0x0200
#define MB_BUTTON_RETURN 0x0400
#define MB_BUTTON_HELP 0x0800
#define MB_BUTTON_SKIP 0x1000
#define MB_BUTTON_CONTINUE 0x2000

/* ---------------------------------------------------------------------------------------------
 * Dialog templates
 * ------------------------------------------------------------------------------------------- */

#define IDD_SEARCH 100          /* viewer and editor */
#define IDD_CODE_PAGE 101       /* viewer and editor */
#define IDD_GOTO 102            /* viewer and editor */
#define IDD_MAKE_DIR 103        /* panels */
#define IDD_HELP 104            /* shell, F1: nothing is entered */
#define IDD_DELETE_ONE 105      /* panels */
#define IDD_DELETE_MANY 106     /* panels */
#define IDD_DELETE_PROGRESS 107 /* local file system */
#define IDD_SELECT 108          /* panels */
#define IDD_UNSELECT 109        /* panels */
#define IDD_CONFIRMATIONS 110   /* shell options */
#define IDD_PANEL_OPTIONS 111   /* shell options */
#define IDD_INTERFACE 112       /* shell options */
#define IDD_SYSTEM 113          /* shell options */
#define IDD_DIR_SIZE 114        /* panels */
#define IDD_COPY 115            /* panels */
#define IDD_COPY_PROGRESS 116   /* local file system */
#define IDD_MOVE 117            /* panels */
#define IDD_MOVE_PROGRESS 118   /* local file system */
#define IDD_SAVE_AS 119         /* editor */
#define IDD_REPLACE 120         /* editor */

/* ---------------------------------------------------------------------------------------------
 * Controls inside the dialog templates
 * ------------------------------------------------------------------------------------------- */

/* Labels that the code never addresses. */
#define IDC_LABEL 0
/* The buttons that end a dialog's run with 1 (confirm) and 2 (cancel). */
#define IDC_OK 1
#define IDC_CANCEL 2

/* Search (100) and replace (120): the two check boxes. */
#define IDC_CASE_SENSITIVE 200
#define IDC_BACKWARD 201
/* Search (100), code page (101), go to (102): the edit line. */
#define IDC_VALUE 202
#define IDC_SEARCH_TEXT IDC_VALUE
#define IDC_CODE_PAGE IDC_VALUE
#define IDC_LINE_NUMBER IDC_VALUE

/* The label the code fills in: the item's name (105), the item count (106, 115, 117), the path
 * being deleted (107) or read (114), the target path (116, 118). */
#define IDC_ITEM 203

/* The edit line of the panel and editor dialogs: directory name (103), mask (108, 109),
 * destination (115, 117), path (119), search text (120); in the system dialog (113) the
 * screen saver's idle seconds. */
#define IDC_NAME 1007
#define IDC_SAVER_TIME IDC_NAME
/* Replace (120): the replacement. */
#define IDC_REPLACE_TEXT 1102

/* Directory size (114): counts and total. */
#define IDC_SIZE_FILES 1002
#define IDC_SIZE_DIRS 1082
#define IDC_SIZE_TOTAL 1083

/* Copy and move progress (116, 118). */
#define IDC_PROGRESS_SPEED 1088
#define IDC_PROGRESS_TIME_LEFT 1089
#define IDC_PROGRESS_SOURCE 1090
#define IDC_PROGRESS_FILE 1091
#define IDC_PROGRESS_TOTAL 1092

/* Confirmations (110): section "Confirmations". */
#define IDC_CONFIRM_EXIT 1014
#define IDC_CONFIRM_DELETE_FILE 1062
#define IDC_CONFIRM_DELETE_SELECTED 1063
#define IDC_CONFIRM_DELETE_DIRS 1064
#define IDC_CONFIRM_DELETE_READ_ONLY 1065

/* Panel options (111): section "Panels". */
#define IDC_SHOW_HIDDEN 1068
#define IDC_HIGHLIGHT 1069
#define IDC_SHOW_TITLES 1070
#define IDC_SHOW_INFO 1071
#define IDC_SELECT_FOLDERS 1072
#define IDC_SHOW_SORT 1073
#define IDC_PAUSE_AFTER_CALC 1084

/* Interface (112): section "Interface". */
#define IDC_SHOW_MENU 1074
#define IDC_SHOW_CLOCK 1075
#define IDC_SHOW_KEY_BAR 1081

/* System (113): section "Main"; the saver's idle time is IDC_SAVER_TIME above. */
#define IDC_SAVER_ACTIVE 1061
#define IDC_SCREEN_WIDTH 1085
#define IDC_SCREEN_HEIGHT 1086
#define IDC_NO_LABEL 1094
#define IDC_API_COPY 1095

/* ---------------------------------------------------------------------------------------------
 * The menu bar and its commands
 * ------------------------------------------------------------------------------------------- */

/* Menu resource 1: the shell's menu bar. */
#define IDM_MENU_BAR 1
/* Its items, each opening a pop-up. */
#define IDM_LEFT 1001
#define IDM_FILES 1002
#define IDM_COMMANDS 1003
#define IDM_OPTIONS 1004
#define IDM_RIGHT 1005
/* The sort-mode pop-ups inside the right (1005) and the left (1001) panel's menu. */
#define IDM_RIGHT_SORT 1105
#define IDM_LEFT_SORT 1106

/* Panel commands: the shell passes them to the active panel. */
#define CMD_VIEW 1006
#define CMD_EDIT 1007
#define CMD_COPY 1008
#define CMD_MOVE 1009
#define CMD_MAKE_DIR 1010
#define CMD_DELETE 1011
#define CMD_SELECT 1052
#define CMD_UNSELECT 1053
#define CMD_INVERT_SELECTION 1054
#define CMD_NOTHING 1057
#define CMD_DIR_SIZES 1067
/* Panel commands that the shell does not pass on. */
#define CMD_TOGGLE_HIDDEN 1068

/* Shell commands. */
#define CMD_HELP 1013 /* dialog 104 */
#define CMD_QUIT 1014
/* Sort mode m (0 to 9) of the right panel is CMD_SORT_RIGHT + m, of the left CMD_SORT_LEFT + m;
 * a panel itself takes CMD_SORT_RIGHT + m for its own sort mode. */
#define CMD_SORT_RIGHT 1030
#define CMD_SORT_LEFT 1040
#define CMD_RELOAD_LEFT 1050
#define CMD_RELOAD 1051 /* to the shell: the right panel; to a panel: itself */
#define CMD_SWAP_PANELS 1055
#define CMD_TOGGLE_PANELS 1056
#define CMD_SCREEN_SAVER 1061
#define CMD_CONFIRMATIONS 1066
#define CMD_INTERFACE 1076
#define CMD_PANEL_OPTIONS 1077
#define CMD_SYSTEM 1080
#define CMD_LANGUAGE 1087
#define CMD_DRIVE_LEFT 1101
#define CMD_DRIVE_RIGHT 1102
#define CMD_REVERSE 1107 /* to the shell: the right panel; to a panel: itself */
#define CMD_REVERSE_LEFT 1108

/* Sort modes, as the panels' sort letters "nxmacspdo" number them; 0 keeps the listing order. */
#define SORT_MODE_UNSORTED 0
#define SORT_MODE_NAME 1
#define SORT_MODE_EXTENSION 2
#define SORT_MODE_MODIFIED 3
#define SORT_MODE_ACCESSED 4
#define SORT_MODE_CREATED 5
#define SORT_MODE_SIZE 6
#define SORT_MODE_SECOND_SIZE 7
#define SORT_MODE_TEXT1 8
#define SORT_MODE_TEXT2 9
#define SORT_MODE_COUNT 10

/* Editor commands (the editor's own command handler). */
#define CMD_EDITOR_CLOSE CMD_QUIT
#define CMD_EDITOR_SAVE 1096
#define CMD_EDITOR_SAVE_AS 1097
#define CMD_EDITOR_CODE_PAGE 1098
#define CMD_EDITOR_SEARCH 1099
#define CMD_EDITOR_SEARCH_BACK 1100
#define CMD_EDITOR_SEARCH_NEXT 1101
#define CMD_EDITOR_REPLACE 1102

/* Menu item types (the type word of a menu resource's item). */
#define MENU_TYPE_SUBMENU 0x0010
#define MENU_TYPE_SEPARATOR 0x0800
#define MENU_TYPE_GRAYED 0x2000
#define MENU_TYPE_CHECKED 0x4000

/* ---------------------------------------------------------------------------------------------
 * For the resource scripts only (they define KQ_RESOURCE_SCRIPT before including this file):
 * item styles. The resource compiler adds two bits of its own to every CONTROL's style; "NOT"
 * takes them off again, so that an item's style word holds WF_ bits and nothing else.
 * ------------------------------------------------------------------------------------------- */
#ifdef KQ_RESOURCE_SCRIPT
#include "kq/window_flags.h"
#define RC_ITEM NOT 0x50000000
/* A label or a progress bar. */
#define RC_LABEL RC_ITEM | WF_VISIBLE
/* A button, check box or edit line. */
#define RC_INPUT RC_ITEM | WF_VISIBLE | WF_FOCUSABLE
#endif

#endif
