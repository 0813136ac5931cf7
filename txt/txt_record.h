#ifndef ZRK_TXT_RECORD_H
#define ZRK_TXT_RECORD_H

#include "../host/host_sdk.h"

/* TXTRecordZRK: builds a TXT record key by key, and reads TXT records by key
 * or by index, on an instance or on a record given as a string. */
extern HostClassDefinition gTxtRecordClass;

#endif
