#include "../dnssd/dnssd_table.h"
#include "../host/deliver_event.h"
#include "service_base.h"
#include "service_classes.h"

static HostEventDefinition gEvents[] = {
    {"ServiceDomainEnumeration(flags as integer, interfaceIndex as integer, errorcode as integer, Domain as "
     "string)",
     0},
};

static void DNSSD_CALL DomainReply(DNSServiceRef, DNSServiceFlags flags, uint32_t interfaceIndex,
                                   DNSServiceErrorType errorCode, const char *replyDomain, void *context)
{
    DeliverEvent(static_cast<HostObject>(context), &gEvents[0], HostIntegerFrom32(flags),
                 HostIntegerFrom32(interfaceIndex), HostIntegerFrom32((uint32_t)errorCode),
                 EventText(replyDomain, kHostEncodingUTF8));
}

/* The enumeration has ended: the event once more, with the code and nothing
 * else. */
static void DomainsEnded(HostObject self, DNSServiceErrorType code)
{
    DomainReply(nullptr, 0, 0, code, nullptr, self);
}

static bool EnumerateDomains(HostObject self, HostInteger flags, HostInteger interfaceIndex)
{
    ServiceRecord *record = ServiceRecordOf(self);
    if (!BeginStart(record) || !gDnsSd.DNSServiceEnumerateDomains)
        return false;
    DNSServiceRef ref = nullptr;
    DnsSdCallGuard guard;
    DNSServiceErrorType result =
        gDnsSd.DNSServiceEnumerateDomains(&ref, (uint32_t)flags, (uint32_t)interfaceIndex, DomainReply, self);
    record->Lasterror = result;
    return FinishStart(record, result, ref, self, DomainsEnded);
}

static const HostMethodDefinition kMethods[] = {
    {(HostRoutine)&EnumerateDomains, nullptr, "EnumerateDomains(Flags as integer, InterfaceIndex as integer) as boolean",
     kHostMethodFlags},
};

HostClassDefinition gServiceDomainEnumerationClass = {
    kHostClassVersion, "DNSServiceDomainEnumerationZRK", "DNSServiceBaseZRK", 0, 0, nullptr, nullptr,
    nullptr, 0, kMethods, 1, gEvents, 1, nullptr, 0, kHostClassFlags, nullptr, 0,
};
