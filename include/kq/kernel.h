/* Threads, locks, events, dynamic libraries, sleeping and the bell, for the library and for
 * plugins. Handles are pointer-sized opaque values. */
#ifndef KQ_KERNEL_H
#define KQ_KERNEL_H

#include "kq/api.h"

ZEXTERN_C_BEGIN

typedef intptr_t KeHandle;
typedef uint32_t(ZCALL* KeThreadStart)(intptr_t argument);

/* Installs the crash reporter for faults nobody handles (once; later calls do nothing): the
 * fault, where and in which thread, and the registers go to standard error and to the crash log,
 * then the process ends by the fault's signal. Returns 0. */
ZAPI int ZCALL KeSetExceptionFilter(void);
ZAPI int ZCALL KeSleep(uint32_t milliseconds);
ZAPI int ZCALL KeSound(uint32_t frequency, uint32_t duration);
/* Recursive locks: the owning thread may enter again and must leave as often. */
ZAPI KeHandle ZCALL KeInitCS(void);
ZAPI int ZCALL KeEnterCS(KeHandle lock);
ZAPI int ZCALL KeLeaveCS(KeHandle lock);
ZAPI int ZCALL KeFreeCS(KeHandle lock);
/* Auto-reset events, created non-signalled: one waiter is released per signal. -1 on failure. */
ZAPI KeHandle ZCALL KeCreateEvent(void);
ZAPI int ZCALL KeSetEvent(KeHandle event);
ZAPI int ZCALL KeResetEvent(KeHandle event);
ZAPI int ZCALL KeWaitEvent(KeHandle event);
ZAPI int ZCALL KeFreeEvent(KeHandle event);
/* Modules: shared objects, and resource-only language modules ("Lng*.dll", read as data and
 * never run). -1 on failure. */
ZAPI KeHandle ZCALL KeGetModule(void);
ZAPI KeHandle ZCALL KeLoadDll(const char* fileName);
ZAPI int ZCALL KeFreeDll(KeHandle module);
ZAPI void* ZCALL KeGetFn(KeHandle module, const char* functionName);
/* Threads: KeThread returns a handle (0 on failure) that stays valid after the thread ends. */
ZAPI intptr_t ZCALL KeThreadId(void);
ZAPI KeHandle ZCALL KeThread(KeThreadStart start, intptr_t argument);
ZAPI int ZCALL KeWaitThread(KeHandle thread);

ZEXTERN_C_END

#endif
