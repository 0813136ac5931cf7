/*
 * The DNS-SD entry table: every DNS-SD function this library calls, looked up
 * by name in the platform's DNS-SD client library when it is loaded.  An
 * entry the library lacks stays null, and every caller tests its entry first.
 */
#ifndef ZRK_DNSSD_TABLE_H
#define ZRK_DNSSD_TABLE_H

#include "../platform/platform.h"
#include "dnssd_api.h"

/* In look-up order. */
#define DNSSD_ENTRIES(X)           \
    X(DNSServiceRefDeallocate)     \
    X(DNSServiceEnumerateDomains)  \
    X(DNSServiceRegister)          \
    X(DNSServiceUpdateRecord)      \
    X(DNSServiceBrowse)            \
    X(DNSServiceResolve)           \
    X(DNSServiceRefSockFD)         \
    X(DNSServiceProcessResult)     \
    X(DNSServiceRegisterRecord)    \
    X(DNSServiceRemoveRecord)      \
    X(DNSServiceCreateConnection)  \
    X(DNSServiceAddRecord)         \
    X(TXTRecordDeallocate)         \
    X(TXTRecordGetLength)          \
    X(TXTRecordCreate)             \
    X(TXTRecordRemoveValue)        \
    X(TXTRecordGetBytesPtr)        \
    X(TXTRecordSetValue)           \
    X(TXTRecordContainsKey)        \
    X(TXTRecordGetValuePtr)        \
    X(TXTRecordGetCount)           \
    X(DNSServiceConstructFullName) \
    X(TXTRecordGetItemAtIndex)     \
    X(DNSServiceGetProperty)

typedef struct DnsSdTable {
#define DNSSD_MEMBER(name) name##Fn name;
    DNSSD_ENTRIES(DNSSD_MEMBER)
#undef DNSSD_MEMBER
} DnsSdTable;

extern DnsSdTable gDnsSd;

/* The loaded library hands replies over from a thread of its own (see
 * PlatformPrepareDnsSdLibrary). */
extern bool gDnsSdRepliesThroughThread;

/* Loads the library once and fills the table; without a library the table
 * stays empty and nothing is reported. */
void LoadDnsSdLibrary(void);

/* True when the entries every operation needs are all present. */
bool DnsSdAvailable(void);

/* Held across every call that may talk to the DNS-SD daemon: one that went
 * away cannot end the host's process from inside the library. */
class DnsSdCallGuard {
public:
    DnsSdCallGuard() { PlatformEnterLibraryCall(&call_); }
    ~DnsSdCallGuard() { PlatformLeaveLibraryCall(&call_); }
    DnsSdCallGuard(const DnsSdCallGuard &) = delete;
    DnsSdCallGuard &operator=(const DnsSdCallGuard &) = delete;

private:
    PlatformLibraryCall call_;
};

#endif
