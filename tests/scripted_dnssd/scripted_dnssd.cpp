/*
 * The scripted DNS-SD client library: the 24 exports the plug-in looks up,
 * and the control interface of scripted_dnssd.h that a test drives them with.
 *
 * Everything runs on the caller's thread, as the plug-in calls DNS-SD only
 * from the host's main thread; nothing here locks.
 */
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "../../dnssd/dnssd_api.h"
#include "scripted_socket.h"
#include "scripted_txt.h"

/* The library is built with its symbols hidden, so that its helpers can
 * never stand in for a same-named function of the code under test; what a
 * test or the plug-in calls is exported by name.  A Windows DLL without any
 * dllexport exports everything, which suffices there. */
#if defined(_WIN32)
#define SCRIPTED_EXPORT
#else
#define SCRIPTED_EXPORT __attribute__((visibility("default")))
#pragma GCC visibility push(default)
#endif
#include "scripted_dnssd.h"
#if !defined(_WIN32)
#pragma GCC visibility pop
#endif

/* A variant built without all exports leaves out each one by name. */
#ifdef SCRIPTED_WITHOUT_ALL
#define SCRIPTED_WITHOUT_DNSServiceRefDeallocate
#define SCRIPTED_WITHOUT_DNSServiceEnumerateDomains
#define SCRIPTED_WITHOUT_DNSServiceRegister
#define SCRIPTED_WITHOUT_DNSServiceUpdateRecord
#define SCRIPTED_WITHOUT_DNSServiceBrowse
#define SCRIPTED_WITHOUT_DNSServiceResolve
#define SCRIPTED_WITHOUT_DNSServiceRefSockFD
#define SCRIPTED_WITHOUT_DNSServiceProcessResult
#define SCRIPTED_WITHOUT_DNSServiceRegisterRecord
#define SCRIPTED_WITHOUT_DNSServiceRemoveRecord
#define SCRIPTED_WITHOUT_DNSServiceCreateConnection
#define SCRIPTED_WITHOUT_DNSServiceAddRecord
#define SCRIPTED_WITHOUT_TXTRecordDeallocate
#define SCRIPTED_WITHOUT_TXTRecordGetLength
#define SCRIPTED_WITHOUT_TXTRecordCreate
#define SCRIPTED_WITHOUT_TXTRecordRemoveValue
#define SCRIPTED_WITHOUT_TXTRecordGetBytesPtr
#define SCRIPTED_WITHOUT_TXTRecordSetValue
#define SCRIPTED_WITHOUT_TXTRecordContainsKey
#define SCRIPTED_WITHOUT_TXTRecordGetValuePtr
#define SCRIPTED_WITHOUT_TXTRecordGetCount
#define SCRIPTED_WITHOUT_DNSServiceConstructFullName
#define SCRIPTED_WITHOUT_TXTRecordGetItemAtIndex
#define SCRIPTED_WITHOUT_DNSServiceGetProperty
#endif

