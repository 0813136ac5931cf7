/*
 * How a test looks at the scripted library from outside, the way the
 * operating system shows it: the DNS-SD library the process already has, its
 * exports by name, and the sockets it hands out.  scripted_probe_posix.cpp
 * and scripted_probe_win.cpp are the two implementations.
 */
#ifndef ZRK_SCRIPTED_PROBE_H
#define ZRK_SCRIPTED_PROBE_H

#include <stdint.h>

/* The DNS-SD library (by its platform file name) already in the process,
 * found without loading anything; null when there is none. */
void *ProbeLoadedDnsSd(void);
/* An export of that library by name, or null. */
void *ProbeExport(void *library, const char *name);
/* An export by name from whatever the process has loaded, or null. */
void *ProbeAnyExport(const char *name);

/* The socket has data to read now (never waits). */
bool ProbeReadable(int socket);
/* The socket number is open. */
bool ProbeOpen(int socket);

/* A port as it travels. */
uint16_t ProbeNetworkOrder(uint16_t port);

#endif
