/*
 * The poll list: the records of every open operation, in the order their
 * operations started.  Each timer tick walks it and lets every record whose
 * socket has a reply waiting process it, then serves again, within a short
 * budget, the records that keep delivering.  An operation whose reply cannot
 * be processed (its daemon went away) has ended: it is closed and its
 * instance told once.  The timer runs only while an operation is open.
 */
#ifndef ZRK_POLL_LIST_H
#define ZRK_POLL_LIST_H

#include <stddef.h>

#include "service_record.h"

/* Tells the instance that its operation ended with code, after the record
 * was closed: the operation's own event, carrying the code. */
typedef void (*PollEndedProc)(HostObject instance, DNSServiceErrorType code);

/* Starts polling an open record of instance.  False when the record has no
 * operation; true otherwise, even when no memory could be had for it (the
 * operation then stays open but is never polled). */
bool AddToPollList(ServiceRecord *record, HostObject instance, PollEndedProc ended);

/* Stops polling the record. */
void RemoveFromPollList(ServiceRecord *record);

/* One timer tick. */
void PollTimerProc(void);

/* Lets the library process the record's waiting replies, if its socket has
 * any; servedSocket is that socket, or -1 when nothing was waiting.  The
 * library's result: 0 also when nothing was waiting. */
DNSServiceErrorType PollService(ServiceRecord *record, int *servedSocket);

/* For the runtime's own tests: nodes held, and ticks so far. */
size_t PollListLength(void);
unsigned long PollTickCount(void);

#endif
