#ifndef ZRK_CLASS_DATA_H
#define ZRK_CLASS_DATA_H

#include "host_sdk.h"

/* A class's data inside an instance, at the offset the host wrote into the
 * class record when it was registered. */
static inline void *HostClassData(HostObject instance, const HostClassDefinition *definition)
{
    return (char *)instance + definition->forSystemUse;
}

/* DNS-SD's 32-bit flags, indexes and codes as a host Integer: the same 32 bits,
 * sign-extended, so -1 reads the same in 32- and 64-bit builds. */
static inline HostInteger HostIntegerFrom32(uint32_t value)
{
    return (HostInteger)(int32_t)value;
}

#endif
