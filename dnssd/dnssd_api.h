/*
 * The DNS-SD client interface as this library calls it: its types, reply
 * callbacks and entry types, written from the published interface so that no
 * DNS-SD header is needed to build.  On 32-bit Windows the interface is
 * stdcall, callbacks included.
 */
#ifndef ZRK_DNSSD_API_H
#define ZRK_DNSSD_API_H

#include <stdint.h>

#if defined(_WIN32)
#define DNSSD_CALL __stdcall
#else
#define DNSSD_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct DnsSdServiceOpaque *DNSServiceRef;
typedef struct DnsSdRecordOpaque *DNSRecordRef;
typedef uint32_t DNSServiceFlags;
typedef int32_t DNSServiceErrorType;

/* The caller's storage for a TXT record under construction. */
typedef union TXTRecordRef {
    char privateData[16];
    char *forceNaturalAlignment;
} TXTRecordRef;

enum {
    kDNSServiceErr_NoError = 0,
    kDNSServiceErr_Unknown = -65537,
    kDNSServiceErr_BadParam = -65540,
    kDNSServiceErr_Invalid = -65549
};

typedef void(DNSSD_CALL *DNSServiceDomainEnumReply)(DNSServiceRef sdRef, DNSServiceFlags flags,
                                                     uint32_t interfaceIndex, DNSServiceErrorType errorCode,
                                                     const char *replyDomain, void *context);
typedef void(DNSSD_CALL *DNSServiceRegisterReply)(DNSServiceRef sdRef, DNSServiceFlags flags,
                                                   DNSServiceErrorType errorCode, const char *name,
                                                   const char *regtype, const char *domain, void *context);
typedef void(DNSSD_CALL *DNSServiceBrowseReply)(DNSServiceRef sdRef, DNSServiceFlags flags,
                                                 uint32_t interfaceIndex, DNSServiceErrorType errorCode,
                                                 const char *serviceName, const char *regtype,
                                                 const char *replyDomain, void *context);
typedef void(DNSSD_CALL *DNSServiceResolveReply)(DNSServiceRef sdRef, DNSServiceFlags flags,
                                                  uint32_t interfaceIndex, DNSServiceErrorType errorCode,
                                                  const char *fullname, const char *hosttarget, uint16_t port,
                                                  uint16_t txtLen, const unsigned char *txtRecord,
                                                  void *context);
typedef void(DNSSD_CALL *DNSServiceRegisterRecordReply)(DNSServiceRef sdRef, DNSRecordRef RecordRef,
                                                         DNSServiceFlags flags, DNSServiceErrorType errorCode,
                                                         void *context);

typedef void(DNSSD_CALL *DNSServiceRefDeallocateFn)(DNSServiceRef sdRef);
typedef DNSServiceErrorType(DNSSD_CALL *DNSServiceEnumerateDomainsFn)(DNSServiceRef *sdRef, DNSServiceFlags flags,
                                                                      uint32_t interfaceIndex,
                                                                      DNSServiceDomainEnumReply callBack,
                                                                      void *context);
typedef DNSServiceErrorType(DNSSD_CALL *DNSServiceRegisterFn)(DNSServiceRef *sdRef, DNSServiceFlags flags,
                                                              uint32_t interfaceIndex, const char *name,
                                                              const char *regtype, const char *domain,
                                                              const char *host, uint16_t port, uint16_t txtLen,
                                                              const void *txtRecord, DNSServiceRegisterReply callBack,
                                                              void *context);
typedef DNSServiceErrorType(DNSSD_CALL *DNSServiceUpdateRecordFn)(DNSServiceRef sdRef, DNSRecordRef RecordRef,
                                                                  DNSServiceFlags flags, uint16_t rdlen,
                                                                  const void *rdata, uint32_t ttl);
