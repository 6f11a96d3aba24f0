/* Language resources: strings, dialog templates and menus read from a language module, as
 * plain heap records in the console code page. Whoever loads a record frees it with the
 * matching Res*Free function. */
#ifndef KQ_RESOURCES_H
#define KQ_RESOURCES_H

#include "kq/api.h"
#include "kq/kernel.h"

ZEXTERN_C_BEGIN

typedef struct ResDialogItem {
    uint32_t style; /* WF_ bits, as the resource gives them */
    int x, y, w, h; /* within the dialog, in cells */
    int id;         /* control id, 0..65535 */
    char* className; /* "Button", "Static", ... for class atoms, or the resource's string;
                        null for an unknown atom */
    char* text;      /* caption or initial text; null when the resource gives an ordinal */
} ResDialogItem;

typedef struct ResDialog {
    uint32_t style; /* 0 for templates read from resources */
    int x, y, w, h; /* in cells; a negative x or y asks for centring in the parent */
    char* className; /* the class string, or an ordinal's number as text; null when absent */
    char* title;
    ResDialogItem* items;
    int itemCount;
} ResDialog;

struct ResMenu;

typedef struct ResMenuItem {
    uint32_t id;
    uint32_t type;           /* the resource's item type, plus 0x10 when it opens a submenu */
    struct ResMenu* submenu; /* null when none */
    char* text;
} ResMenuItem;

typedef struct ResMenu {
    int itemCount;
    char* title; /* always null from resources */
    ResMenuItem* items;
} ResMenu;

/* The current language module (a KeLoadDll handle); 0 until one is set. */
ZAPI int ZCALL ResSetLanguage(KeHandle module);
ZAPI KeHandle ZCALL ResGetLanguage(void);
/* A heap copy of string id (at most 1023 characters), or null when the module lacks it. */
ZAPI char* ZCALL ResLoadString(KeHandle module, int id);
ZAPI int ZCALL ResFreeString(char* text);
/* A dialog template, or null when the module lacks it. */
ZAPI ResDialog* ZCALL ResLoadDlg(KeHandle module, int id);
ZAPI int ZCALL ResFreeDlg(ResDialog* dialog);

ZEXTERN_C_END

/* Menus are read inside the library only. */
#ifdef __cplusplus
ResMenu* ResLoadMenu(KeHandle module, int id);
int ResFreeMenu(ResMenu* menu);
#endif

#endif
