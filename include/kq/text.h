/* Text services: the colour palette by role, code-page conversions and upper-casing, and the
 * clipboard as text in the console code page. */
#ifndef KQ_TEXT_H
#define KQ_TEXT_H

#include "kq/api.h"

ZEXTERN_C_BEGIN

#define PALETTE_SIZE 36

/* The live 36-entry palette (console attributes by role), readable and writable. All zero
 * until ColDefaultPalette. */
ZAPI uint8_t* ZCALL ColGetPalette(void);
ZAPI int ZCALL ColDefaultPalette(void);

/* Code pages are numbers: 437, 850, 866, 1251, 1252, ...; 1200 is UTF-16LE, 65001 UTF-8.
 * UUctoCp converts count UTF-16 units to count bytes; UCptoUc the reverse. With null buffers
 * and a count of 0 they only test whether the code page is available. 0, or -1. */
ZAPI int ZCALL UUctoCp(int codePage, const uint16_t* source, char* destination, int count);
ZAPI int ZCALL UCptoUc(int codePage, const char* source, uint16_t* destination, int count);
/* The console's code page; -1 when the environment (KQ_CODEPAGE) names one that cannot be
 * used, which a host reports before it starts. */
ZAPI int ZCALL UGetConCp(void);
/* Upper-cases length bytes in place by the rules of the console code page; 0 when every
 * character was processed, else -1. */
ZAPI int ZCALL UUpCase(char* buffer, int length);

/* Puts length bytes (and a terminating zero) on the clipboard; 0, or -1. */
ZAPI int ZCALL ClipBrdPut(const char* text, int length);
/* Copies the clipboard text with its terminating zero, cut to size (then not terminated);
 * returns the full size including the zero, -1 when the clipboard holds no text, 0 when it
 * cannot be read. A null buffer asks only for the size. */
ZAPI int ZCALL ClipBrdGet(char* buffer, int size);

ZEXTERN_C_END

#endif
