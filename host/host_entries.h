/*
 * The host entry cache.  Each entry is asked of the host's resolver by name
 * the first time it is needed and kept from then on; while the resolver has
 * no such entry the call is skipped with a neutral result.
 */
#ifndef ZRK_HOST_ENTRIES_H
#define ZRK_HOST_ENTRIES_H

#include "host_sdk.h"

void HostEntriesInit(HostResolver resolver);

void HostRegisterPluginVersion(HostInteger version);
void HostPluginRegisterClass(HostClassDefinition *definition);
bool HostInRuntime(void);
HostString HostBuildString(const char *bytes, HostInteger length); /* null when missing */
void HostSetStringEncoding(HostString string, uint32_t encoding);
void HostUnlockString(HostString string);
/* Takes a hold on the instance only when the host can also release it; says
 * whether it did.  Release only a hold that was taken. */
bool HostLockObject(HostObject instance);
void HostUnlockObject(HostObject instance);
HostRoutine HostGetEventInstance(HostObject instance, const HostEventDefinition *event);

#endif
