#ifndef ZRK_RECORD_UPDATE_H
#define ZRK_RECORD_UPDATE_H

#include "../host/host_sdk.h"

/* "UpdateRecord(TXTRecord as string, ttl as integer)" of both registration
 * classes: replaces the data of the instance's record (with no record, the
 * TXT record of the registration).  On a closed instance it does nothing and
 * leaves Lasterror alone. */
void UpdateRecord(HostObject self, HostString data, HostInteger ttl);

#endif
