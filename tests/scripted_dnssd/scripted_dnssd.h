/*
 * A scripted DNS-SD client library for tests.  It exports the 24 DNS-SD
 * functions the plug-in looks up (built also in variants that lack some),
 * records every call with its arguments, returns what the test sets, and
 * delivers replies the test queues exactly as the real library does: a
 * reference's socket becomes readable while a reply waits, and each
 * DNSServiceProcessResult delivers one reply through the operation's callback
 * with the operation's context value.
 *
 * A test links one variant (file name libdns_sd.so.1) and the plug-in's own
 * load of "libdns_sd.so.1" finds the same library; this header is how the
 * test drives it.
 */
#ifndef ZRK_SCRIPTED_DNSSD_H
#define ZRK_SCRIPTED_DNSSD_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "../../dnssd/dnssd_api.h"

namespace scripted {

/* One argument of a recorded call, named as in the published interface. */
struct Arg {
    std::string name;
    bool isNull = false;              /* a pointer argument that was null */
    uint64_t value = 0;               /* integers as passed; pointers as their address */
    std::optional<std::string> data;  /* copied text (up to its NUL) or bytes (given length) */
};

struct Call {
    std::string function;
    std::vector<Arg> args;

    const Arg &Get(const std::string &name) const; /* aborts when absent */
    uint64_t Int(const std::string &name) const { return Get(name).value; }
    /* The copied text or bytes; nullopt when the pointer was null. */
    std::optional<std::string> Data(const std::string &name) const { return Get(name).data; }
    bool IsNull(const std::string &name) const { return Get(name).isNull; }
};

/* Recording off: calls are neither recorded nor their references looked up
 * among those handed out (each is trusted to be one), so that a benchmark
 * times the code under test, not this library.  On by default. */
void SetRecording(bool on);

/* Every call so far, in order; or only those of one function. */
std::vector<Call> Calls();
std::vector<Call> Calls(const std::string &function);
int CallCount(const std::string &function);
void ClearCalls();

/* The result a function returns from now on (default 0, or for the TXT
 * functions the value their own work gives).  A start function with a
 * non-zero result makes no reference. */
void SetResult(const std::string &function, int64_t result);
void ClearResult(const std::string &function);
/* What DNSServiceGetProperty("DaemonVersion") writes. */
void SetDaemonVersion(uint32_t version);

/* References handed out and not yet deallocated, oldest first. */
std::vector<DNSServiceRef> LiveRefs();
bool IsLive(DNSServiceRef ref);
DNSServiceRef LastRef(); /* the newest reference handed out, live or not */
/* Record references (AddRecord, RegisterRecord) not yet removed or
 * deallocated with their service reference. */
int LiveRecordCount();
bool IsLiveRecord(DNSRecordRef record);

/* Queue one reply for ref; its socket is readable while any reply waits.
 * Null texts are passed to the callback as null pointers. */
void QueueBrowseReply(DNSServiceRef ref, DNSServiceFlags flags, uint32_t interfaceIndex, DNSServiceErrorType error,
                      const char *serviceName, const char *regtype, const char *replyDomain);
/* port is given as it travels: in network byte order. */
void QueueResolveReply(DNSServiceRef ref, DNSServiceFlags flags, uint32_t interfaceIndex, DNSServiceErrorType error,
                       const char *fullname, const char *hosttarget, uint16_t portNetworkOrder,
                       const std::string &txt);
void QueueDomainReply(DNSServiceRef ref, DNSServiceFlags flags, uint32_t interfaceIndex, DNSServiceErrorType error,
                      const char *replyDomain);
void QueueRegisterReply(DNSServiceRef ref, DNSServiceFlags flags, DNSServiceErrorType error, const char *name,
                        const char *regtype, const char *domain);
/* For a record registered on a connection with DNSServiceRegisterRecord. */
void QueueRecordReply(DNSServiceRef connection, DNSRecordRef record, DNSServiceFlags flags,
                      DNSServiceErrorType error);
int QueuedReplies(DNSServiceRef ref);

/* From now on one DNSServiceProcessResult delivers every reply waiting for
 * its reference, as Apple's client library does with what it has read,
 * instead of one. */
void DeliverAllInOneCall();

/* The daemon behind ref goes away, as Apple's client library then behaves:
 * ref's socket stays readable for ever, the next DNSServiceProcessResult
 * returns code and calls back nothing, and every later call on ref but its
 * deallocation returns kDNSServiceErr_BadReference (the real library sleeps a
 * second per such call once a process has made enough of them) and is
 * counted as a misuse. */
void BreakConnection(DNSServiceRef ref, DNSServiceErrorType code);
/* Calls made on broken references after their failing
 * DNSServiceProcessResult, deallocation excepted. */
int CallsAfterFailure();

/* From now on every call that may talk to the daemon (every DNSService...
 * function but DNSServiceRefSockFD and DNSServiceConstructFullName) first
 * writes to a connection whose peer is gone, as a library does to its dead
 * daemon: on POSIX that raises SIGPIPE.  The number of such writes so far. */
void WriteToClosedPeerInEveryCall();
int ClosedPeerWrites();

/* Moves ref's readable socket to descriptor number target (dup2) and reports
 * that number from DNSServiceRefSockFD from now on. */
void MoveSocket(DNSServiceRef ref, int target);

/* Everything the caller did that the real library would not survive:
 * a call on a deallocated reference, DNSServiceProcessResult re-entered for a
 * reference whose reply is being delivered, DNSServiceProcessResult with no
 * reply waiting (the real one would block), a double deallocation, an unknown
 * record reference, a call on a reference whose connection failed.  Tests
 * expect this to stay empty. */
std::vector<std::string> Misuses();

}  // namespace scripted

#endif
