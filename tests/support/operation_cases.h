#ifndef ZRK_TESTS_OPERATION_CASES_H
#define ZRK_TESTS_OPERATION_CASES_H

#include <functional>

#include "host_fixture.h"

/* Each operation class: its DNS-SD start entry, its event and where that
 * carries the error code, Lasterror after a successful start, and a start
 * from a new instance. */
struct OperationCase {
    const char *cls;
    const char *entry;
    const char *event;
    size_t errorArgument;
    HostInteger lasterrorAfter;
    std::function<bool(hostsim::Host &, HostObject)> start;
};

inline const OperationCase kOperations[] = {
    {"DNSServiceBrowseZRK", "DNSServiceBrowse", "ServiceBrowse", 2, -1,
     [](hostsim::Host &h, HostObject o) { return h.Call(o, "Browse", {Int(0), Str("_t._tcp"), Nil()}).boolean; }},
    {"DNSServiceResolveZRK", "DNSServiceResolve", "ServiceResolve", 2, -1,
     [](hostsim::Host &h, HostObject o) {
         return h.Call(o, "Resolve", {Int(0), Str("n"), Str("_t._tcp"), Str("local.")}).boolean;
     }},
    {"DNSServiceDomainEnumerationZRK", "DNSServiceEnumerateDomains", "ServiceDomainEnumeration", 2, 0,
     [](hostsim::Host &h, HostObject o) { return h.Call(o, "EnumerateDomains", {Int(0x40), Int(0)}).boolean; }},
    {"DNSServiceRegisterZRK", "DNSServiceRegister", "ServiceRegistration", 1, 0,
     [](hostsim::Host &h, HostObject o) {
         return h.Call(o, "Register", {Int(0), Int(0), Nil(), Str("_t._tcp"), Nil(), Nil(), Int(80), Nil()}).boolean;
     }},
    {"DNSServiceRegisterRecordZRK", "DNSServiceRegisterRecord", "ServiceRegistration", 1, 0,
     [](hostsim::Host &h, HostObject o) {
         return h.Call(o, "RegisterRecord", {Int(0), Int(0), Str("h.local."), Int(1), Int(1), Str("abcd"), Int(120)})
             .boolean;
     }},
};

#endif
