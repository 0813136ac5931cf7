/*
 * DNSServiceBaseZRK, the root of the operation classes.  It owns the
 * ServiceRecord of every operation instance; the subclasses declare no data of
 * their own and reach the record through this class.
 */
#ifndef ZRK_SERVICE_BASE_H
#define ZRK_SERVICE_BASE_H

#include "../dnssd/poll_list.h"
#include "../dnssd/service_record.h"
#include "../host/class_data.h"

extern HostClassDefinition gServiceBaseClass;
enum { kServiceConstantCount = 87 };
extern const HostConstantDefinition kServiceConstants[kServiceConstantCount];

static inline ServiceRecord *ServiceRecordOf(HostObject instance)
{
    return static_cast<ServiceRecord *>(HostClassData(instance, &gServiceBaseClass));
}

/* The first step of every start method: forget the last result and end the
 * operation the instance has open.  False when no operation can be started
 * at all: without the entries every operation needs, one would never be
 * polled or could never be released. */
bool BeginStart(ServiceRecord *record);
/* The last step: on success the record holds the new operation and is
 * polled; should it end on its own, ended tells self. */
bool FinishStart(ServiceRecord *record, DNSServiceErrorType result, DNSServiceRef ref, HostObject self,
                 PollEndedProc ended);

/* A start or record method given a value DNS-SD cannot carry: refused with
 * kErrorBadParam instead of being cut to 16 bits. */
static inline bool FitsIn16Bits(HostInteger value)
{
    return value >= 0 && value <= 0xFFFF;
}

/* A ttl, which DNS-SD takes as 32 unsigned bits. */
static inline bool FitsIn32Bits(HostInteger value)
{
    return value >= 0 && (uint64_t)value <= 0xFFFFFFFFu;
}

#endif
