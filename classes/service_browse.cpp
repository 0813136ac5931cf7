#include "../dnssd/dnssd_table.h"
#include "../host/deliver_event.h"
#include "service_base.h"
#include "service_classes.h"

static HostEventDefinition gEvents[] = {
    {"ServiceBrowse(Flags as integer, InterfaceIndex as integer, ErrorCode as integer, ServiceName as string, "
     "RegType as string, Domain as string)",
     0},
};

static void DNSSD_CALL BrowseReply(DNSServiceRef, DNSServiceFlags flags, uint32_t interfaceIndex,
                                   DNSServiceErrorType errorCode, const char *serviceName, const char *regtype,
                                   const char *replyDomain, void *context)
{
    DeliverEvent(static_cast<HostObject>(context), &gEvents[0], HostIntegerFrom32(flags),
                 HostIntegerFrom32(interfaceIndex), HostIntegerFrom32((uint32_t)errorCode),
                 EventText(serviceName, kHostEncodingUTF8), EventText(regtype, kHostEncodingUTF8),
                 EventText(replyDomain, kHostEncodingUTF8));
}

/* The browse has ended: the event once more, with the code and nothing else. */
static void BrowseEnded(HostObject self, DNSServiceErrorType code)
{
    BrowseReply(nullptr, 0, 0, code, nullptr, nullptr, nullptr, self);
}

/* The result is not kept: Lasterror stays -1. */
static bool Browse(HostObject self, HostInteger interfaceIndex, HostString servicetype, HostString domain)
{
    ServiceRecord *record = ServiceRecordOf(self);
    if (!BeginStart(record) || !servicetype || !gDnsSd.DNSServiceBrowse)
        return false;
    DNSServiceRef ref = nullptr;
    DnsSdCallGuard guard;
    DNSServiceErrorType result =
        gDnsSd.DNSServiceBrowse(&ref, 0, (uint32_t)interfaceIndex, HostStringText(servicetype).bytes,
                                HostStringValue(domain).bytes, BrowseReply, self);
    return FinishStart(record, result, ref, self, BrowseEnded);
}

static const HostMethodDefinition kMethods[] = {
    {(HostRoutine)&Browse, nullptr,
     "Browse(IntefaceIndex as integer, servicetype as string, domain as string) as boolean", kHostMethodFlags},
};

HostClassDefinition gServiceBrowseClass = {
    kHostClassVersion, "DNSServiceBrowseZRK", "DNSServiceBaseZRK", 0, 0, nullptr, nullptr,
    nullptr, 0, kMethods, 1, gEvents, 1, nullptr, 0, kHostClassFlags, nullptr, 0,
};
