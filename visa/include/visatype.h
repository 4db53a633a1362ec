/**
 * @file visatype.h
 * @brief Fundamental VISA data types of the Velquist VISA library (LP64 and ILP32 Linux).
 */
#ifndef VELQ_VISATYPE_H
#define VELQ_VISATYPE_H

#if defined(_WIN64) || defined(__LP64__) || defined(_LP64) || defined(__x86_64__) || defined(__aarch64__)
#ifndef _VISA_ENV_IS_64_BIT
#define _VISA_ENV_IS_64_BIT
#endif
#endif

#define _VI_FAR
#define _VI_FUNC
#define _VI_FUNCC
#define _VI_FUNCH
#define _VI_SIGNED signed
#define _VI_ERROR (-2147483647L - 1)
#define _VI_PTR *

#include <limits.h>

#ifdef __cplusplus
extern "C" {
#endif

#if ULONG_MAX > 0xFFFFFFFFUL
typedef unsigned int ViUInt32;
typedef signed int ViInt32;
#else
typedef unsigned long ViUInt32;
typedef signed long ViInt32;
#endif
typedef ViUInt32 *ViPUInt32;
typedef ViUInt32 *ViAUInt32;
typedef ViInt32 *ViPInt32;
typedef ViInt32 *ViAInt32;

typedef unsigned long long ViUInt64;
typedef signed long long ViInt64;
typedef ViUInt64 *ViPUInt64;
typedef ViUInt64 *ViAUInt64;
typedef ViInt64 *ViPInt64;
typedef ViInt64 *ViAInt64;

typedef unsigned short ViUInt16;
typedef ViUInt16 *ViPUInt16;
typedef ViUInt16 *ViAUInt16;
typedef signed short ViInt16;
typedef ViInt16 *ViPInt16;
typedef ViInt16 *ViAInt16;

typedef unsigned char ViUInt8;
typedef ViUInt8 *ViPUInt8;
typedef ViUInt8 *ViAUInt8;
typedef signed char ViInt8;
typedef ViInt8 *ViPInt8;
typedef ViInt8 *ViAInt8;

typedef char ViChar;
typedef ViChar *ViPChar;
typedef ViChar *ViAChar;
typedef unsigned char ViByte;
typedef ViByte *ViPByte;
typedef ViByte *ViAByte;
typedef void *ViAddr;
typedef ViAddr *ViPAddr;
typedef ViAddr *ViAAddr;
typedef float ViReal32;
typedef ViReal32 *ViPReal32;
typedef ViReal32 *ViAReal32;
typedef double ViReal64;
typedef ViReal64 *ViPReal64;
typedef ViReal64 *ViAReal64;

typedef ViPByte ViBuf;
typedef const ViByte *ViConstBuf;
typedef ViPByte ViPBuf;
typedef ViPByte *ViABuf;

typedef ViPChar ViString;
typedef const ViChar *ViConstString;
typedef ViPChar ViPString;
typedef ViPChar *ViAString;

typedef ViString ViRsrc;
typedef ViConstString ViConstRsrc;
typedef ViString ViPRsrc;
typedef ViString *ViARsrc;

typedef ViUInt16 ViBoolean;
typedef ViBoolean *ViPBoolean;
typedef ViBoolean *ViABoolean;

typedef ViInt32 ViStatus;
typedef ViStatus *ViPStatus;
typedef ViStatus *ViAStatus;

typedef ViUInt32 ViVersion;
typedef ViVersion *ViPVersion;
typedef ViVersion *ViAVersion;

typedef ViUInt32 ViObject;
typedef ViObject *ViPObject;
typedef ViObject *ViAObject;

typedef ViObject ViSession;
typedef ViSession *ViPSession;
typedef ViSession *ViASession;

typedef ViUInt32 ViAttr;

#define VI_NULL (0)
#define VI_TRUE (1)
#define VI_FALSE (0)

#define VI_SUCCESS (0L)

#ifdef __cplusplus
}
#endif

#endif
