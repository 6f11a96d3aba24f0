/* Linkage and calling-convention macros shared by every public header of libzcomn.
 * Hosts and plugins include these headers from C or C++. */
#ifndef KQ_API_H
#define KQ_API_H

#include <stdint.h>

#if defined(_WIN32)
#define ZAPI __declspec(dllexport)
#define ZCALL __stdcall
#else
/* Exports keep default visibility; the library is built with -fvisibility=hidden. */
#define ZAPI __attribute__((visibility("default")))
/* The standard calling convention has no meaning on this platform. */
#define ZCALL
#endif

#ifdef __cplusplus
#define ZEXTERN_C_BEGIN extern "C" {
#define ZEXTERN_C_END }
#else
#define ZEXTERN_C_BEGIN
#define ZEXTERN_C_END
#endif

#endif