/* Checks that an export has exactly the type the plug-in calls it by. */
#define SCRIPTED_SAME_TYPE(function) \
    static_assert(std::is_same<decltype(&function), function##Fn>::value, #function " differs from dnssd_api.h")

namespace {

enum {
    kErrUnknown = -65537,
    kErrNoMemory = -65539,
    kErrBadParam = -65540,
    kErrBadReference = -65541,
    kErrUnsupported = -65544,
    kMaxDomainName = 1005
};

const char *const kFunctions[] = {
    "DNSServiceRefDeallocate", "DNSServiceEnumerateDomains", "DNSServiceRegister",
    "DNSServiceUpdateRecord", "DNSServiceBrowse", "DNSServiceResolve",
    "DNSServiceRefSockFD", "DNSServiceProcessResult", "DNSServiceRegisterRecord",
    "DNSServiceRemoveRecord", "DNSServiceCreateConnection", "DNSServiceAddRecord",
    "TXTRecordDeallocate", "TXTRecordGetLength", "TXTRecordCreate",
    "TXTRecordRemoveValue", "TXTRecordGetBytesPtr", "TXTRecordSetValue",
    "TXTRecordContainsKey", "TXTRecordGetValuePtr", "TXTRecordGetCount",
    "DNSServiceConstructFullName", "TXTRecordGetItemAtIndex", "DNSServiceGetProperty",
};

typedef std::optional<std::string> Text;

/* The operation a reference was started for; it decides its replies. */
enum class Op { EnumerateDomains, Register, Browse, Resolve, Connection };

const char *OpName(Op op)
{
    switch (op) {
    case Op::EnumerateDomains: return "DNSServiceEnumerateDomains";
    case Op::Register: return "DNSServiceRegister";
    case Op::Browse: return "DNSServiceBrowse";
    case Op::Resolve: return "DNSServiceResolve";
    case Op::Connection: return "DNSServiceCreateConnection";
    }
    return "?";
}

/* One queued reply; which fields count depends on the operation. */
struct Reply {
    DNSServiceFlags flags = 0;
    uint32_t interfaceIndex = 0;
    DNSServiceErrorType error = 0;
    Text name;    /* browse: serviceName; resolve: fullname; register: name */
    Text regtype; /* browse, register */
    Text domain;  /* browse and domain enumeration: replyDomain; register: domain */
    Text host;    /* resolve: hosttarget */
    uint16_t port = 0;
    std::string txt;
    DNSRecordRef record = nullptr; /* connection */
};

}  // namespace

struct DnsSdServiceOpaque {
    Op op = Op::Browse;
    bool live = true;
    bool delivering = false;
    DNSServiceErrorType broken = 0; /* what the next DNSServiceProcessResult fails with */
    bool failed = false;            /* that call has been made */
    SocketPair socket = {-1, -1};
    std::deque<Reply> replies;
    void *context = nullptr;
    DNSServiceDomainEnumReply domainReply = nullptr;
    DNSServiceRegisterReply registerReply = nullptr;
    DNSServiceBrowseReply browseReply = nullptr;
    DNSServiceResolveReply resolveReply = nullptr;
};

struct DnsSdRecordOpaque {
    DNSServiceRef owner = nullptr;
    bool live = true;
    DNSServiceRegisterRecordReply callback = nullptr; /* null for DNSServiceAddRecord's */
    void *context = nullptr;
};

/* The helpers of the exports are marked [[maybe_unused]]: a variant that
 * leaves exports out leaves some of them without a caller. */
namespace {

/*
 * References and record references are never freed, only retired: no later
 * one can get a retired one's address, so a stale reference is always
 * recognised, and a callback that deallocates its own reference leaves
 * DNSServiceProcessResult nothing freed to touch.
 */
struct State {
    std::vector<scripted::Call> calls;
    std::map<std::string, int64_t> results;
    uint32_t daemonVersion = 0;
    std::vector<DNSServiceRef> refs; /* every one handed out, oldest first */
    std::vector<DNSRecordRef> records;
    std::set<DNSServiceRef> knownRefs; /* the same, for look-ups */
    std::set<DNSRecordRef> knownRecords;
    std::vector<std::string> misuses;
    int callsAfterFailure = 0;
    bool writeToClosedPeer = false;
    bool deliverAll = false;
    bool recording = true;
    int closedPeerWrites = 0;
};

/* Never destroyed: the code under test may still call in while the process
 * exits, after static destructors have run. */
State &St()
{
    static State *state = new State;
    return *state;
}

/* A mistake in the test itself, not in the code under test: stop loudly. */
[[noreturn]] void Fatal(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    fputs("scripted DNS-SD: ", stderr);
    vfprintf(stderr, format, args);
    fputc('\n', stderr);
    va_end(args);
    abort();
}

[[maybe_unused]]
void Misuse(const char *function, const char *format, ...)
{
    char text[300];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    std::string message = std::string(function) + ": " + text;
    fprintf(stderr, "scripted DNS-SD misuse: %s\n", message.c_str());
    St().misuses.push_back(message);
}

bool KnownFunction(const std::string &function)
{
    for (const char *known : kFunctions)
        if (function == known)
            return true;
    return false;
}

[[maybe_unused]]
bool Override(const char *function, int64_t *result)
{
    const auto &results = St().results;
    auto found = results.find(function);
    if (found == results.end())
        return false;
    *result = found->second;
    return true;
}

/* The functions that may write to the daemon's socket: not the TXT ones, and
 * not the two that only read what the library already holds. */
bool TalksToDaemon(const std::string &function)
{
    return function.rfind("DNSService", 0) == 0 && function != "DNSServiceRefSockFD" &&
           function != "DNSServiceConstructFullName";
}

/* Builds one recorded call; Done() files it. */
struct CallRecord {
    scripted::Call call;
    bool recording;

    explicit CallRecord(const char *function) : recording(St().recording) { call.function = function; }

    CallRecord &Int(const char *name, uint64_t value)
    {
        if (!recording)
            return *this;
        scripted::Arg arg;
        arg.name = name;
        arg.value = value;
        call.args.push_back(std::move(arg));
        return *this;
    }
    CallRecord &Ptr(const char *name, const void *pointer)
    {
        if (!recording)
            return *this;
        scripted::Arg arg;
        arg.name = name;
        arg.isNull = pointer == nullptr;
        arg.value = (uint64_t)(uintptr_t)pointer;
        call.args.push_back(std::move(arg));
        return *this;
    }
    template <typename Function>
    CallRecord &Callback(const char *name, Function callback)
    {
        return Ptr(name, reinterpret_cast<const void *>(callback));
    }
    CallRecord &Str(const char *name, const char *text)
    {
        Ptr(name, text);
        if (text && recording)
            call.args.back().data = std::string(text);
        return *this;
    }
    CallRecord &Bytes(const char *name, const void *bytes, size_t length)
    {
        Ptr(name, bytes);
        if (bytes && recording)
            call.args.back().data = std::string((const char *)bytes, length);
        return *this;
    }
    void Done()
    {
        if (St().writeToClosedPeer && TalksToDaemon(call.function) && SocketWriteToClosedPeer())
            St().closedPeerWrites++;
        if (recording)
            St().calls.push_back(std::move(call));
    }
};

/* Unrecorded, a reference is trusted to be one this library made. */
bool Known(DNSServiceRef ref)
{
    return !St().recording || St().knownRefs.count(ref) != 0;
}

bool KnownRecord(DNSRecordRef record)
{
    return St().knownRecords.count(record) != 0;
}

/* The reference when it is live; otherwise the misuse is noted.  An address
 * is only followed once it is found among those handed out. */
[[maybe_unused]]
DNSServiceRef LiveRef(const char *function, DNSServiceRef ref)
{
    if (!ref) {
        Misuse(function, "null reference");
        return nullptr;
    }
    if (!Known(ref)) {
        Misuse(function, "%p is not a reference this library made", (void *)ref);
        return nullptr;
    }
    if (!ref->live) {
        Misuse(function, "reference %p was deallocated", (void *)ref);
        return nullptr;
    }
    if (ref->failed && strcmp(function, "DNSServiceRefDeallocate") != 0) {
        St().callsAfterFailure++;
        Misuse(function, "reference %p was called after its connection failed", (void *)ref);
        return nullptr;
    }
    return ref;
}

/* True when record is a live record reference made on ref. */
[[maybe_unused]]
bool OwnRecord(const char *function, DNSServiceRef ref, DNSRecordRef record)
{
    if (!record || !KnownRecord(record)) {
        Misuse(function, "%p is not a record reference this library made", (void *)record);
        return false;
    }
    if (!record->live) {
        Misuse(function, "record reference %p was removed or deallocated", (void *)record);
        return false;
    }
    if (record->owner != ref) {
        Misuse(function, "record reference %p belongs to reference %p, not %p", (void *)record,
               (void *)record->owner, (void *)ref);
        return false;
    }
    return true;
}

[[maybe_unused]]
DNSServiceRef NewRef(Op op, void *context)
{
    DNSServiceRef ref = new DnsSdServiceOpaque;
    ref->op = op;
    ref->context = context;
    St().refs.push_back(ref);
    St().knownRefs.insert(ref);
    return ref;
}

/* A reference's socket is made when it is first asked for or a reply is
 * queued: a pair of loopback TCP sockets (Windows) costs far more than a
 * reference that is started and closed at once. */
[[maybe_unused]]
bool HasSocket(DNSServiceRef ref, const char *function)
{
    if (ref->socket.readEnd >= 0)
        return true;
    if (SocketPairOpen(&ref->socket))
        return true;
    fprintf(stderr, "scripted DNS-SD: %s: no socket pair for %p\n", function, (void *)ref);
    return false;
}

[[maybe_unused]]
DNSRecordRef NewRecord(DNSServiceRef owner, DNSServiceRegisterRecordReply callback, void *context)
{
    DNSRecordRef record = new DnsSdRecordOpaque;
    record->owner = owner;
    record->callback = callback;
    record->context = context;
    St().records.push_back(record);
    St().knownRecords.insert(record);
    return record;
}

[[maybe_unused]]
void Retire(DNSServiceRef ref)
{
    SocketPairClose(&ref->socket);
    /* A retired reference is kept for ever: it keeps no queue storage. */
    std::deque<Reply>().swap(ref->replies);
    ref->live = false;
    for (DNSRecordRef record : St().records)
        if (record->owner == ref)
            record->live = false;
}

/* What every start function shares: its result, and the new reference.
 * callbackOk is false when a callback the operation needs is missing. */
[[maybe_unused]]
DNSServiceErrorType Start(const char *function, Op op, DNSServiceRef *sdRef, bool callbackOk, void *context,
                          DNSServiceRef *made)
{
    int64_t result;
    if (Override(function, &result) && result != 0)
        return (DNSServiceErrorType)result;
    if (!sdRef || !callbackOk)
        return kErrBadParam;
    DNSServiceRef ref = NewRef(op, context);
    if (!ref)
        return kErrUnknown;
    *made = ref;
    *sdRef = ref;
    return kDNSServiceErr_NoError;
}

/* Starts a record reference on ref, which must have been made by op. */
[[maybe_unused]]
DNSServiceErrorType StartRecord(const char *function, DNSServiceRef sdRef, Op op, DNSRecordRef *RecordRef,
                                DNSServiceRegisterRecordReply callback, bool callbackOk, void *context)
{
    DNSServiceRef ref = LiveRef(function, sdRef);
    if (!ref)
        return kErrBadReference;
    if (ref->op != op) {
        Misuse(function, "reference %p was made by %s, not %s", (void *)ref, OpName(ref->op), OpName(op));
        return kErrBadReference;
    }
    int64_t result;
    if (Override(function, &result) && result != 0)
        return (DNSServiceErrorType)result;
    if (!RecordRef || !callbackOk)
        return kErrBadParam;
    *RecordRef = NewRecord(ref, callback, context);
    return kDNSServiceErr_NoError;
}

[[maybe_unused]]
const char *CStr(const Text &text)
{
    return text ? text->c_str() : nullptr;
}

Text TextOf(const char *text)
{
    return text ? Text(text) : std::nullopt;
}

[[maybe_unused]]
void Deliver(DNSServiceRef ref, const Reply &r)
{
    switch (ref->op) {
    case Op::EnumerateDomains:
        ref->domainReply(ref, r.flags, r.interfaceIndex, r.error, CStr(r.domain), ref->context);
        break;
    case Op::Register:
        if (ref->registerReply)
            ref->registerReply(ref, r.flags, r.error, CStr(r.name), CStr(r.regtype), CStr(r.domain), ref->context);
        break;
    case Op::Browse:
        ref->browseReply(ref, r.flags, r.interfaceIndex, r.error, CStr(r.name), CStr(r.regtype), CStr(r.domain),
                         ref->context);
        break;
    case Op::Resolve:
        ref->resolveReply(ref, r.flags, r.interfaceIndex, r.error, CStr(r.name), CStr(r.host), r.port,
                          (uint16_t)r.txt.size(), (const unsigned char *)r.txt.data(), ref->context);
        break;
    case Op::Connection:
        /* A record removed since its reply was queued hears nothing. */
        if (r.record->live)
            r.record->callback(ref, r.record, r.flags, r.error, r.record->context);
        break;
    }
}

void Queue(const char *function, DNSServiceRef ref, Op op, Reply reply)
{
    if (!ref || !Known(ref) || !ref->live)
        Fatal("%s: %p is not a live reference", function, (void *)ref);
    if (ref->op != op)
        Fatal("%s: reference %p was made by %s", function, (void *)ref, OpName(ref->op));
    if (!HasSocket(ref, function) || !SocketSignal(&ref->socket))
        Fatal("%s: the socket of reference %p takes no more", function, (void *)ref);
    ref->replies.push_back(std::move(reply));
}

/* The TXTRecordRef every building function needs. */
[[maybe_unused]]
bool TxtRefOk(const char *function, const TXTRecordRef *txtRecord)
{
    if (txtRecord)
        return true;
    Misuse(function, "null TXTRecordRef");
    return false;
}

}  // namespace

extern "C" {

#ifndef SCRIPTED_WITHOUT_DNSServiceRefDeallocate
SCRIPTED_EXPORT
void DNSSD_CALL DNSServiceRefDeallocate(DNSServiceRef sdRef)
{
    CallRecord("DNSServiceRefDeallocate").Ptr("sdRef", sdRef).Done();
    if (sdRef && Known(sdRef) && !sdRef->live) {
        Misuse("DNSServiceRefDeallocate", "reference %p deallocated twice", (void *)sdRef);
        return;
    }
    DNSServiceRef ref = LiveRef("DNSServiceRefDeallocate", sdRef);
    if (ref)
        Retire(ref);
}
SCRIPTED_SAME_TYPE(DNSServiceRefDeallocate);
#endif

#ifndef SCRIPTED_WITHOUT_DNSServiceEnumerateDomains
SCRIPTED_EXPORT
DNSServiceErrorType DNSSD_CALL DNSServiceEnumerateDomains(DNSServiceRef *sdRef, DNSServiceFlags flags,
                                                          uint32_t interfaceIndex,
                                                          DNSServiceDomainEnumReply callBack, void *context)
{
    CallRecord("DNSServiceEnumerateDomains")
        .Ptr("sdRef", sdRef)
        .Int("flags", flags)
        .Int("interfaceIndex", interfaceIndex)
        .Callback("callBack", callBack)
        .Ptr("context", context)
        .Done();
    DNSServiceRef ref = nullptr;
    DNSServiceErrorType err =
        Start("DNSServiceEnumerateDomains", Op::EnumerateDomains, sdRef, callBack != nullptr, context, &ref);
    if (err == kDNSServiceErr_NoError)
        ref->domainReply = callBack;
    return err;
}
SCRIPTED_SAME_TYPE(DNSServiceEnumerateDomains);
#endif

#ifndef SCRIPTED_WITHOUT_DNSServiceRegister
SCRIPTED_EXPORT
DNSServiceErrorType DNSSD_CALL DNSServiceRegister(DNSServiceRef *sdRef, DNSServiceFlags flags,
                                                  uint32_t interfaceIndex, const char *name, const char *regtype,
                                                  const char *domain, const char *host, uint16_t port,
                                                  uint16_t txtLen, const void *txtRecord,
                                                  DNSServiceRegisterReply callBack, void *context)
{
    CallRecord("DNSServiceRegister")
        .Ptr("sdRef", sdRef)
        .Int("flags", flags)
        .Int("interfaceIndex", interfaceIndex)
        .Str("name", name)
        .Str("regtype", regtype)
        .Str("domain", domain)
        .Str("host", host)
        .Int("port", port)
        .Int("txtLen", txtLen)
        .Bytes("txtRecord", txtRecord, txtLen)
        .Callback("callBack", callBack)
        .Ptr("context", context)
        .Done();
    /* The published interface lets a registration go without a callback. */
    DNSServiceRef ref = nullptr;
    DNSServiceErrorType err = Start("DNSServiceRegister", Op::Register, sdRef, true, context, &ref);
    if (err == kDNSServiceErr_NoError)
        ref->registerReply = callBack;
    return err;
}
SCRIPTED_SAME_TYPE(DNSServiceRegister);
#endif

#ifndef SCRIPTED_WITHOUT_DNSServiceUpdateRecord
SCRIPTED_EXPORT
DNSServiceErrorType DNSSD_CALL DNSServiceUpdateRecord(DNSServiceRef sdRef, DNSRecordRef RecordRef,
                                                      DNSServiceFlags flags, uint16_t rdlen, const void *rdata,
                                                      uint32_t ttl)
{
    const char *fn = "DNSServiceUpdateRecord";
    CallRecord(fn)
        .Ptr("sdRef", sdRef)
        .Ptr("RecordRef", RecordRef)
        .Int("flags", flags)
        .Int("rdlen", rdlen)
        .Bytes("rdata", rdata, rdlen)
        .Int("ttl", ttl)
        .Done();
    DNSServiceRef ref = LiveRef(fn, sdRef);
    if (!ref)
        return kErrBadReference;
    /* A null record reference means a registered service's own TXT record. */
    bool primary = !RecordRef && ref->op == Op::Register;
    if (!primary && !OwnRecord(fn, ref, RecordRef))
        return kErrBadReference;
    int64_t result;
    if (Override(fn, &result))
        return (DNSServiceErrorType)result;
    return kDNSServiceErr_NoError;
}
SCRIPTED_SAME_TYPE(DNSServiceUpdateRecord);
#endif

#ifndef SCRIPTED_WITHOUT_DNSServiceBrowse
SCRIPTED_EXPORT
DNSServiceErrorType DNSSD_CALL DNSServiceBrowse(DNSServiceRef *sdRef, DNSServiceFlags flags, uint32_t interfaceIndex,
                                                const char *regtype, const char *domain,
                                                DNSServiceBrowseReply callBack, void *context)
{
    CallRecord("DNSServiceBrowse")
        .Ptr("sdRef", sdRef)
        .Int("flags", flags)
        .Int("interfaceIndex", interfaceIndex)
        .Str("regtype", regtype)
        .Str("domain", domain)
        .Callback("callBack", callBack)
        .Ptr("context", context)
        .Done();
    DNSServiceRef ref = nullptr;
    DNSServiceErrorType err = Start("DNSServiceBrowse", Op::Browse, sdRef, callBack != nullptr, context, &ref);
    if (err == kDNSServiceErr_NoError)
        ref->browseReply = callBack;
    return err;
}
SCRIPTED_SAME_TYPE(DNSServiceBrowse);
#endif

#ifndef SCRIPTED_WITHOUT_DNSServiceResolve
SCRIPTED_EXPORT
DNSServiceErrorType DNSSD_CALL DNSServiceResolve(DNSServiceRef *sdRef, DNSServiceFlags flags,
                                                 uint32_t interfaceIndex, const char *name, const char *regtype,
                                                 const char *domain, DNSServiceResolveReply callBack,
                                                 void *context)
{
    CallRecord("DNSServiceResolve")
        .Ptr("sdRef", sdRef)
        .Int("flags", flags)
        .Int("interfaceIndex", interfaceIndex)
        .Str("name", name)
        .Str("regtype", regtype)
        .Str("domain", domain)
        .Callback("callBack", callBack)
        .Ptr("context", context)
        .Done();
    DNSServiceRef ref = nullptr;
    DNSServiceErrorType err = Start("DNSServiceResolve", Op::Resolve, sdRef, callBack != nullptr, context, &ref);
    if (err == kDNSServiceErr_NoError)
        ref->resolveReply = callBack;
    return err;
}
SCRIPTED_SAME_TYPE(DNSServiceResolve);
#endif

#ifndef SCRIPTED_WITHOUT_DNSServiceRefSockFD
SCRIPTED_EXPORT
int DNSSD_CALL DNSServiceRefSockFD(DNSServiceRef sdRef)
{
    CallRecord("DNSServiceRefSockFD").Ptr("sdRef", sdRef).Done();
    DNSServiceRef ref = LiveRef("DNSServiceRefSockFD", sdRef);
    if (!ref)
        return -1;
    int64_t result;
    if (Override("DNSServiceRefSockFD", &result))
        return (int)result;
    return HasSocket(ref, "DNSServiceRefSockFD") ? ref->socket.readEnd : -1;
}
SCRIPTED_SAME_TYPE(DNSServiceRefSockFD);
#endif

#ifndef SCRIPTED_WITHOUT_DNSServiceProcessResult
SCRIPTED_EXPORT
DNSServiceErrorType DNSSD_CALL DNSServiceProcessResult(DNSServiceRef sdRef)
{
    const char *fn = "DNSServiceProcessResult";
    CallRecord(fn).Ptr("sdRef", sdRef).Done();
    DNSServiceRef ref = LiveRef(fn, sdRef);
    if (!ref)
        return kErrBadReference;
    if (ref->delivering) {
        Misuse(fn, "re-entered for reference %p while its reply is being delivered", (void *)ref);
        return kErrUnknown;
    }
    if (ref->broken) {
        ref->failed = true;
        return ref->broken;
    }
    if (ref->replies.empty()) {
        Misuse(fn, "no reply waiting for reference %p: the real library would block", (void *)ref);
        return kErrUnknown;
    }
    /* A set result stands for a broken connection: nothing is delivered. */
    int64_t result;
    if (Override(fn, &result))
        return (DNSServiceErrorType)result;

    /* Each reply leaves the queue before its callback runs: a callback that
     * deallocates the reference clears the queue, not this copy, and ends
     * the call. */
    do {
        SocketConsume(&ref->socket);
        Reply reply = std::move(ref->replies.front());
        ref->replies.pop_front();
        ref->delivering = true;
        Deliver(ref, reply);
        ref->delivering = false;
    } while (St().deliverAll && ref->live && !ref->replies.empty());
    return kDNSServiceErr_NoError;
}
SCRIPTED_SAME_TYPE(DNSServiceProcessResult);
#endif

#ifndef SCRIPTED_WITHOUT_DNSServiceRegisterRecord
SCRIPTED_EXPORT
DNSServiceErrorType DNSSD_CALL DNSServiceRegisterRecord(DNSServiceRef sdRef, DNSRecordRef *RecordRef,
                                                        DNSServiceFlags flags, uint32_t interfaceIndex,
                                                        const char *fullname, uint16_t rrtype, uint16_t rrclass,
                                                        uint16_t rdlen, const void *rdata, uint32_t ttl,
                                                        DNSServiceRegisterRecordReply callBack, void *context)
{
    CallRecord("DNSServiceRegisterRecord")
        .Ptr("sdRef", sdRef)
        .Ptr("RecordRef", RecordRef)
        .Int("flags", flags)
        .Int("interfaceIndex", interfaceIndex)
        .Str("fullname", fullname)
        .Int("rrtype", rrtype)
        .Int("rrclass", rrclass)
        .Int("rdlen", rdlen)
        .Bytes("rdata", rdata, rdlen)
        .Int("ttl", ttl)
        .Callback("callBack", callBack)
        .Ptr("context", context)
        .Done();
    return StartRecord("DNSServiceRegisterRecord", sdRef, Op::Connection, RecordRef, callBack,
                       callBack != nullptr, context);
}
SCRIPTED_SAME_TYPE(DNSServiceRegisterRecord);
#endif

#ifndef SCRIPTED_WITHOUT_DNSServiceRemoveRecord
SCRIPTED_EXPORT
DNSServiceErrorType DNSSD_CALL DNSServiceRemoveRecord(DNSServiceRef sdRef, DNSRecordRef RecordRef,
                                                      DNSServiceFlags flags)
{
    const char *fn = "DNSServiceRemoveRecord";
    CallRecord(fn).Ptr("sdRef", sdRef).Ptr("RecordRef", RecordRef).Int("flags", flags).Done();
    DNSServiceRef ref = LiveRef(fn, sdRef);
    if (!ref)
        return kErrBadReference;
    if (!OwnRecord(fn, ref, RecordRef))
        return kErrBadReference;
    int64_t result;
    if (Override(fn, &result) && result != 0)
        return (DNSServiceErrorType)result;
    RecordRef->live = false;
    return kDNSServiceErr_NoError;
}
SCRIPTED_SAME_TYPE(DNSServiceRemoveRecord);
#endif

#ifndef SCRIPTED_WITHOUT_DNSServiceCreateConnection
SCRIPTED_EXPORT
DNSServiceErrorType DNSSD_CALL DNSServiceCreateConnection(DNSServiceRef *sdRef)
{
    CallRecord("DNSServiceCreateConnection").Ptr("sdRef", sdRef).Done();
    DNSServiceRef ref = nullptr;
    return Start("DNSServiceCreateConnection", Op::Connection, sdRef, true, nullptr, &ref);
}
SCRIPTED_SAME_TYPE(DNSServiceCreateConnection);
#endif

#ifndef SCRIPTED_WITHOUT_DNSServiceAddRecord
SCRIPTED_EXPORT
DNSServiceErrorType DNSSD_CALL DNSServiceAddRecord(DNSServiceRef sdRef, DNSRecordRef *RecordRef,
                                                   DNSServiceFlags flags, uint16_t rrtype, uint16_t rdlen,
                                                   const void *rdata, uint32_t ttl)
{
    CallRecord("DNSServiceAddRecord")
        .Ptr("sdRef", sdRef)
        .Ptr("RecordRef", RecordRef)
        .Int("flags", flags)
        .Int("rrtype", rrtype)
        .Int("rdlen", rdlen)
        .Bytes("rdata", rdata, rdlen)
        .Int("ttl", ttl)
        .Done();
    return StartRecord("DNSServiceAddRecord", sdRef, Op::Register, RecordRef, nullptr, true, nullptr);
}
SCRIPTED_SAME_TYPE(DNSServiceAddRecord);
#endif

/* The void TXT functions have no result to set: they always do their work. */

#ifndef SCRIPTED_WITHOUT_TXTRecordDeallocate
SCRIPTED_EXPORT
void DNSSD_CALL TXTRecordDeallocate(TXTRecordRef *txtRecord)
{
    CallRecord("TXTRecordDeallocate").Ptr("txtRecord", txtRecord).Done();
    if (TxtRefOk("TXTRecordDeallocate", txtRecord))
        TxtDeallocate(txtRecord);
}
SCRIPTED_SAME_TYPE(TXTRecordDeallocate);
#endif

#ifndef SCRIPTED_WITHOUT_TXTRecordGetLength
SCRIPTED_EXPORT
uint16_t DNSSD_CALL TXTRecordGetLength(const TXTRecordRef *txtRecord)
{
    CallRecord("TXTRecordGetLength").Ptr("txtRecord", txtRecord).Done();
    int64_t result;
    if (Override("TXTRecordGetLength", &result))
        return (uint16_t)result;
    return TxtRefOk("TXTRecordGetLength", txtRecord) ? TxtLength(txtRecord) : 0;
}
SCRIPTED_SAME_TYPE(TXTRecordGetLength);
#endif

#ifndef SCRIPTED_WITHOUT_TXTRecordCreate
SCRIPTED_EXPORT
void DNSSD_CALL TXTRecordCreate(TXTRecordRef *txtRecord, uint16_t bufferLen, void *buffer)
{
    CallRecord("TXTRecordCreate")
        .Ptr("txtRecord", txtRecord)
        .Int("bufferLen", bufferLen)
        .Ptr("buffer", buffer)
        .Done();
    if (TxtRefOk("TXTRecordCreate", txtRecord))
        TxtCreate(txtRecord, bufferLen, buffer);
}
SCRIPTED_SAME_TYPE(TXTRecordCreate);
#endif

#ifndef SCRIPTED_WITHOUT_TXTRecordRemoveValue
SCRIPTED_EXPORT
DNSServiceErrorType DNSSD_CALL TXTRecordRemoveValue(TXTRecordRef *txtRecord, const char *key)
{
    CallRecord("TXTRecordRemoveValue").Ptr("txtRecord", txtRecord).Str("key", key).Done();
    int64_t result;
    if (Override("TXTRecordRemoveValue", &result))
        return (DNSServiceErrorType)result;
    if (!TxtRefOk("TXTRecordRemoveValue", txtRecord))
        return kErrBadParam;
    return TxtRemoveValue(txtRecord, key);
}
SCRIPTED_SAME_TYPE(TXTRecordRemoveValue);
#endif

#ifndef SCRIPTED_WITHOUT_TXTRecordGetBytesPtr
SCRIPTED_EXPORT
const void *DNSSD_CALL TXTRecordGetBytesPtr(const TXTRecordRef *txtRecord)
{
    CallRecord("TXTRecordGetBytesPtr").Ptr("txtRecord", txtRecord).Done();
    int64_t result;
    if (Override("TXTRecordGetBytesPtr", &result))
        return (const void *)(uintptr_t)result;
    return TxtRefOk("TXTRecordGetBytesPtr", txtRecord) ? TxtBytes(txtRecord) : nullptr;
}
SCRIPTED_SAME_TYPE(TXTRecordGetBytesPtr);
#endif

#ifndef SCRIPTED_WITHOUT_TXTRecordSetValue
SCRIPTED_EXPORT
DNSServiceErrorType DNSSD_CALL TXTRecordSetValue(TXTRecordRef *txtRecord, const char *key, uint8_t valueSize,
                                                 const void *value)
{
    CallRecord("TXTRecordSetValue")
        .Ptr("txtRecord", txtRecord)
        .Str("key", key)
        .Int("valueSize", valueSize)
        .Bytes("value", value, valueSize)
        .Done();
    int64_t result;
    if (Override("TXTRecordSetValue", &result))
        return (DNSServiceErrorType)result;
    if (!TxtRefOk("TXTRecordSetValue", txtRecord))
        return kErrBadParam;
    return TxtSetValue(txtRecord, key, valueSize, value);
}
SCRIPTED_SAME_TYPE(TXTRecordSetValue);
#endif

#ifndef SCRIPTED_WITHOUT_TXTRecordContainsKey
SCRIPTED_EXPORT
int DNSSD_CALL TXTRecordContainsKey(uint16_t txtLen, const void *txtRecord, const char *key)
{
    CallRecord("TXTRecordContainsKey")
        .Int("txtLen", txtLen)
        .Bytes("txtRecord", txtRecord, txtLen)
        .Str("key", key)
        .Done();
    int64_t result;
    if (Override("TXTRecordContainsKey", &result))
        return (int)result;
    TxtItem item;
    return TxtFind(txtRecord, txtLen, key, &item) ? 1 : 0;
}
SCRIPTED_SAME_TYPE(TXTRecordContainsKey);
#endif

#ifndef SCRIPTED_WITHOUT_TXTRecordGetValuePtr
SCRIPTED_EXPORT
const void *DNSSD_CALL TXTRecordGetValuePtr(uint16_t txtLen, const void *txtRecord, const char *key,
                                            uint8_t *valueLen)
{
    CallRecord("TXTRecordGetValuePtr")
        .Int("txtLen", txtLen)
        .Bytes("txtRecord", txtRecord, txtLen)
        .Str("key", key)
        .Ptr("valueLen", valueLen)
        .Done();
    int64_t result;
    if (Override("TXTRecordGetValuePtr", &result))
        return (const void *)(uintptr_t)result;
    TxtItem item;
    if (!TxtFind(txtRecord, txtLen, key, &item) || !item.value)
        return nullptr;
    if (valueLen)
        *valueLen = (uint8_t)item.valueLen;
    return item.value;
}
SCRIPTED_SAME_TYPE(TXTRecordGetValuePtr);
#endif

#ifndef SCRIPTED_WITHOUT_TXTRecordGetCount
SCRIPTED_EXPORT
uint16_t DNSSD_CALL TXTRecordGetCount(uint16_t txtLen, const void *txtRecord)
{
    CallRecord("TXTRecordGetCount").Int("txtLen", txtLen).Bytes("txtRecord", txtRecord, txtLen).Done();
    int64_t result;
    if (Override("TXTRecordGetCount", &result))
        return (uint16_t)result;
    return TxtCount(txtRecord, txtLen);
}
SCRIPTED_SAME_TYPE(TXTRecordGetCount);
#endif

#ifndef SCRIPTED_WITHOUT_DNSServiceConstructFullName
/* Joined as given, without escaping; each part ends in one dot. */
SCRIPTED_EXPORT
int DNSSD_CALL DNSServiceConstructFullName(char *fullName, const char *service, const char *regtype,
                                           const char *domain)
{
    const char *fn = "DNSServiceConstructFullName";
    CallRecord(fn)
        .Ptr("fullName", fullName)
        .Str("service", service)
        .Str("regtype", regtype)
        .Str("domain", domain)
        .Done();
    int64_t result;
    if (Override(fn, &result))
        return (int)result;
    if (!fullName) {
        Misuse(fn, "null fullName");
        return -1;
    }
    if (!regtype || !domain)
        return -1;
    std::string name;
    if (service)
        name = std::string(service) + ".";
    name += regtype;
    if (name.empty() || name.back() != '.')
        name += '.';
    name += domain;
    if (name.back() != '.')
        name += '.';
    if (name.size() + 1 > kMaxDomainName)
        return -1;
    memcpy(fullName, name.c_str(), name.size() + 1);
    return 0;
}
SCRIPTED_SAME_TYPE(DNSServiceConstructFullName);
#endif

#ifndef SCRIPTED_WITHOUT_TXTRecordGetItemAtIndex
SCRIPTED_EXPORT
DNSServiceErrorType DNSSD_CALL TXTRecordGetItemAtIndex(uint16_t txtLen, const void *txtRecord, uint16_t itemIndex,
                                                       uint16_t keyBufLen, char *key, uint8_t *valueLen,
                                                       const void **value)
{
    CallRecord("TXTRecordGetItemAtIndex")
        .Int("txtLen", txtLen)
        .Bytes("txtRecord", txtRecord, txtLen)
        .Int("itemIndex", itemIndex)
        .Int("keyBufLen", keyBufLen)
        .Ptr("key", key)
        .Ptr("valueLen", valueLen)
        .Ptr("value", value)
        .Done();
    int64_t result;
    if (Override("TXTRecordGetItemAtIndex", &result))
        return (DNSServiceErrorType)result;
    TxtItem item;
    if (!TxtItemAt(txtRecord, txtLen, itemIndex, &item))
        return kDNSServiceErr_Invalid;
    if (!key || item.keyLen + 1 > keyBufLen)
        return kErrNoMemory;
    memcpy(key, item.key, item.keyLen);
    key[item.keyLen] = '\0';
    if (valueLen)
        *valueLen = (uint8_t)item.valueLen;
    if (value)
        *value = item.value;
    return kDNSServiceErr_NoError;
}
SCRIPTED_SAME_TYPE(TXTRecordGetItemAtIndex);
#endif

#ifndef SCRIPTED_WITHOUT_DNSServiceGetProperty
/* A size too small for the version gets nothing written but learns the
 * size it takes. */
SCRIPTED_EXPORT
DNSServiceErrorType DNSSD_CALL DNSServiceGetProperty(const char *property, void *result, uint32_t *size)
{
    CallRecord("DNSServiceGetProperty").Str("property", property).Ptr("result", result).Ptr("size", size).Done();
    int64_t set;
    if (Override("DNSServiceGetProperty", &set))
        return (DNSServiceErrorType)set;
    if (!property || !result || !size)
        return kErrBadParam;
    if (strcmp(property, "DaemonVersion") != 0)
        return kErrUnsupported;
    uint32_t version = St().daemonVersion;
    if (*size >= sizeof version)
        memcpy(result, &version, sizeof version);
    *size = sizeof version;
    return kDNSServiceErr_NoError;
}
SCRIPTED_SAME_TYPE(DNSServiceGetProperty);
#endif

}  // extern "C"

namespace scripted {

const Arg &Call::Get(const std::string &name) const
{
    for (const Arg &arg : args)
        if (arg.name == name)
            return arg;
    Fatal("%s has no argument named %s", function.c_str(), name.c_str());
}

std::vector<Call> Calls()
{
    return St().calls;
}

std::vector<Call> Calls(const std::string &function)
{
    std::vector<Call> found;
    for (const Call &call : St().calls)
        if (call.function == function)
            found.push_back(call);
    return found;
}

int CallCount(const std::string &function)
{
    int count = 0;
    for (const Call &call : St().calls)
        if (call.function == function)
            count++;
    return count;
}

void ClearCalls()
{
    St().calls.clear();
}

void SetResult(const std::string &function, int64_t result)
{
    if (!KnownFunction(function))
        Fatal("SetResult: no DNS-SD function named %s", function.c_str());
    St().results[function] = result;
}

void ClearResult(const std::string &function)
{
    if (!KnownFunction(function))
        Fatal("ClearResult: no DNS-SD function named %s", function.c_str());
    St().results.erase(function);
}

void SetDaemonVersion(uint32_t version)
{
    St().daemonVersion = version;
}

std::vector<DNSServiceRef> LiveRefs()
{
    std::vector<DNSServiceRef> live;
    for (DNSServiceRef ref : St().refs)
        if (ref->live)
            live.push_back(ref);
    return live;
}

bool IsLive(DNSServiceRef ref)
{
    return ref && Known(ref) && ref->live;
}

DNSServiceRef LastRef()
{
    const auto &refs = St().refs;
    return refs.empty() ? nullptr : refs.back();
}

int LiveRecordCount()
{
    int count = 0;
    for (DNSRecordRef record : St().records)
        if (record->live)
            count++;
    return count;
}

bool IsLiveRecord(DNSRecordRef record)
{
    return record && KnownRecord(record) && record->live;
}

void QueueBrowseReply(DNSServiceRef ref, DNSServiceFlags flags, uint32_t interfaceIndex, DNSServiceErrorType error,
                      const char *serviceName, const char *regtype, const char *replyDomain)
{
    Reply reply;
    reply.flags = flags;
    reply.interfaceIndex = interfaceIndex;
    reply.error = error;
    reply.name = TextOf(serviceName);
    reply.regtype = TextOf(regtype);
    reply.domain = TextOf(replyDomain);
    Queue("QueueBrowseReply", ref, Op::Browse, std::move(reply));
}

void QueueResolveReply(DNSServiceRef ref, DNSServiceFlags flags, uint32_t interfaceIndex, DNSServiceErrorType error,
                       const char *fullname, const char *hosttarget, uint16_t portNetworkOrder,
                       const std::string &txt)
{
    if (txt.size() > 0xFFFF)
        Fatal("QueueResolveReply: a TXT record of %lu bytes does not fit txtLen", (unsigned long)txt.size());
    Reply reply;
    reply.flags = flags;
    reply.interfaceIndex = interfaceIndex;
    reply.error = error;
    reply.name = TextOf(fullname);
    reply.host = TextOf(hosttarget);
    reply.port = portNetworkOrder;
    reply.txt = txt;
    Queue("QueueResolveReply", ref, Op::Resolve, std::move(reply));
}

void QueueDomainReply(DNSServiceRef ref, DNSServiceFlags flags, uint32_t interfaceIndex, DNSServiceErrorType error,
                      const char *replyDomain)
{
    Reply reply;
    reply.flags = flags;
    reply.interfaceIndex = interfaceIndex;
    reply.error = error;
    reply.domain = TextOf(replyDomain);
    Queue("QueueDomainReply", ref, Op::EnumerateDomains, std::move(reply));
}

void QueueRegisterReply(DNSServiceRef ref, DNSServiceFlags flags, DNSServiceErrorType error, const char *name,
                        const char *regtype, const char *domain)
{
    Reply reply;
    reply.flags = flags;
    reply.error = error;
    reply.name = TextOf(name);
    reply.regtype = TextOf(regtype);
    reply.domain = TextOf(domain);
    Queue("QueueRegisterReply", ref, Op::Register, std::move(reply));
}

void QueueRecordReply(DNSServiceRef connection, DNSRecordRef record, DNSServiceFlags flags,
                      DNSServiceErrorType error)
{
    if (!IsLiveRecord(record) || record->owner != connection || !record->callback)
        Fatal("QueueRecordReply: %p is not a live record registered on %p", (void *)record, (void *)connection);
    Reply reply;
    reply.flags = flags;
    reply.error = error;
    reply.record = record;
    Queue("QueueRecordReply", connection, Op::Connection, std::move(reply));
}

int QueuedReplies(DNSServiceRef ref)
{
    return IsLive(ref) ? (int)ref->replies.size() : 0;
}

void MoveSocket(DNSServiceRef ref, int target)
{
    if (!IsLive(ref))
        Fatal("MoveSocket: %p is not a live reference", (void *)ref);
    if (!HasSocket(ref, "MoveSocket") || !SocketMoveReadEnd(&ref->socket, target))
        Fatal("MoveSocket: cannot move the socket of %p to %d", (void *)ref, target);
}

void SetRecording(bool on)
{
    St().recording = on;
}

void DeliverAllInOneCall()
{
    St().deliverAll = true;
}

void BreakConnection(DNSServiceRef ref, DNSServiceErrorType code)
{
    if (!IsLive(ref) || code == 0)
        Fatal("BreakConnection: %p is not a live reference, or code is 0", (void *)ref);
    if (!HasSocket(ref, "BreakConnection") || !SocketSignal(&ref->socket))
        Fatal("BreakConnection: the socket of reference %p takes no more", (void *)ref);
    ref->broken = code;
}

int CallsAfterFailure()
{
    return St().callsAfterFailure;
}

void WriteToClosedPeerInEveryCall()
{
    St().writeToClosedPeer = true;
}

int ClosedPeerWrites()
{
    return St().closedPeerWrites;
}

std::vector<std::string> Misuses()
{
    return St().misuses;
}

}  // namespace scripted
