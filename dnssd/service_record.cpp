#include "service_record.h"

#include "dnssd_table.h"
#include "poll_list.h"

void CloseServiceRecord(ServiceRecord *record)
{
    if (!record->Handle)
        return;
    RemoveFromPollList(record);
    if (record->RecordRef) {
        if (gDnsSd.DNSServiceRemoveRecord)
            gDnsSd.DNSServiceRemoveRecord(record->Handle, record->RecordRef, 0);
        record->RecordRef = nullptr;
    }
    if (gDnsSd.DNSServiceRefDeallocate)
        gDnsSd.DNSServiceRefDeallocate(record->Handle);
    record->Handle = nullptr;
}
