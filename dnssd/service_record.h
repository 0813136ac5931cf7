/*
 * The record of one DNS-SD operation: the class data of every operation
 * instance, allocated zero-filled by the host inside the instance and freed
 * with it.
 */
#ifndef ZRK_SERVICE_RECORD_H
#define ZRK_SERVICE_RECORD_H

#include <stddef.h>

#include "../host/host_sdk.h"
#include "dnssd_api.h"

typedef struct ServiceRecord {
    DNSServiceRef Handle;  /* the open operation, or null */
    HostInteger Lasterror; /* a DNS-SD code, -1 or 0; host programs read it */
    DNSRecordRef RecordRef; /* the one extra or registered record, or null */
} ServiceRecord;

#ifdef __cplusplus
/* What the 32-bit host sees: 16 bytes once rounded, "Handle" at 0 and
 * "Lasterror" at 4. */
static_assert(sizeof(void *) != 4 || (offsetof(ServiceRecord, Handle) == 0 &&
                                      offsetof(ServiceRecord, Lasterror) == 4 && sizeof(ServiceRecord) <= 16),
              "the 32-bit instance data layout");
#endif

/* Ends the record's operation, if one is open: stops polling it and
 * deallocates its reference, which takes its record with it.  Lasterror is
 * left as it is.  Safe from inside the operation's own reply. */
void CloseServiceRecord(ServiceRecord *record);

#endif
