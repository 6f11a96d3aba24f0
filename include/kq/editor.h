/* The text editor, for the host and for plugins once the desktop runs. */
#ifndef KQ_EDITOR_H
#define KQ_EDITOR_H

#include "kq/api.h"

ZEXTERN_C_BEGIN

/* Edits the file at path (console code page; a missing file is created empty) in a modal window
 * at (x, y) of the given size; a width or height of 0 or less takes the whole desktop above the
 * key bar. reserved is not used. 0 once the editor was closed, -1 when the file cannot be edited
 * (a message said why). */
ZAPI int ZCALL ZEditFile(const char* path, int x, int y, int width, int height, int reserved);

ZEXTERN_C_END

#endif
