#include "dnssd_table.h"

#include "../platform/platform.h"

DnsSdTable gDnsSd;
bool gDnsSdRepliesThroughThread;

void LoadDnsSdLibrary(void)
{
    /* Never released: the entries stay valid for the life of the process. */
    void *library = PlatformLoadLibrary(kPlatformDnsSdLibrary);
    if (!library)
        return;
#define DNSSD_LOOKUP(name) \
    gDnsSd.name = reinterpret_cast<name##Fn>(PlatformLookupSymbol(library, #name));
    DNSSD_ENTRIES(DNSSD_LOOKUP)
#undef DNSSD_LOOKUP
    gDnsSdRepliesThroughThread = PlatformPrepareDnsSdLibrary(library);
}

bool DnsSdAvailable(void)
{
    return gDnsSd.DNSServiceRefDeallocate && gDnsSd.DNSServiceEnumerateDomains && gDnsSd.DNSServiceRegister &&
           gDnsSd.DNSServiceUpdateRecord && gDnsSd.DNSServiceBrowse && gDnsSd.DNSServiceResolve &&
           gDnsSd.DNSServiceRefSockFD && gDnsSd.DNSServiceProcessResult;
}
