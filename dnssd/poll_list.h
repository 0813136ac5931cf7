/*
 * The poll list: the records of every open operation, in the order their
 * operations started.  Each timer tick walks it and lets every record whose
 * socket has a reply waiting process exactly one.
 */
#ifndef ZRK_POLL_LIST_H
#define ZRK_POLL_LIST_H

#include <stddef.h>

#include "service_record.h"

/* Starts polling an open record.  False when the record has no operation;
 * true otherwise, even when no memory could be had for it (the operation then
 * stays open but is never polled). */
bool AddToPollList(ServiceRecord *record);

/* Stops polling the record. */
void RemoveFromPollList(ServiceRecord *record);

/* One timer tick. */
void PollTimerProc(void);

/* Processes one waiting reply of the record, if its socket has one. */
void PollService(ServiceRecord *record);

/* For the runtime's own tests: nodes held, and ticks so far. */
size_t PollListLength(void);
unsigned long PollTickCount(void);

#endif
