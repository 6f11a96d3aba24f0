/* The file viewer, for the host and for plugins once the desktop runs. */
#ifndef KQ_VIEWER_H
#define KQ_VIEWER_H

#include "kq/api.h"

ZEXTERN_C_BEGIN

/* Shows the file at path (console code page) read-only in a modal window at (x, y) of the given
 * size; a width or height of 0 or less takes the whole desktop above the key bar. reserved is
 * not used. 0 once the viewer was closed, -1 when the file cannot be opened (a message said
 * so). */
ZAPI int ZCALL ZViewFile(const char* path, int x, int y, int width, int height, int reserved);

ZEXTERN_C_END

#endif
