/*
 * The scripted DNS-SD library itself: the plug-in's tests trust it to behave
 * like the real client library, so its sockets, deliveries, misuse records
 * and TXT work are checked here.  Its exports are reached by look-up, as the
 * plug-in reaches them.
 */
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>

#include "scripted_dnssd.h"
#include "scripted_probe.h"

namespace {

template <typename F>
F Lookup(const char *name)
{
    void *symbol = ProbeAnyExport(name);
    if (!symbol) {
        ADD_FAILURE() << "no export " << name;
        abort();
    }
    return reinterpret_cast<F>(symbol);
}

#define DNSSD(fn) (Lookup<fn##Fn>(#fn))

const DNSServiceErrorType kUnknown = -65537;
const DNSServiceErrorType kBadReference = -65541;
const DNSServiceErrorType kNoMemory = -65539;
const DNSServiceErrorType kInvalid = -65549;
const DNSServiceErrorType kNoSuchKey = -65556;

bool Readable(int fd)
{
    return ProbeReadable(fd);
}

bool Open(int fd)
{
    return ProbeOpen(fd);
}

std::string MisuseText()
{
    std::string all;
    for (const std::string &m : scripted::Misuses())
        all += m + "\n";
    return all;
}

/* What a browse callback was given. */
struct BrowseSeen {
    DNSServiceRef ref;
    DNSServiceFlags flags;
    uint32_t interfaceIndex;
    DNSServiceErrorType error;
    std::optional<std::string> name, regtype, domain;
    void *context;
};

std::vector<BrowseSeen> browsed;
std::function<void(DNSServiceRef)> onBrowse; /* runs inside the callback */

std::optional<std::string> Opt(const char *text)
{
    return text ? std::optional<std::string>(text) : std::nullopt;
}

void DNSSD_CALL OnBrowse(DNSServiceRef ref, DNSServiceFlags flags, uint32_t interfaceIndex,
                         DNSServiceErrorType error, const char *name, const char *regtype, const char *domain,
                         void *context)
{
    browsed.push_back({ref, flags, interfaceIndex, error, Opt(name), Opt(regtype), Opt(domain), context});
    if (onBrowse)
        onBrowse(ref);
}

DNSServiceRef Browse(void *context)
{
    DNSServiceRef ref = nullptr;
    EXPECT_EQ(DNSSD(DNSServiceBrowse)(&ref, 0, 0, "_http._tcp", nullptr, OnBrowse, context), 0);
    EXPECT_EQ(ref, scripted::LastRef());
    return ref;
}

DNSServiceRef Connection()
{
    DNSServiceRef ref = nullptr;
    EXPECT_EQ(DNSSD(DNSServiceCreateConnection)(&ref), 0);
    return ref;
}

int recordReplies;
void *recordContext;
DNSRecordRef recordSeen;

void DNSSD_CALL OnRecord(DNSServiceRef, DNSRecordRef record, DNSServiceFlags, DNSServiceErrorType, void *context)
{
    recordReplies++;
    recordSeen = record;
    recordContext = context;
}

DNSRecordRef RegisterRecord(DNSServiceRef connection, void *context)
{
    DNSRecordRef record = nullptr;
    const unsigned char rdata[] = {127, 0, 0, 1};
    EXPECT_EQ(DNSSD(DNSServiceRegisterRecord)(connection, &record, 0x20, 0, "host.local.", 1, 1, 4, rdata, 120,
                                              OnRecord, context),
              0);
    return record;
}

/* Replies reach their own reference's callback one per DNSServiceProcessResult,
 * oldest first, with that reference's context, and each socket is readable
 * exactly while its own replies wait. */
TEST(scriptedReplies, OnePerProcessResultWhileSocketReadable)
{
    int contextA = 0, contextB = 0;
    DNSServiceRef a = Browse(&contextA);
    DNSServiceRef b = Browse(&contextB);
    int fdA = DNSSD(DNSServiceRefSockFD)(a);
    int fdB = DNSSD(DNSServiceRefSockFD)(b);
    ASSERT_GE(fdA, 0);
    ASSERT_NE(fdA, fdB);
    EXPECT_FALSE(Readable(fdA));

    scripted::QueueBrowseReply(a, 0x3, 2, 0, "one", "_http._tcp.", "local.");
    scripted::QueueBrowseReply(b, 0x2, 3, 0, "other", "_http._tcp.", "local.");
    scripted::QueueBrowseReply(a, 0x0, 4, kUnknown, nullptr, "_http._tcp.", "");
    EXPECT_TRUE(Readable(fdA));
    EXPECT_TRUE(Readable(fdB));
    EXPECT_EQ(scripted::QueuedReplies(a), 2);

    EXPECT_EQ(DNSSD(DNSServiceProcessResult)(b), 0);
    ASSERT_EQ(browsed.size(), 1u);
    EXPECT_EQ(browsed[0].ref, b);
    EXPECT_EQ(browsed[0].context, &contextB);
    EXPECT_EQ(browsed[0].name, "other");
    EXPECT_FALSE(Readable(fdB));
    EXPECT_TRUE(Readable(fdA));

    EXPECT_EQ(DNSSD(DNSServiceProcessResult)(a), 0);
    ASSERT_EQ(browsed.size(), 2u);
    EXPECT_EQ(browsed[1].ref, a);
    EXPECT_EQ(browsed[1].context, &contextA);
    EXPECT_EQ(browsed[1].flags, 0x3u);
    EXPECT_EQ(browsed[1].interfaceIndex, 2u);
    EXPECT_EQ(browsed[1].name, "one");
    EXPECT_EQ(browsed[1].regtype, "_http._tcp.");
    EXPECT_EQ(browsed[1].domain, "local.");
    EXPECT_TRUE(Readable(fdA));

    EXPECT_EQ(DNSSD(DNSServiceProcessResult)(a), 0);
    ASSERT_EQ(browsed.size(), 3u);
    EXPECT_EQ(browsed[2].error, kUnknown);
    EXPECT_EQ(browsed[2].name, std::nullopt) << "a null text must arrive as a null pointer";
    EXPECT_EQ(browsed[2].domain, "");
    EXPECT_FALSE(Readable(fdA));
    EXPECT_EQ(scripted::QueuedReplies(a), 0);
    EXPECT_TRUE(scripted::Misuses().empty()) << MisuseText();
}

unsigned char resolvedTxt[64];
uint16_t resolvedTxtLen, resolvedPort;
std::string resolvedHost;
int domainReplies;
std::string domainSeen;

/* Callbacks are named functions: on 32-bit Windows they must be stdcall,
 * which a lambda's conversion cannot give. */
void DNSSD_CALL OnResolve(DNSServiceRef, DNSServiceFlags, uint32_t, DNSServiceErrorType, const char *,
                          const char *host, uint16_t port, uint16_t txtLen, const unsigned char *txt, void *context)
{
    EXPECT_NE(context, nullptr);
    resolvedHost = host;
    resolvedPort = port;
    resolvedTxtLen = txtLen;
    memcpy(resolvedTxt, txt, txtLen < sizeof resolvedTxt ? txtLen : sizeof resolvedTxt);
}

void DNSSD_CALL OnDomain(DNSServiceRef, DNSServiceFlags, uint32_t, DNSServiceErrorType, const char *domain, void *)
{
    domainReplies++;
    domainSeen = domain;
}

void DNSSD_CALL IgnoreResolve(DNSServiceRef, DNSServiceFlags, uint32_t, DNSServiceErrorType, const char *,
                              const char *, uint16_t, uint16_t, const unsigned char *, void *)
{
}

void DNSSD_CALL IgnoreDomain(DNSServiceRef, DNSServiceFlags, uint32_t, DNSServiceErrorType, const char *, void *)
{
}

/* Each operation's replies come through its own callback type with every
 * argument intact, and a record's reply through the callback and context
 * given to DNSServiceRegisterRecord for it. */
TEST(scriptedReplies, EachOperationGetsItsOwnCallbackAndArguments)
{
    DNSServiceRef resolve = nullptr, domains = nullptr, registered = nullptr;
    int resolveContext = 0, recordCtx = 0;
    ASSERT_EQ(DNSSD(DNSServiceResolve)(&resolve, 0, 0, "x", "_ipp._tcp", "local.", OnResolve, &resolveContext), 0);
    ASSERT_EQ(DNSSD(DNSServiceEnumerateDomains)(&domains, 0x40, 0, OnDomain, nullptr), 0);
    /* A registration may go without a callback; its replies then vanish. */
    ASSERT_EQ(DNSSD(DNSServiceRegister)(&registered, 0, 0, "svc", "_ipp._tcp", nullptr, nullptr,
                                        ProbeNetworkOrder(631), 0, nullptr, nullptr, nullptr),
              0);
    DNSServiceRef connection = Connection();
    DNSRecordRef record = RegisterRecord(connection, &recordCtx);

    const std::string txt("\x04" "a=\0b" "\x01z", 7);
    scripted::QueueResolveReply(resolve, 0, 1, 0, "x._ipp._tcp.local.", "printer.local.", ProbeNetworkOrder(631),
                                txt);
    scripted::QueueDomainReply(domains, 0x2, 0, 0, "local.");
    scripted::QueueRegisterReply(registered, 0x2, 0, "svc", "_ipp._tcp.", "local.");
    scripted::QueueRecordReply(connection, record, 0, 0);
    for (DNSServiceRef ref : {resolve, domains, registered, connection})
        EXPECT_EQ(DNSSD(DNSServiceProcessResult)(ref), 0);

    EXPECT_EQ(resolvedHost, "printer.local.");
    EXPECT_EQ(resolvedPort, ProbeNetworkOrder(631));
    ASSERT_EQ(resolvedTxtLen, txt.size());
    EXPECT_EQ(std::string((const char *)resolvedTxt, resolvedTxtLen), txt);
    EXPECT_EQ(domainReplies, 1);
    EXPECT_EQ(domainSeen, "local.");
    EXPECT_EQ(recordReplies, 1);
    EXPECT_EQ(recordSeen, record);
    EXPECT_EQ(recordContext, &recordCtx);
    EXPECT_TRUE(scripted::Misuses().empty()) << MisuseText();
}

/* A callback may deallocate its own reference and another one; nothing
 * freed is touched, nothing more is delivered, and their sockets close. */
TEST(scriptedReplies, DeallocationInsideCallbackIsSafe)
{
    DNSServiceRef a = Browse(nullptr);
    DNSServiceRef b = Browse(nullptr);
    int fdA = DNSSD(DNSServiceRefSockFD)(a);
    int fdB = DNSSD(DNSServiceRefSockFD)(b);
    scripted::QueueBrowseReply(a, 0, 0, 0, "first", "_http._tcp.", "local.");
    scripted::QueueBrowseReply(a, 0, 0, 0, "second", "_http._tcp.", "local.");
    scripted::QueueBrowseReply(b, 0, 0, 0, "b", "_http._tcp.", "local.");
    onBrowse = [b](DNSServiceRef ref) {
        /* The reply's texts must stay valid through the callback. */
        EXPECT_EQ(browsed.back().name, "first");
        DNSSD(DNSServiceRefDeallocate)(ref);
        DNSSD(DNSServiceRefDeallocate)(b);
        EXPECT_FALSE(scripted::IsLive(ref));
    };

    EXPECT_EQ(DNSSD(DNSServiceProcessResult)(a), 0);
    onBrowse = nullptr;
    EXPECT_EQ(browsed.size(), 1u);
    EXPECT_FALSE(scripted::IsLive(a));
    EXPECT_FALSE(scripted::IsLive(b));
    EXPECT_TRUE(scripted::LiveRefs().empty());
    EXPECT_FALSE(Open(fdA));
    EXPECT_FALSE(Open(fdB));
    EXPECT_EQ(scripted::QueuedReplies(a), 0);
    EXPECT_TRUE(scripted::Misuses().empty()) << MisuseText();
}

/* A record reference lives until removed or until its reference goes. */
TEST(scriptedReplies, RecordsEndWithRemovalOrTheirReference)
{
    DNSServiceRef connection = Connection();
    DNSRecordRef kept = RegisterRecord(connection, nullptr);
    DNSRecordRef removed = RegisterRecord(connection, nullptr);
    DNSServiceRef registered = nullptr;
    ASSERT_EQ(DNSSD(DNSServiceRegister)(&registered, 0, 0, nullptr, "_ipp._tcp", nullptr, nullptr,
                                        ProbeNetworkOrder(631), 0, nullptr, nullptr, nullptr),
              0);
    DNSRecordRef added = nullptr;
    ASSERT_EQ(DNSSD(DNSServiceAddRecord)(registered, &added, 0, 16, 2, "\x01x", 0), 0);
    EXPECT_EQ(scripted::LiveRecordCount(), 3);

    /* A null record reference updates the registration's own TXT record. */
    EXPECT_EQ(DNSSD(DNSServiceUpdateRecord)(registered, nullptr, 0, 2, "\x01y", 0), 0);
    EXPECT_EQ(DNSSD(DNSServiceUpdateRecord)(registered, added, 0, 2, "\x01z", 0), 0);
    scripted::QueueRecordReply(connection, removed, 0, 0);
    EXPECT_EQ(DNSSD(DNSServiceRemoveRecord)(connection, removed, 0), 0);
    EXPECT_FALSE(scripted::IsLiveRecord(removed));
    /* The reply queued before the removal is consumed but heard by no one. */
    EXPECT_EQ(DNSSD(DNSServiceProcessResult)(connection), 0);
    EXPECT_EQ(recordReplies, 0);

    DNSSD(DNSServiceRefDeallocate)(connection);
    EXPECT_FALSE(scripted::IsLiveRecord(kept));
    EXPECT_TRUE(scripted::IsLiveRecord(added));
    DNSSD(DNSServiceRefDeallocate)(registered);
    EXPECT_EQ(scripted::LiveRecordCount(), 0);
    EXPECT_TRUE(scripted::Misuses().empty()) << MisuseText();
}

/* The descriptor moves to the number asked for and keeps working there.
 * Windows sockets are handles: there is no number to move one to. */
#if !defined(_WIN32)
TEST(scriptedReplies, MovedSocketIsReportedAndStaysLive)
{
    const int target = 200;
    ASSERT_FALSE(Open(target));
    DNSServiceRef ref = Browse(nullptr);
    int old = DNSSD(DNSServiceRefSockFD)(ref);
    scripted::MoveSocket(ref, target);
    EXPECT_EQ(DNSSD(DNSServiceRefSockFD)(ref), target);
    EXPECT_FALSE(Open(old));
    EXPECT_FALSE(Readable(target));
    scripted::QueueBrowseReply(ref, 0, 0, 0, "a", "_http._tcp.", "local.");
    EXPECT_TRUE(Readable(target));
    EXPECT_EQ(DNSSD(DNSServiceProcessResult)(ref), 0);
    EXPECT_FALSE(Readable(target));
    DNSSD(DNSServiceRefDeallocate)(ref);
    EXPECT_FALSE(Open(target));
}
#endif

/* A set result is returned from then on; a failing start makes no reference
 * and leaves the caller's variable alone. */
TEST(scriptedResults, FailingStartsMakeNoReferenceUntilCleared)
{
    const std::pair<const char *, std::function<DNSServiceErrorType(DNSServiceRef *)>> starts[] = {
        {"DNSServiceBrowse",
         [](DNSServiceRef *r) { return DNSSD(DNSServiceBrowse)(r, 0, 0, "_a._tcp", nullptr, OnBrowse, nullptr); }},
        {"DNSServiceResolve",
         [](DNSServiceRef *r) {
             return DNSSD(DNSServiceResolve)(r, 0, 0, "n", "_a._tcp", "local.", IgnoreResolve, nullptr);
         }},
        {"DNSServiceRegister",
         [](DNSServiceRef *r) {
             return DNSSD(DNSServiceRegister)(r, 0, 0, nullptr, "_a._tcp", nullptr, nullptr, 1, 0, nullptr, nullptr,
                                              nullptr);
         }},
        {"DNSServiceEnumerateDomains",
         [](DNSServiceRef *r) {
             return DNSSD(DNSServiceEnumerateDomains)(r, 0, 0, IgnoreDomain, nullptr);
         }},
        {"DNSServiceCreateConnection", [](DNSServiceRef *r) { return DNSSD(DNSServiceCreateConnection)(r); }},
    };
    DNSServiceRef sentinel = reinterpret_cast<DNSServiceRef>(&sentinel);
    for (const auto &start : starts) {
        SCOPED_TRACE(start.first);
        scripted::SetResult(start.first, kUnknown);
        for (int attempt = 0; attempt < 2; attempt++) {
            DNSServiceRef ref = sentinel;
            EXPECT_EQ(start.second(&ref), kUnknown);
            EXPECT_EQ(ref, sentinel);
        }
        EXPECT_TRUE(scripted::LiveRefs().empty());
        scripted::ClearResult(start.first);
        DNSServiceRef ref = nullptr;
        EXPECT_EQ(start.second(&ref), 0);
        EXPECT_TRUE(scripted::IsLive(ref));
        DNSSD(DNSServiceRefDeallocate)(ref);
    }

    DNSServiceRef connection = Connection();
    scripted::SetResult("DNSServiceRegisterRecord", -65548);
    DNSRecordRef record = nullptr;
    EXPECT_EQ(DNSSD(DNSServiceRegisterRecord)(connection, &record, 0, 0, "h.local.", 1, 1, 0, nullptr, 0, OnRecord,
                                              nullptr),
              -65548);
    EXPECT_EQ(record, nullptr);
    EXPECT_EQ(scripted::LiveRecordCount(), 0);
    scripted::SetResult("DNSServiceRefSockFD", -1);
    EXPECT_EQ(DNSSD(DNSServiceRefSockFD)(connection), -1);
    EXPECT_TRUE(scripted::Misuses().empty()) << MisuseText();
}

/* Texts are told apart from null pointers, byte buffers are copied for
 * exactly their given length (NUL bytes included), integers as passed. */
TEST(scriptedCalls, ArgumentsAreRecordedAsPassed)
{
    char txt[] = "\x04" "a=\0b" "TRAILING";
    DNSServiceRef ref = nullptr;
    ASSERT_EQ(DNSSD(DNSServiceRegister)(&ref, 0x8, 2, "", "_ipp._tcp", nullptr, "host.local.",
                                        ProbeNetworkOrder(8080), 5, txt, nullptr, &ref),
              0);
    txt[1] = 'X'; /* the record is a copy, not the caller's memory */
    std::string plain("\x02k\0", 3);
    DNSSD(TXTRecordContainsKey)(3, plain.data(), "k");

    ASSERT_EQ(scripted::CallCount("DNSServiceRegister"), 1);
    scripted::Call call = scripted::Calls("DNSServiceRegister")[0];
    EXPECT_EQ(call.Int("flags"), 0x8u);
    EXPECT_EQ(call.Int("interfaceIndex"), 2u);
    EXPECT_FALSE(call.IsNull("name"));
    EXPECT_EQ(call.Data("name"), "");
    EXPECT_TRUE(call.IsNull("domain"));
    EXPECT_EQ(call.Data("domain"), std::nullopt);
    EXPECT_EQ(call.Data("host"), "host.local.");
    EXPECT_EQ(call.Int("port"), ProbeNetworkOrder(8080));
    EXPECT_EQ(call.Int("txtLen"), 5u);
    EXPECT_EQ(call.Data("txtRecord"), std::string("\x04" "a=\0b", 5));
    EXPECT_TRUE(call.IsNull("callBack"));
    EXPECT_EQ(call.Int("context"), (uint64_t)(uintptr_t)&ref);
    EXPECT_EQ(call.Int("sdRef"), (uint64_t)(uintptr_t)&ref);

    scripted::Call read = scripted::Calls("TXTRecordContainsKey")[0];
    EXPECT_EQ(read.Data("txtRecord"), plain);
    EXPECT_EQ(read.Data("key"), "k");
    EXPECT_EQ(scripted::Calls().size(), 2u);
    scripted::ClearCalls();
    EXPECT_TRUE(scripted::Calls().empty());
}

/* Every misuse the real library would not survive is recorded once, and
 * the call returns. */
struct MisuseCase {
    const char *name;
    std::function<void()> act;
    const char *mentions;
};

void PrintTo(const MisuseCase &c, std::ostream *os)
{
    *os << c.name;
}

class scriptedMisuses : public ::testing::TestWithParam<MisuseCase> {};

TEST_P(scriptedMisuses, RecordedAndSurvived)
{
    GetParam().act();
    std::vector<std::string> misuses = scripted::Misuses();
    ASSERT_EQ(misuses.size(), 1u) << MisuseText();
    EXPECT_NE(misuses[0].find(GetParam().mentions), std::string::npos) << misuses[0];
}

const MisuseCase kMisuses[] = {
    {"CallOnDeallocatedReference",
     [] {
         DNSServiceRef ref = Browse(nullptr);
         DNSSD(DNSServiceRefDeallocate)(ref);
         EXPECT_EQ(DNSSD(DNSServiceRefSockFD)(ref), -1);
     },
     "DNSServiceRefSockFD: reference"},
    {"ReferenceNeverHandedOut",
     [] {
         int notARef = 0;
         EXPECT_EQ(DNSSD(DNSServiceProcessResult)(reinterpret_cast<DNSServiceRef>(&notARef)), kBadReference);
     },
     "is not a reference"},
    {"DeallocatedTwice",
     [] {
         DNSServiceRef ref = Browse(nullptr);
         DNSSD(DNSServiceRefDeallocate)(ref);
         DNSSD(DNSServiceRefDeallocate)(ref);
     },
     "twice"},
    {"ProcessResultWithNothingWaiting",
     [] { EXPECT_EQ(DNSSD(DNSServiceProcessResult)(Browse(nullptr)), kUnknown); },
     "no reply waiting"},
    {"ProcessResultReenteredFromItsCallback",
     [] {
         DNSServiceRef ref = Browse(nullptr);
         scripted::QueueBrowseReply(ref, 0, 0, 0, "a", "_http._tcp.", "local.");
         scripted::QueueBrowseReply(ref, 0, 0, 0, "b", "_http._tcp.", "local.");
         onBrowse = [](DNSServiceRef r) { EXPECT_EQ(DNSSD(DNSServiceProcessResult)(r), kUnknown); };
         EXPECT_EQ(DNSSD(DNSServiceProcessResult)(ref), 0);
         onBrowse = nullptr;
         EXPECT_EQ(browsed.size(), 1u);
         EXPECT_EQ(scripted::QueuedReplies(ref), 1);
     },
     "re-entered"},
    {"RemoveRecordOfAnotherReference",
     [] {
         DNSServiceRef mine = Connection();
         DNSRecordRef theirs = RegisterRecord(Connection(), nullptr);
         EXPECT_EQ(DNSSD(DNSServiceRemoveRecord)(mine, theirs, 0), kBadReference);
         EXPECT_TRUE(scripted::IsLiveRecord(theirs));
     },
     "belongs to"},
    {"UpdateRemovedRecord",
     [] {
         DNSServiceRef connection = Connection();
         DNSRecordRef record = RegisterRecord(connection, nullptr);
         DNSSD(DNSServiceRemoveRecord)(connection, record, 0);
         EXPECT_EQ(DNSSD(DNSServiceUpdateRecord)(connection, record, 0, 0, nullptr, 0), kBadReference);
     },
     "removed"},
};

INSTANTIATE_TEST_SUITE_P(Cases, scriptedMisuses, ::testing::ValuesIn(kMisuses),
                         [](const ::testing::TestParamInfo<MisuseCase> &info) { return info.param.name; });

std::string Bytes(const TXTRecordRef &txt)
{
    return std::string((const char *)DNSSD(TXTRecordGetBytesPtr)(&txt), DNSSD(TXTRecordGetLength)(&txt));
}

/* Build past a small caller buffer, replace case-insensitively, the three
 * kinds of value, removal, and reading it all back. */
TEST(scriptedTxt, BuildsAndReadsTheWireFormat)
{
    unsigned char storage[8];
    memset(storage, 0xAA, sizeof storage);
    TXTRecordRef txt;
    DNSSD(TXTRecordCreate)(&txt, 4, storage);
    EXPECT_EQ(DNSSD(TXTRecordGetLength)(&txt), 0);
    EXPECT_EQ(DNSSD(TXTRecordSetValue)(&txt, "txtvers", 1, "1"), 0);
    EXPECT_EQ(DNSSD(TXTRecordSetValue)(&txt, "Path", 2, "/x"), 0);
    EXPECT_EQ(DNSSD(TXTRecordSetValue)(&txt, "flag", 0, nullptr), 0);
    EXPECT_EQ(DNSSD(TXTRecordSetValue)(&txt, "empty", 0, ""), 0);
    EXPECT_EQ(DNSSD(TXTRecordSetValue)(&txt, "PATH", 2, "/y"), 0);
    const std::string wire = "\x09txtvers=1\x04" "flag\x06" "empty=\x07PATH=/y";
    EXPECT_EQ(Bytes(txt), wire);
    EXPECT_EQ(storage[4], 0xAA) << "wrote past the caller's bufferLen";

    std::string copy = Bytes(txt);
    uint16_t len = (uint16_t)copy.size();
    const void *bytes = copy.data();
    EXPECT_EQ(DNSSD(TXTRecordGetCount)(len, bytes), 4);
    uint8_t valueLen = 99;
    const char *value = (const char *)DNSSD(TXTRecordGetValuePtr)(len, bytes, "path", &valueLen);
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(std::string(value, valueLen), "/y");
    EXPECT_EQ(DNSSD(TXTRecordGetValuePtr)(len, bytes, "flag", &valueLen), nullptr);
    EXPECT_EQ(DNSSD(TXTRecordGetValuePtr)(len, bytes, "absent", &valueLen), nullptr);
    EXPECT_EQ(DNSSD(TXTRecordContainsKey)(len, bytes, "FLAG"), 1);
    EXPECT_EQ(DNSSD(TXTRecordContainsKey)(len, bytes, "fla"), 0);
    EXPECT_NE(DNSSD(TXTRecordGetValuePtr)(len, bytes, "empty", &valueLen), nullptr);
    EXPECT_EQ(valueLen, 0);

    const struct {
        const char *key;
        const char *value; /* null: no '=' */
    } items[] = {{"txtvers", "1"}, {"flag", nullptr}, {"empty", ""}, {"PATH", "/y"}};
    for (uint16_t i = 0; i < 4; i++) {
        char key[256];
        const void *v = &v;
        ASSERT_EQ(DNSSD(TXTRecordGetItemAtIndex)(len, bytes, i, sizeof key, key, &valueLen, &v), 0);
        EXPECT_STREQ(key, items[i].key);
        if (items[i].value)
            EXPECT_EQ(std::string((const char *)v, valueLen), items[i].value) << key;
        else
            EXPECT_TRUE(v == nullptr && valueLen == 0) << key;
    }
    char key[5];
    const void *v;
    EXPECT_EQ(DNSSD(TXTRecordGetItemAtIndex)(len, bytes, 4, sizeof key, key, &valueLen, &v), kInvalid);
    EXPECT_EQ(DNSSD(TXTRecordGetItemAtIndex)(len, bytes, 0, 7, key, &valueLen, &v), kNoMemory);
    EXPECT_EQ(DNSSD(TXTRecordGetItemAtIndex)(len, bytes, 1, 5, key, &valueLen, &v), 0);

    EXPECT_EQ(DNSSD(TXTRecordRemoveValue)(&txt, "FLAG"), 0);
    EXPECT_EQ(DNSSD(TXTRecordRemoveValue)(&txt, "flag"), kNoSuchKey);
    EXPECT_EQ(Bytes(txt), "\x09txtvers=1\x06" "empty=\x07PATH=/y");
    DNSSD(TXTRecordDeallocate)(&txt);

    /* Storage that suffices is used as it is. */
    DNSSD(TXTRecordCreate)(&txt, sizeof storage, storage);
    EXPECT_EQ(DNSSD(TXTRecordSetValue)(&txt, "k", 3, "v=w"), 0);
    EXPECT_EQ(DNSSD(TXTRecordGetBytesPtr)(&txt), storage);
    EXPECT_EQ(Bytes(txt), "\x05k=v=w");
    DNSSD(TXTRecordDeallocate)(&txt);
}

/* An item is at most 255 bytes: key, '=', value.  A refused item leaves the
 * record as it was. */
TEST(scriptedTxt, SetValueRefusesBadKeysAndLongItems)
{
    const std::string value(255, 'v');
    const struct {
        std::string key;
        int valueSize; /* -1: null value */
        DNSServiceErrorType expected;
    } cases[] = {
        {"", 1, kInvalid},
        {"a=b", 1, kInvalid},
        {std::string(255, 'k'), -1, 0},
        {std::string(256, 'k'), -1, kInvalid},
        {std::string(254, 'k'), 0, 0},
        {std::string(254, 'k'), 1, kInvalid},
        {"k", 253, 0},
        {"k", 254, kInvalid},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE("key of " + std::to_string(c.key.size()) + ", value of " + std::to_string(c.valueSize));
        TXTRecordRef txt;
        DNSSD(TXTRecordCreate)(&txt, 0, nullptr);
        ASSERT_EQ(DNSSD(TXTRecordSetValue)(&txt, "keep", 0, nullptr), 0);
        const void *v = c.valueSize < 0 ? nullptr : value.data();
        uint8_t size = (uint8_t)(c.valueSize < 0 ? 0 : c.valueSize);
        EXPECT_EQ(DNSSD(TXTRecordSetValue)(&txt, c.key.c_str(), size, v), c.expected);
        size_t itemLen = c.key.size() + (v ? 1 + size : 0);
        EXPECT_EQ(DNSSD(TXTRecordGetLength)(&txt), c.expected == 0 ? 5 + 1 + itemLen : 5);
        DNSSD(TXTRecordDeallocate)(&txt);
    }
}

/* A length byte that runs past the end, if only by one, ends the record
 * there; the bytes sit in a heap block of exactly their size so a read past
 * it is caught. */
TEST(scriptedTxt, MalformedLengthEndsTheRecord)
{
    const unsigned char wire[] = {3, 'a', '=', 'b', 3, 'k', '='};
    std::unique_ptr<unsigned char[]> bytes(new unsigned char[sizeof wire]);
    memcpy(bytes.get(), wire, sizeof wire);
    uint16_t len = sizeof wire;
    EXPECT_EQ(DNSSD(TXTRecordGetCount)(len, bytes.get()), 1);
    EXPECT_EQ(DNSSD(TXTRecordContainsKey)(len, bytes.get(), "k"), 0);
    uint8_t valueLen = 0;
    EXPECT_EQ(DNSSD(TXTRecordGetValuePtr)(len, bytes.get(), "k", &valueLen), nullptr);
    EXPECT_NE(DNSSD(TXTRecordGetValuePtr)(len, bytes.get(), "a", &valueLen), nullptr);
    EXPECT_EQ(valueLen, 1);
    char key[256];
    const void *value;
    EXPECT_EQ(DNSSD(TXTRecordGetItemAtIndex)(len, bytes.get(), 1, sizeof key, key, &valueLen, &value), kInvalid);
    EXPECT_EQ(DNSSD(TXTRecordGetCount)(0, nullptr), 0);
}

TEST(scriptedUtilities, DaemonVersionProperty)
{
    uint32_t version = 7, size = sizeof version;
    EXPECT_EQ(DNSSD(DNSServiceGetProperty)("DaemonVersion", &version, &size), 0);
    EXPECT_EQ(version, 0u);
    scripted::SetDaemonVersion(5000052);
    EXPECT_EQ(DNSSD(DNSServiceGetProperty)("DaemonVersion", &version, &size), 0);
    EXPECT_EQ(version, 5000052u);
    EXPECT_EQ(size, 4u);

    uint16_t small = 7;
    size = sizeof small;
    EXPECT_EQ(DNSSD(DNSServiceGetProperty)("DaemonVersion", &small, &size), 0);
    EXPECT_EQ(small, 7) << "wrote a version into too small a result";
    EXPECT_EQ(size, 4u);

    size = sizeof version;
    EXPECT_EQ(DNSSD(DNSServiceGetProperty)("Other", &version, &size), -65544);
    scripted::SetResult("DNSServiceGetProperty", kUnknown);
    EXPECT_EQ(DNSSD(DNSServiceGetProperty)("DaemonVersion", &version, &size), kUnknown);
    EXPECT_EQ(scripted::Calls("DNSServiceGetProperty")[3].Data("property"), "Other");
}

TEST(scriptedUtilities, ConstructFullNameJoinsWithOneDotEach)
{
    const struct {
        const char *service, *regtype, *domain, *expected;
    } cases[] = {
        {"My Printer", "_ipp._tcp", "local.", "My Printer._ipp._tcp.local."},
        {nullptr, "_ipp._tcp.", "local", "_ipp._tcp.local."},
        {"x", "_ipp._tcp", "", "x._ipp._tcp."},
    };
    for (const auto &c : cases) {
        char fullName[1005];
        memset(fullName, 'z', sizeof fullName);
        EXPECT_EQ(DNSSD(DNSServiceConstructFullName)(fullName, c.service, c.regtype, c.domain), 0);
        EXPECT_STREQ(fullName, c.expected);
    }
}

}  // namespace
