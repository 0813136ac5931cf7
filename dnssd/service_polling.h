#ifndef ZRK_SERVICE_POLLING_H
#define ZRK_SERVICE_POLLING_H

/* Loads the DNS-SD library.  Called once, by start-up, in a built
 * application only. */
void StartServicePolling(void);

/* The poll timer, running only while an operation is open: a host with
 * nothing open is never woken by the plug-in. */
void StartPollTimer(void);
void StopPollTimer(void);

#endif
