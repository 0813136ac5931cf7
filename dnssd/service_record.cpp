#include "service_record.h"

#include "dnssd_table.h"
#include "poll_list.h"

/* Deallocating a reference deregisters every record made on it, so the
 * record is not removed on its own first: with the daemon gone, that removal
 * waits for an answer that never comes (Apple's library on Windows) or
 * writes to a closed socket. */
void CloseServiceRecord(ServiceRecord *record)
{
    if (!record->Handle)
        return;
    RemoveFromPollList(record);
    record->RecordRef = nullptr;
    DNSServiceRef ref = record->Handle;
    record->Handle = nullptr;
    if (gDnsSd.DNSServiceRefDeallocate) {
        DnsSdCallGuard guard;
        gDnsSd.DNSServiceRefDeallocate(ref);
    }
}
