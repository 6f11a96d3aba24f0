/* The console layer's exported operations: drawing cells, reading key events, the cursor,
 * the title and the screen size. A cell is two bytes: a character in the console code page,
 * then an attribute (low nibble foreground, high nibble background, console colours). */
#ifndef KQ_CONSOLE_H
#define KQ_CONSOLE_H

#include "kq/api.h"
#include "kq/keys.h"

ZEXTERN_C_BEGIN

/* 0 with an event stored, 1 when no event is waiting, -1 when the layer is closed or fails. */
ZAPI int ZCALL ConInput(uint32_t* event);
/* Writes count cells from column x of row y on, wrapping onto the following rows. */
ZAPI int ZCALL ConWrite(int16_t x, int16_t y, const uint8_t* cells, int count);
ZAPI int ZCALL ConSetCursorPos(int16_t x, int16_t y);
/* Cursor height in percent of a cell; 0 hides the cursor. */
ZAPI int ZCALL ConSetCursorSize(int size);
ZAPI int ZCALL ConSetTitle(const char* title);
ZAPI int ZCALL ConGetSize(int16_t* cols, int16_t* rows);

ZEXTERN_C_END

#endif
