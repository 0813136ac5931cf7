#include "../dnssd/dnssd_table.h"
#include "../host/deliver_event.h"
#include "service_base.h"
#include "service_classes.h"

static HostEventDefinition gEvents[] = {
    {"ServiceResolve(flags as integer, InterfaceIndex as integer, ErrorCode as integer, Fullname as string, "
     "Hosttarget as string, Port as integer, TxtRecord as string)",
     0},
};

static void DNSSD_CALL ResolveReply(DNSServiceRef, DNSServiceFlags flags, uint32_t interfaceIndex,
                                    DNSServiceErrorType errorCode, const char *fullname, const char *hosttarget,
                                    uint16_t port, uint16_t txtLen, const unsigned char *txtRecord, void *context)
{
    /* The port arrives as it travels, high byte first. */
    const unsigned char *portBytes = reinterpret_cast<const unsigned char *>(&port);
    HostInteger hostPort = (HostInteger)((portBytes[0] << 8) | portBytes[1]);
    DeliverEvent(static_cast<HostObject>(context), &gEvents[0], HostIntegerFrom32(flags),
                 HostIntegerFrom32(interfaceIndex), HostIntegerFrom32((uint32_t)errorCode),
                 EventText(fullname, kHostEncodingUTF8), EventText(hosttarget, kHostEncodingUTF8), hostPort,
                 EventBytes(txtRecord, (HostInteger)txtLen, kHostEncodingRaw));
}

/* The resolve has ended: the event once more, with the code and nothing
 * else. */
static void ResolveEnded(HostObject self, DNSServiceErrorType code)
{
    ResolveReply(nullptr, 0, 0, code, nullptr, nullptr, 0, 0, nullptr, self);
}

/* The result is not kept: Lasterror stays -1. */
static bool Resolve(HostObject self, HostInteger interfaceIndex, HostString servicename, HostString servicetype,
                    HostString domain)
{
    ServiceRecord *record = ServiceRecordOf(self);
    if (!BeginStart(record) || !gDnsSd.DNSServiceResolve)
        return false;
    DNSServiceRef ref = nullptr;
    DnsSdCallGuard guard;
    DNSServiceErrorType result = gDnsSd.DNSServiceResolve(
        &ref, 0, (uint32_t)interfaceIndex, HostStringText(servicename).bytes, HostStringText(servicetype).bytes,
        HostStringText(domain).bytes, ResolveReply, self);
    return FinishStart(record, result, ref, self, ResolveEnded);
}

static const HostMethodDefinition kMethods[] = {
    {(HostRoutine)&Resolve, nullptr,
     "Resolve(InterfaceIndex as integer, servicename as string, servicetype as string, domain as string) as "
     "boolean",
     kHostMethodFlags},
};

HostClassDefinition gServiceResolveClass = {
    kHostClassVersion, "DNSServiceResolveZRK", "DNSServiceBaseZRK", 0, 0, nullptr, nullptr,
    nullptr, 0, kMethods, 1, gEvents, 1, nullptr, 0, kHostClassFlags, nullptr, 0,
};
