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

static bool EnumerateDomains(HostObject self, HostInteger flags, HostInteger interfaceIndex)
{
    ServiceRecord *record = ServiceRecordOf(self);
    BeginStart(record);
    if (!gDnsSd.DNSServiceEnumerateDomains)
        return false;
    DNSServiceRef ref = nullptr;
    DNSServiceErrorType result =
        gDnsSd.DNSServiceEnumerateDomains(&ref, (uint32_t)flags, (uint32_t)interfaceIndex, DomainReply, self);
    record->Lasterror = result;
    return FinishStart(record, result, ref);
}

static const HostMethodDefinition kMethods[] = {
    {(HostRoutine)&EnumerateDomains, nullptr, "EnumerateDomains(Flags as integer, InterfaceIndex as integer) as boolean",
     kHostMethodFlags},
};

HostClassDefinition gServiceDomainEnumerationClass = {
    kHostClassVersion, "DNSServiceDomainEnumerationZRK", "DNSServiceBaseZRK", 0, 0, nullptr, nullptr,
    nullptr, 0, kMethods, 1, gEvents, 1, nullptr, 0, kHostClassFlags, nullptr, 0,
};
