/*
 * The little the plug-in needs from the operating system, behind one interface:
 * loading a library by file name, a timer delivered by the host's message
 * loop, a zero-timeout readiness test of one socket, zero-filled memory, and
 * calls into the DNS-SD library that cannot end the host's process.  unix/
 * and win/ hold the two implementations.
 */
#ifndef ZRK_PLATFORM_H
#define ZRK_PLATFORM_H

#include <stddef.h>
#include <stdint.h>

typedef void (*PlatformSymbol)(void);
typedef void (*PlatformTimerProc)(void);

/* The file name of the platform's DNS-SD client library. */
extern const char kPlatformDnsSdLibrary[];

/* A handle to the loaded library, or null when it cannot be loaded. */
void *PlatformLoadLibrary(const char *fileName);
PlatformSymbol PlatformLookupSymbol(void *library, const char *name);

/* Whatever the loaded DNS-SD library needs before its first reference is
 * made.  True when the library hands each reference's replies over from a
 * thread of its own in this process, one wake-up of that thread per
 * DNSServiceProcessResult: a reference just served may become readable again
 * a moment later without anything new from the daemon. */
bool PlatformPrepareDnsSdLibrary(void *library);

/* Brackets a call into the DNS-SD library that may write to its daemon's
 * socket: a daemon that went away must not end the host's process with a
 * signal.  Calls may nest; the state lives on the caller's stack. */
typedef struct PlatformLibraryCall {
    bool guarded; /* this bracket changed the thread's signal state */
} PlatformLibraryCall;
void PlatformEnterLibraryCall(PlatformLibraryCall *call);
void PlatformLeaveLibraryCall(const PlatformLibraryCall *call);

/* Calls proc every intervalMs on the thread that runs the host's message
 * loop.  Returns false when no timer could be made.  One timer at a time. */
bool PlatformStartTimer(unsigned intervalMs, PlatformTimerProc proc);
/* Stops it; safe from inside proc. */
void PlatformStopTimer(void);

/* A clock that only goes forward, in microseconds. */
uint64_t PlatformMonotonicMicroseconds(void);

/* 1 when the socket has data to read now, 0 when not, -1 on error.  Never
 * waits. */
int PlatformSocketReadable(int socket);
/* Waits at most timeoutMicroseconds for any of the sockets to have data to
 * read; returns at once when one has. */
void PlatformWaitReadable(const int *sockets, size_t count, unsigned timeoutMicroseconds);

void *PlatformAllocZeroed(size_t size);
void PlatformFree(void *block);

#endif
