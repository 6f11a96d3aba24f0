/* The host program's side of the contract: what the host fills in before it starts the
 * desktop. */
#ifndef KQ_HOST_H
#define KQ_HOST_H

#include "kq/api.h"

ZEXTERN_C_BEGIN

/* The folder that holds the language modules ("Lng*.dll"), filled by the host at start. */
extern ZAPI char homeDir[512];

ZEXTERN_C_END

#endif
