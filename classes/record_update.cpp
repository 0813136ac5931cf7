#include "record_update.h"

#include "../dnssd/dnssd_table.h"
#include "../host/host_string.h"
#include "service_base.h"

void UpdateRecord(HostObject self, HostString data, HostInteger ttl)
{
    ServiceRecord *record = ServiceRecordOf(self);
    if (!gDnsSd.DNSServiceUpdateRecord || !record->Handle)
        return;
    HostText bytes = HostStringText(data);
    if (bytes.length > 0xFFFF || !FitsIn32Bits(ttl)) {
        record->Lasterror = kDNSServiceErr_BadParam;
        return;
    }
    DnsSdCallGuard guard;
    record->Lasterror = gDnsSd.DNSServiceUpdateRecord(record->Handle, record->RecordRef, 0, (uint16_t)bytes.length,
                                                      bytes.bytes, (uint32_t)ttl);
}
