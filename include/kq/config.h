/* The configuration store: per application, named sections of typed values. Open a section,
 * query or set values, close it again. A query of the wrong kind fails like a missing value
 * and leaves the output untouched. */
#ifndef KQ_CONFIG_H
#define KQ_CONFIG_H

#include "kq/api.h"

ZEXTERN_C_BEGIN

typedef intptr_t CfgSection;

/* The application name is the text after the last '\' or '/' of path (the whole text
 * without one). 0, or -1 when the store cannot be opened (the program then runs on defaults). */
ZAPI int ZCALL CfgInit(const char* path);
ZAPI int ZCALL CfgShutdown(void);
/* Opens the section, creating it when missing; 0 on failure. */
ZAPI CfgSection ZCALL CfgOpen(const char* section);
ZAPI int ZCALL CfgClose(CfgSection section);
ZAPI int ZCALL CfgQueryDw(CfgSection section, const char* name, uint32_t* value);
ZAPI int ZCALL CfgQueryQw(CfgSection section, const char* name, uint64_t* value);
/* With a null buffer: the size the value needs, terminator included. Else 0, or -1 when the
 * value is missing, of another kind, or larger than size. */
ZAPI int ZCALL CfgQuerySz(CfgSection section, const char* name, char* buffer, int size);
ZAPI int ZCALL CfgQueryBytes(CfgSection section, const char* name, void* buffer, int size);
ZAPI int ZCALL CfgSetDw(CfgSection section, const char* name, uint32_t value);
ZAPI int ZCALL CfgSetQw(CfgSection section, const char* name, uint32_t low, uint32_t high);
ZAPI int ZCALL CfgSetSz(CfgSection section, const char* name, const char* text);
ZAPI int ZCALL CfgSetBytes(CfgSection section, const char* name, const void* data, int length);

ZEXTERN_C_END

#endif
