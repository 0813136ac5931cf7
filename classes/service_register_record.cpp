#include "../dnssd/dnssd_table.h"
#include "../host/deliver_event.h"
#include "record_update.h"
#include "service_base.h"
#include "service_classes.h"

static HostEventDefinition gEvents[] = {
    {"ServiceRegistration(flags as integer, errorcode as integer)", 0},
};

static void DNSSD_CALL RecordReply(DNSServiceRef, DNSRecordRef, DNSServiceFlags flags, DNSServiceErrorType errorCode,
                                   void *context)
{
    DeliverEvent(static_cast<HostObject>(context), &gEvents[0], HostIntegerFrom32(flags),
                 HostIntegerFrom32((uint32_t)errorCode));
}

/* The connection has ended: the event once more, with the code. */
static void RecordEnded(HostObject self, DNSServiceErrorType code)
{
    RecordReply(nullptr, nullptr, 0, code, self);
}

/* Each call opens a connection of its own; a refused record leaves none
 * open. */
static bool RegisterRecord(HostObject self, HostInteger flags, HostInteger interfaceIndex, HostString fullname,
                           HostInteger rrtype, HostInteger rrClass, HostString data, HostInteger ttl)
{
    ServiceRecord *record = ServiceRecordOf(self);
    if (!BeginStart(record) || !gDnsSd.DNSServiceRegisterRecord || !gDnsSd.DNSServiceCreateConnection)
        return false;
    HostText bytes = HostStringText(data);
    if (!FitsIn16Bits(rrtype) || !FitsIn16Bits(rrClass) || bytes.length > 0xFFFF || !FitsIn32Bits(ttl)) {
        record->Lasterror = kDNSServiceErr_BadParam;
        return false;
    }
    DNSServiceRef connection = nullptr;
    DnsSdCallGuard guard;
    record->Lasterror = gDnsSd.DNSServiceCreateConnection(&connection);
    if (record->Lasterror != kDNSServiceErr_NoError)
        return false;
    DNSRecordRef registered = nullptr;
    DNSServiceErrorType result = gDnsSd.DNSServiceRegisterRecord(
        connection, &registered, (uint32_t)flags, (uint32_t)interfaceIndex, HostStringText(fullname).bytes,
        (uint16_t)rrtype, (uint16_t)rrClass, (uint16_t)bytes.length, bytes.bytes, (uint32_t)ttl, RecordReply, self);
    record->Lasterror = result;
    if (result != kDNSServiceErr_NoError) {
        if (gDnsSd.DNSServiceRefDeallocate)
            gDnsSd.DNSServiceRefDeallocate(connection);
        return false;
    }
    record->RecordRef = registered;
    return FinishStart(record, result, connection, self, RecordEnded);
}

static const HostMethodDefinition kMethods[] = {
    {(HostRoutine)&RegisterRecord, nullptr,
     "RegisterRecord(Flags as integer, interfaceIndex as integer, fullname as string, rrtype as integer, rrClass "
     "as integer, data as string, ttl as integer) as boolean",
     kHostMethodFlags},
    {(HostRoutine)&UpdateRecord, nullptr, "UpdateRecord(TXTRecord as string, ttl as integer)", kHostMethodFlags},
};

HostClassDefinition gServiceRegisterRecordClass = {
    kHostClassVersion, "DNSServiceRegisterRecordZRK", "DNSServiceBaseZRK", 0, 0, nullptr, nullptr,
    nullptr, 0, kMethods, 2, gEvents, 1, nullptr, 0, kHostClassFlags, nullptr, 0,
};
