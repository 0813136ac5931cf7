#ifndef ZRK_SERVICE_POLLING_H
#define ZRK_SERVICE_POLLING_H

/* Loads the DNS-SD library and starts the poll timer.  Called once, by
 * start-up, in a built application only. */
void StartServicePolling(void);

#endif
