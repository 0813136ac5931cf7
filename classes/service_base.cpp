#include "service_base.h"

#include <stddef.h>

#include "../dnssd/dnssd_table.h"
#include "../dnssd/poll_list.h"
#include "../host/host_string.h"

bool BeginStart(ServiceRecord *record)
{
    record->Lasterror = -1;
    CloseServiceRecord(record);
    return DnsSdAvailable();
}

bool FinishStart(ServiceRecord *record, DNSServiceErrorType result, DNSServiceRef ref, HostObject self,
                 PollEndedProc ended)
{
    if (result != kDNSServiceErr_NoError)
        return false;
    record->Handle = ref;
    return AddToPollList(record, self, ended);
}

static bool Running(HostObject self)
{
    return ServiceRecordOf(self)->Handle != nullptr;
}

/* Also the destructor: an instance the host program lets go ends its
 * operation. */
static void Close(HostObject self)
{
    CloseServiceRecord(ServiceRecordOf(self));
}

static HostInteger GetDaemonVersion(void)
{
    if (!gDnsSd.DNSServiceGetProperty)
        return 0;
    uint32_t version = 0;
    uint32_t size = sizeof version;
    DnsSdCallGuard guard;
    if (gDnsSd.DNSServiceGetProperty("DaemonVersion", &version, &size) != kDNSServiceErr_NoError)
        return 0;
    return HostIntegerFrom32(version);
}

static bool Available(void)
{
    return DnsSdAvailable();
}

enum { kFullNameBufferSize = 1112 };

/* A nil Service passes no value: DNS-SD then names the type itself.  Nil
 * regtype and domain read as "". */
static HostString ConstructFullName(HostString service, HostString regtype, HostString domain)
{
    if (!gDnsSd.DNSServiceConstructFullName)
        return nullptr;
    char fullName[kFullNameBufferSize] = {0};
    int result = gDnsSd.DNSServiceConstructFullName(fullName, HostStringValue(service).bytes,
                                                    HostStringText(regtype).bytes, HostStringText(domain).bytes);
    if (result != 0)
        return nullptr;
    fullName[kFullNameBufferSize - 1] = '\0';
    return BuildHostCString(fullName, kHostEncodingUTF8);
}

/* "Handle" has no setter: the poll loop, Close and the destructor rely on it. */
static const HostPropertyDefinition kProperties[] = {
    {nullptr, "Handle", "Integer", kHostPropertyFlags, kHostStandardAccessor, nullptr,
     offsetof(ServiceRecord, Handle)},
    {nullptr, "Lasterror", "Integer", kHostPropertyFlags, kHostStandardAccessor, kHostStandardAccessor,
     offsetof(ServiceRecord, Lasterror)},
};

static const HostMethodDefinition kMethods[] = {
    {(HostRoutine)&Running, nullptr, "Running as boolean", kHostMethodFlags},
    {(HostRoutine)&Close, nullptr, "Close", kHostMethodFlags},
};

static const HostMethodDefinition kSharedMethods[] = {
    {(HostRoutine)&GetDaemonVersion, nullptr, "GetDaemonVersion as integer", kHostMethodFlags},
    {(HostRoutine)&Available, nullptr, "Available as boolean", kHostMethodFlags},
    {(HostRoutine)&ConstructFullName, nullptr,
     "ConstructFullName(Service as string, regtype as string, domain as string) as string", kHostMethodFlags},
};

HostClassDefinition gServiceBaseClass = {
    kHostClassVersion, "DNSServiceBaseZRK", nullptr, sizeof(ServiceRecord), 0,
    nullptr, (HostRoutine)&Close,
    kProperties, 2, kMethods, 2, nullptr, 0, kServiceConstants, kServiceConstantCount,
    kHostClassFlags, kSharedMethods, 3,
};
