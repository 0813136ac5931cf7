#include <string.h>

#include "../dnssd/dnssd_table.h"
#include "../host/deliver_event.h"
#include "record_update.h"
#include "service_base.h"
#include "service_classes.h"

static HostEventDefinition gEvents[] = {
    {"ServiceRegistration(flags as integer, errorcode as integer, Name as string, RegType as string, Domain as "
     "string)",
     0},
};

static void DNSSD_CALL RegisterReply(DNSServiceRef, DNSServiceFlags flags, DNSServiceErrorType errorCode,
                                     const char *name, const char *regtype, const char *domain, void *context)
{
    DeliverEvent(static_cast<HostObject>(context), &gEvents[0], HostIntegerFrom32(flags),
                 HostIntegerFrom32((uint32_t)errorCode), EventText(name, kHostEncodingUTF8),
                 EventText(regtype, kHostEncodingUTF8), EventText(domain, kHostEncodingUTF8));
}

/* The registration has ended: the event once more, with the code and
 * nothing else. */
static void RegisterEnded(HostObject self, DNSServiceErrorType code)
{
    RegisterReply(nullptr, 0, code, nullptr, nullptr, nullptr, self);
}

/* Nil name, domain and host leave the choice to DNS-SD's defaults. */
static bool Register(HostObject self, HostInteger flags, HostInteger interfaceIndex, HostString servicename,
                     HostString servicetype, HostString domain, HostString host, HostInteger port,
                     HostString txtRecord)
{
    ServiceRecord *record = ServiceRecordOf(self);
    if (!BeginStart(record) || !gDnsSd.DNSServiceRegister)
        return false;
    HostText txt = HostStringValue(txtRecord);
    if (!FitsIn16Bits(port) || txt.length > 0xFFFF) {
        record->Lasterror = kDNSServiceErr_BadParam;
        return false;
    }
    /* DNS-SD takes the port as it travels, high byte first. */
    const unsigned char portBytes[2] = {(unsigned char)(port >> 8), (unsigned char)port};
    uint16_t networkPort;
    memcpy(&networkPort, portBytes, sizeof networkPort);
    DNSServiceRef ref = nullptr;
    DnsSdCallGuard guard;
    DNSServiceErrorType result = gDnsSd.DNSServiceRegister(
        &ref, (uint32_t)flags, (uint32_t)interfaceIndex, HostStringValue(servicename).bytes,
        HostStringText(servicetype).bytes, HostStringValue(domain).bytes, HostStringValue(host).bytes, networkPort,
        (uint16_t)txt.length, txt.bytes, RegisterReply, self);
    record->Lasterror = result;
    return FinishStart(record, result, ref, self, RegisterEnded);
}

static void RemoveAddedRecord(ServiceRecord *record)
{
    if (record->RecordRef && gDnsSd.DNSServiceRemoveRecord) {
        DnsSdCallGuard guard;
        record->Lasterror = gDnsSd.DNSServiceRemoveRecord(record->Handle, record->RecordRef, 0);
        record->RecordRef = nullptr;
    }
}

/* An instance carries at most one added record: a new one replaces it. */
static void AddRecord(HostObject self, HostInteger rrType, HostString data, HostInteger ttl)
{
    ServiceRecord *record = ServiceRecordOf(self);
    HostText bytes = HostStringText(data);
    if (!FitsIn16Bits(rrType) || bytes.length > 0xFFFF || !FitsIn32Bits(ttl)) {
        record->Lasterror = kDNSServiceErr_BadParam;
        return;
    }
    RemoveAddedRecord(record);
    record->Lasterror = -1;
    if (!gDnsSd.DNSServiceAddRecord || !record->Handle)
        return;
    DNSRecordRef added = nullptr;
    DnsSdCallGuard guard;
    record->Lasterror = gDnsSd.DNSServiceAddRecord(record->Handle, &added, 0, (uint16_t)rrType,
                                                   (uint16_t)bytes.length, bytes.bytes, (uint32_t)ttl);
    if (record->Lasterror == kDNSServiceErr_NoError)
        record->RecordRef = added;
}

static void RemoveRecord(HostObject self)
{
    ServiceRecord *record = ServiceRecordOf(self);
    record->Lasterror = -1;
    RemoveAddedRecord(record);
}

static const HostMethodDefinition kMethods[] = {
    {(HostRoutine)&Register, nullptr,
     "Register(Flags as integer, interfaceIndex as integer, servicename as string, servicetype as string, "
     "domain as string, host as string, port as integer, TXTRecord as string) as boolean",
     kHostMethodFlags},
    {(HostRoutine)&UpdateRecord, nullptr, "UpdateRecord(TXTRecord as string, ttl as integer)", kHostMethodFlags},
    {(HostRoutine)&AddRecord, nullptr, "AddRecord(rrType as integer, TXTRecord as string, ttl as integer)",
     kHostMethodFlags},
    {(HostRoutine)&RemoveRecord, nullptr, "RemoveRecord", kHostMethodFlags},
};

HostClassDefinition gServiceRegisterClass = {
    kHostClassVersion, "DNSServiceRegisterZRK", "DNSServiceBaseZRK", 0, 0, nullptr, nullptr,
    nullptr, 0, kMethods, 4, gEvents, 1, nullptr, 0, kHostClassFlags, nullptr, 0,
};