typedef DNSServiceErrorType(DNSSD_CALL *DNSServiceBrowseFn)(DNSServiceRef *sdRef, DNSServiceFlags flags,
                                                            uint32_t interfaceIndex, const char *regtype,
                                                            const char *domain, DNSServiceBrowseReply callBack,
                                                            void *context);
typedef DNSServiceErrorType(DNSSD_CALL *DNSServiceResolveFn)(DNSServiceRef *sdRef, DNSServiceFlags flags,
                                                             uint32_t interfaceIndex, const char *name,
                                                             const char *regtype, const char *domain,
                                                             DNSServiceResolveReply callBack, void *context);
typedef int(DNSSD_CALL *DNSServiceRefSockFDFn)(DNSServiceRef sdRef);
typedef DNSServiceErrorType(DNSSD_CALL *DNSServiceProcessResultFn)(DNSServiceRef sdRef);
typedef DNSServiceErrorType(DNSSD_CALL *DNSServiceRegisterRecordFn)(
    DNSServiceRef sdRef, DNSRecordRef *RecordRef, DNSServiceFlags flags, uint32_t interfaceIndex,
    const char *fullname, uint16_t rrtype, uint16_t rrclass, uint16_t rdlen, const void *rdata, uint32_t ttl,
    DNSServiceRegisterRecordReply callBack, void *context);
typedef DNSServiceErrorType(DNSSD_CALL *DNSServiceRemoveRecordFn)(DNSServiceRef sdRef, DNSRecordRef RecordRef,
                                                                  DNSServiceFlags flags);
typedef DNSServiceErrorType(DNSSD_CALL *DNSServiceCreateConnectionFn)(DNSServiceRef *sdRef);
typedef DNSServiceErrorType(DNSSD_CALL *DNSServiceAddRecordFn)(DNSServiceRef sdRef, DNSRecordRef *RecordRef,
                                                               DNSServiceFlags flags, uint16_t rrtype,
                                                               uint16_t rdlen, const void *rdata, uint32_t ttl);
typedef void(DNSSD_CALL *TXTRecordDeallocateFn)(TXTRecordRef *txtRecord);
typedef uint16_t(DNSSD_CALL *TXTRecordGetLengthFn)(const TXTRecordRef *txtRecord);
typedef void(DNSSD_CALL *TXTRecordCreateFn)(TXTRecordRef *txtRecord, uint16_t bufferLen, void *buffer);
typedef DNSServiceErrorType(DNSSD_CALL *TXTRecordRemoveValueFn)(TXTRecordRef *txtRecord, const char *key);
typedef const void *(DNSSD_CALL *TXTRecordGetBytesPtrFn)(const TXTRecordRef *txtRecord);
typedef DNSServiceErrorType(DNSSD_CALL *TXTRecordSetValueFn)(TXTRecordRef *txtRecord, const char *key,
                                                             uint8_t valueSize, const void *value);
typedef int(DNSSD_CALL *TXTRecordContainsKeyFn)(uint16_t txtLen, const void *txtRecord, const char *key);
typedef const void *(DNSSD_CALL *TXTRecordGetValuePtrFn)(uint16_t txtLen, const void *txtRecord, const char *key,
                                                         uint8_t *valueLen);
typedef uint16_t(DNSSD_CALL *TXTRecordGetCountFn)(uint16_t txtLen, const void *txtRecord);
typedef int(DNSSD_CALL *DNSServiceConstructFullNameFn)(char *fullName, const char *service, const char *regtype,
                                                       const char *domain);
typedef DNSServiceErrorType(DNSSD_CALL *TXTRecordGetItemAtIndexFn)(uint16_t txtLen, const void *txtRecord,
                                                                   uint16_t itemIndex, uint16_t keyBufLen,
                                                                   char *key, uint8_t *valueLen,
                                                                   const void **value);
typedef DNSServiceErrorType(DNSSD_CALL *DNSServiceGetPropertyFn)(const char *property, void *result,
                                                                 uint32_t *size);

#ifdef __cplusplus
}
#endif

#endif
