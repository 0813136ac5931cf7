/*
 * The six service classes against the scripted library, as a host program
 * uses them: by class, method, property and event name.
 */
#include <cstring>

#include "scripted_dnssd.h"
#include "support/dnssd_fixture.h"
#include "support/operation_cases.h"

namespace {

using hostsim::Value;

class Classes : public DnsSdTest {
public:
    void SetUp() override { Start(); }
    void TearDown() override
    {
        EXPECT_EQ(scripted::Misuses(), std::vector<std::string>{});
        DnsSdTest::TearDown();
    }

    HostObject Make(const char *cls)
    {
        HostObject object = host->New(cls);
        made.push_back(object);
        return object;
    }
    void ReleaseAll()
    {
        for (HostObject object : made)
            if (host->Alive(object))
                host->Release(object);
        made.clear();
    }
    DNSServiceRef RefOf(HostObject object)
    {
        return reinterpret_cast<DNSServiceRef>(host->Get(object, "Handle").integer);
    }
    HostInteger Lasterror(HostObject object) { return host->Get(object, "Lasterror").integer; }
    bool Running(HostObject object) { return host->Call(object, "Running").boolean; }

    /* Every event of the instance, in order. */
    std::vector<std::vector<Value>> &Record(HostObject object, const char *event)
    {
        auto &events = seen[object];
        host->SetHandler(object, event,
                         [&events](HostObject, const std::vector<Value> &arguments) { events.push_back(arguments); });
        return events;
    }
    /* Ticks until the instance has n events. */
    bool WaitFor(HostObject object, size_t n)
    {
        return host->RunUntil([&] { return seen[object].size() >= n; }, 2000);
    }

    bool Register(HostObject object, HostInteger port, const Value &txt = Nil())
    {
        return host->Call(object, "Register", {Int(0), Int(0), Str("svc"), Str("_test._tcp"), Nil(), Nil(),
                                               Int(port), txt}).boolean;
    }

    std::vector<HostObject> made;
    std::map<HostObject, std::vector<std::vector<Value>>> seen;
};

TEST_F(Classes, StartMethodsOpenRunAndClose)
{
    for (const OperationCase &s : kOperations) {
        SCOPED_TRACE(s.cls);
        HostObject object = Make(s.cls);
        EXPECT_FALSE(Running(object));
        EXPECT_EQ(Lasterror(object), 0);
        EXPECT_TRUE(s.start(*host, object));
        EXPECT_TRUE(Running(object));
        EXPECT_EQ(Lasterror(object), s.lasterrorAfter);
        EXPECT_EQ(scripted::CallCount(s.entry), 1);
        /* A second start ends the first. */
        EXPECT_TRUE(s.start(*host, object));
        EXPECT_EQ(scripted::LiveRefs().size(), 1u);
        host->Call(object, "Close");
        EXPECT_FALSE(Running(object));
        EXPECT_EQ(Lasterror(object), s.lasterrorAfter);
        EXPECT_TRUE(scripted::LiveRefs().empty());
        EXPECT_EQ(scripted::LiveRecordCount(), 0);
    }
    ReleaseAll();
}

TEST_F(Classes, RefusedStartsReturnFalseWithNothingOpen)
{
    for (const OperationCase &s : kOperations) {
        SCOPED_TRACE(s.cls);
        scripted::SetResult(s.entry, -65540);
        HostObject object = Make(s.cls);
        EXPECT_FALSE(s.start(*host, object));
        EXPECT_FALSE(Running(object));
        EXPECT_EQ(Lasterror(object), s.lasterrorAfter == -1 ? -1 : -65540);
        EXPECT_TRUE(scripted::LiveRefs().empty()); /* RegisterRecord's connection included */
    }
    ReleaseAll();
}

TEST_F(Classes, DroppingAnInstanceClosesItsOperation)
{
    HostObject object = host->New("DNSServiceBrowseZRK");
    ASSERT_TRUE(kOperations[0].start(*host, object));
    host->Release(object);
    EXPECT_TRUE(scripted::LiveRefs().empty());
    EXPECT_EQ(PollListLength(), 0u);
}

TEST_F(Classes, HandleIsReadOnly)
{
    HostObject object = Make("DNSServiceBrowseZRK");
    ASSERT_TRUE(kOperations[0].start(*host, object));
    HostInteger handle = host->Get(object, "Handle").integer;
    EXPECT_FALSE(host->Set(object, "Handle", Int(0)));
    EXPECT_EQ(host->Get(object, "Handle").integer, handle);
    EXPECT_TRUE(host->Set(object, "Lasterror", Int(7)));
    EXPECT_EQ(Lasterror(object), 7);
    ReleaseAll();
}

TEST_F(Classes, BrowseWithoutServiceTypeClosesTheEarlierBrowseAndCallsNothing)
{
    HostObject object = Make("DNSServiceBrowseZRK");
    ASSERT_TRUE(kOperations[0].start(*host, object));
    EXPECT_FALSE(host->Call(object, "Browse", {Int(0), Nil(), Str("local.")}).boolean);
    EXPECT_FALSE(Running(object));
    EXPECT_EQ(scripted::CallCount("DNSServiceBrowse"), 1);
    EXPECT_EQ(scripted::CallCount("DNSServiceRefDeallocate"), 1);
    ReleaseAll();
}

/* Nil arguments pass no value where DNS-SD has a default, "" elsewhere. */
TEST_F(Classes, NilArgumentsPassNullOrEmptyAsEachMethodSays)
{
    HostObject browse = Make("DNSServiceBrowseZRK");
    host->Call(browse, "Browse", {Int(0), Str(""), Nil()});
    scripted::Call call = scripted::Calls("DNSServiceBrowse").at(0);
    EXPECT_EQ(call.Data("regtype"), "");
    EXPECT_TRUE(call.IsNull("domain"));

    HostObject resolve = Make("DNSServiceResolveZRK");
    host->Call(resolve, "Resolve", {Int(0), Nil(), Nil(), Nil()});
    call = scripted::Calls("DNSServiceResolve").at(0);
    for (const char *name : {"name", "regtype", "domain"})
        EXPECT_EQ(call.Data(name), "") << name;

    HostObject reg = Make("DNSServiceRegisterZRK");
    host->Call(reg, "Register", {Int(0), Int(0), Nil(), Nil(), Nil(), Nil(), Int(80), Nil()});
    call = scripted::Calls("DNSServiceRegister").at(0);
    for (const char *name : {"name", "domain", "host", "txtRecord"})
        EXPECT_TRUE(call.IsNull(name)) << name;
    EXPECT_EQ(call.Data("regtype"), "");
    EXPECT_EQ(call.Int("txtLen"), 0u);

    host->Call(reg, "UpdateRecord", {Nil(), Int(0)});
    host->Call(reg, "AddRecord", {Int(16), Nil(), Int(0)});
    for (const char *entry : {"DNSServiceUpdateRecord", "DNSServiceAddRecord"}) {
        call = scripted::Calls(entry).at(0);
        EXPECT_EQ(call.Data("rdata"), "") << entry;
        EXPECT_EQ(call.Int("rdlen"), 0u) << entry;
    }

    HostObject record = Make("DNSServiceRegisterRecordZRK");
    host->Call(record, "RegisterRecord", {Int(0), Int(0), Nil(), Int(1), Int(1), Nil(), Int(0)});
    call = scripted::Calls("DNSServiceRegisterRecord").at(0);
    EXPECT_EQ(call.Data("fullname"), "");
    EXPECT_EQ(call.Data("rdata"), "");

    EXPECT_EQ(Shared("ConstructFullName", {Str("a"), Str("_t._tcp"), Nil()}).text.has_value(), true);
    call = scripted::Calls("DNSServiceConstructFullName").at(0);
    EXPECT_EQ(call.Data("domain"), "");
    ReleaseAll();
}

TEST_F(Classes, PortsTravelHighByteFirstBothWays)
{
    HostObject reg = Make("DNSServiceRegisterZRK");
    ASSERT_TRUE(Register(reg, 8080));
    uint16_t sent = (uint16_t)scripted::Calls("DNSServiceRegister").at(0).Int("port");
    unsigned char bytes[2];
    std::memcpy(bytes, &sent, 2);
    EXPECT_EQ(bytes[0], 0x1F);
    EXPECT_EQ(bytes[1], 0x90);

    HostObject resolve = Make("DNSServiceResolveZRK");
    auto &events = Record(resolve, "ServiceResolve");
    ASSERT_TRUE(kOperations[1].start(*host, resolve));
    /* TXT: empty, then the single byte 0. */
    scripted::QueueResolveReply(RefOf(resolve), 0, 2, 0, "n._t._tcp.local.", "h.local.", sent, "");
    scripted::QueueResolveReply(RefOf(resolve), 0, 2, 0, "n._t._tcp.local.", "h.local.", sent, std::string(1, '\0'));
    ASSERT_TRUE(WaitFor(resolve, 2));
    EXPECT_EQ(events[0][5].integer, 8080);
    EXPECT_TRUE(events[0][6].IsNil());
    EXPECT_EQ(events[1][6].text, std::string(1, '\0'));
    EXPECT_EQ(events[1][6].encoding, (uint32_t)kHostEncodingRaw);
    EXPECT_EQ(events[0][3].text, "n._t._tcp.local.");
    EXPECT_EQ(events[0][3].encoding, (uint32_t)kHostEncodingUTF8);
    EXPECT_EQ(events[0][4].encoding, (uint32_t)kHostEncodingUTF8);
    ReleaseAll();
}

/* Values DNS-SD cannot carry are refused, never cut to 16 bits. */
TEST_F(Classes, OutOfRangeValuesAreRefusedWithBadParam)
{
    const std::string tooLong(65536, 'x');
    HostObject reg = Make("DNSServiceRegisterZRK");
    for (HostInteger port : {(HostInteger)65536, (HostInteger)-1, (HostInteger)0x11F90}) {
        EXPECT_FALSE(Register(reg, port)) << port;
        EXPECT_EQ(Lasterror(reg), -65540);
    }
    EXPECT_FALSE(Register(reg, 80, Str(tooLong)));
    EXPECT_EQ(scripted::CallCount("DNSServiceRegister"), 0);
    EXPECT_TRUE(Register(reg, 65535));

    const struct {
        HostInteger rrType;
        const std::string *data;
    } adds[] = {{65536, nullptr}, {-1, nullptr}, {16, &tooLong}};
    for (const auto &add : adds) {
        host->Call(reg, "AddRecord", {Int(add.rrType), add.data ? Str(*add.data) : Str("x"), Int(0)});
        EXPECT_EQ(Lasterror(reg), -65540);
    }
    host->Call(reg, "UpdateRecord", {Str(tooLong), Int(0)});
    EXPECT_EQ(Lasterror(reg), -65540);
    EXPECT_EQ(scripted::CallCount("DNSServiceAddRecord") + scripted::CallCount("DNSServiceUpdateRecord"), 0);

    HostObject record = Make("DNSServiceRegisterRecordZRK");
    const struct {
        HostInteger rrtype, rrClass;
        const std::string *data;
    } records[] = {{65536, 1, nullptr}, {1, 65536, nullptr}, {1, -1, nullptr}, {1, 1, &tooLong}};
    for (const auto &r : records) {
        EXPECT_FALSE(host->Call(record, "RegisterRecord", {Int(0), Int(0), Str("h.local."), Int(r.rrtype),
                                                           Int(r.rrClass), r.data ? Str(*r.data) : Str("x"), Int(0)})
                         .boolean);
        EXPECT_EQ(Lasterror(record), -65540);
    }
    EXPECT_EQ(scripted::CallCount("DNSServiceCreateConnection"), 0);
    ReleaseAll();
}

/* A ttl is 32 unsigned bits: anything else is refused, never cut. */
TEST_F(Classes, TtlsOutsideThirtyTwoBitsAreRefusedWithBadParam)
{
    std::vector<HostInteger> bad = {-1};
    if (sizeof(HostInteger) > 4)
        bad.push_back((HostInteger)((1LL << 32) + 120));
    HostObject reg = Make("DNSServiceRegisterZRK");
    ASSERT_TRUE(Register(reg, 80));
    HostObject record = Make("DNSServiceRegisterRecordZRK");
    ASSERT_TRUE(kOperations[4].start(*host, record));
    scripted::ClearCalls();
    for (HostInteger ttl : bad) {
        SCOPED_TRACE(ttl);
        host->Call(reg, "AddRecord", {Int(16), Str("x"), Int(ttl)});
        EXPECT_EQ(Lasterror(reg), -65540);
        for (HostObject object : {reg, record}) {
            host->Set(object, "Lasterror", Int(0));
            host->Call(object, "UpdateRecord", {Str("x"), Int(ttl)});
            EXPECT_EQ(Lasterror(object), -65540);
        }
        HostObject refused = Make("DNSServiceRegisterRecordZRK");
        EXPECT_FALSE(host->Call(refused, "RegisterRecord",
                                {Int(0), Int(0), Str("h.local."), Int(1), Int(1), Str("x"), Int(ttl)})
                         .boolean);
        EXPECT_EQ(Lasterror(refused), -65540);
    }
    EXPECT_TRUE(scripted::Calls().empty());
    /* The largest ttl a host Integer holds travels whole. */
    const uint64_t largest = sizeof(HostInteger) > 4 ? 0xFFFFFFFFu : 0x7FFFFFFFu;
    host->Call(reg, "AddRecord", {Int(16), Str("x"), Int((HostInteger)largest)});
    EXPECT_EQ(Lasterror(reg), 0);
    EXPECT_EQ(scripted::Calls("DNSServiceAddRecord").at(0).Int("ttl"), largest);
    ReleaseAll();
}

TEST_F(Classes, AddedRecordIsReplacedUpdatedAndRemoved)
{
    HostObject reg = Make("DNSServiceRegisterZRK");
    ASSERT_TRUE(Register(reg, 80));
    host->Call(reg, "RemoveRecord");
    EXPECT_EQ(Lasterror(reg), -1);
    EXPECT_EQ(scripted::CallCount("DNSServiceRemoveRecord"), 0);

    host->Call(reg, "UpdateRecord", {Str("txt1"), Int(60)});
    EXPECT_TRUE(scripted::Calls("DNSServiceUpdateRecord").at(0).IsNull("RecordRef")); /* the service's TXT */

    host->Call(reg, "AddRecord", {Int(16), Str("first"), Int(60)});
    EXPECT_EQ(Lasterror(reg), 0);
    host->Call(reg, "UpdateRecord", {Str("txt2"), Int(60)});
    auto first = reinterpret_cast<DNSRecordRef>(scripted::Calls("DNSServiceUpdateRecord").at(1).Get("RecordRef").value);
    EXPECT_TRUE(scripted::IsLiveRecord(first)); /* the added record, not the service's TXT */
    EXPECT_EQ(scripted::Calls("DNSServiceUpdateRecord").at(1).Data("rdata"), "txt2");

    host->Call(reg, "AddRecord", {Int(16), Str("second"), Int(60)});
    ASSERT_EQ(scripted::CallCount("DNSServiceRemoveRecord"), 1);
    EXPECT_EQ(scripted::Calls("DNSServiceRemoveRecord").at(0).Get("RecordRef").value, (uint64_t)(uintptr_t)first);
    EXPECT_FALSE(scripted::IsLiveRecord(first));
    EXPECT_EQ(scripted::LiveRecordCount(), 1);

    host->Call(reg, "RemoveRecord");
    EXPECT_EQ(Lasterror(reg), 0);
    EXPECT_EQ(scripted::LiveRecordCount(), 0);

    /* Closing deallocates the registration, which takes its added record
     * with it: the record is not removed on its own first. */
    host->Call(reg, "AddRecord", {Int(16), Str("third"), Int(60)});
    ASSERT_EQ(scripted::LiveRecordCount(), 1);
    scripted::ClearCalls();
    host->Call(reg, "Close");
    EXPECT_EQ(scripted::CallCount("DNSServiceRemoveRecord"), 0);
    EXPECT_EQ(scripted::CallCount("DNSServiceRefDeallocate"), 1);
    EXPECT_EQ(scripted::LiveRecordCount(), 0);
    ReleaseAll();
}

TEST_F(Classes, UpdateRecordOnAClosedInstanceLeavesLasterror)
{
    for (const char *cls : {"DNSServiceRegisterZRK", "DNSServiceRegisterRecordZRK"}) {
        HostObject object = Make(cls);
        host->Set(object, "Lasterror", Int(5));
        host->Call(object, "UpdateRecord", {Str("x"), Int(0)});
        EXPECT_EQ(Lasterror(object), 5) << cls;
    }
    EXPECT_TRUE(scripted::Calls().empty());
    ReleaseAll();
}

TEST_F(Classes, RegisteredRecordIsUpdatedAndItsReplyDelivered)
{
    HostObject record = Make("DNSServiceRegisterRecordZRK");
    auto &events = Record(record, "ServiceRegistration");
    ASSERT_TRUE(kOperations[4].start(*host, record));
    host->Call(record, "UpdateRecord", {Str("efgh"), Int(30)});
    EXPECT_EQ(Lasterror(record), 0);
    scripted::Call update = scripted::Calls("DNSServiceUpdateRecord").at(0);
    EXPECT_EQ(update.Data("rdata"), "efgh");
    EXPECT_EQ(update.Int("ttl"), 30u);
    auto registered = reinterpret_cast<DNSRecordRef>(update.Get("RecordRef").value);
    EXPECT_TRUE(scripted::IsLiveRecord(registered));

    scripted::QueueRecordReply(RefOf(record), registered, 0, -65548);
    ASSERT_TRUE(WaitFor(record, 1));
    EXPECT_EQ(events[0][1].integer, -65548);
    /* Deallocating the connection takes the record with it. */
    host->Call(record, "Close");
    EXPECT_EQ(scripted::CallCount("DNSServiceRemoveRecord"), 0);
    EXPECT_TRUE(scripted::LiveRefs().empty());
    EXPECT_EQ(scripted::LiveRecordCount(), 0);
    ReleaseAll();
}

TEST_F(Classes, RepliesReachTheHostUnchangedAndNeverChangeTheRecord)
{
    HostObject browse = Make("DNSServiceBrowseZRK");
    HostObject domains = Make("DNSServiceDomainEnumerationZRK");
    HostObject reg = Make("DNSServiceRegisterZRK");
    auto &browsed = Record(browse, "ServiceBrowse");
    auto &found = Record(domains, "ServiceDomainEnumeration");
    auto &registered = Record(reg, "ServiceRegistration");
    ASSERT_TRUE(host->Call(browse, "Browse", {Int(-1), Str("_t._tcp"), Nil()}).boolean);
    EXPECT_EQ(scripted::Calls("DNSServiceBrowse").at(0).Int("interfaceIndex"), 0xFFFFFFFFu);
    ASSERT_TRUE(kOperations[2].start(*host, domains));
    ASSERT_TRUE(Register(reg, 80));
    host->Set(reg, "Lasterror", Int(3));
    HostInteger handles[] = {host->Get(browse, "Handle").integer, host->Get(domains, "Handle").integer,
                             host->Get(reg, "Handle").integer};

    scripted::QueueBrowseReply(RefOf(browse), 0x3, 0xFFFFFFFF, -65537, "", "_t._tcp.", "local.");
    scripted::QueueBrowseReply(RefOf(browse), 0x2, 1, 0, "Caf\xc3\xa9", "_t._tcp.", "local.");
    scripted::QueueDomainReply(RefOf(domains), 0x6, 1, 0, "local.");
    scripted::QueueRegisterReply(RefOf(reg), 0x2, -65548, "svc (2)", "_test._tcp.", "local.");
    ASSERT_TRUE(WaitFor(browse, 2) && WaitFor(domains, 1) && WaitFor(reg, 1));

    EXPECT_EQ(browsed[0][0].integer, 3);
    EXPECT_EQ(browsed[0][1].integer, host->Constant("DNSServiceBaseZRK", "kInterfaceIndexLocalOnly"));
    EXPECT_EQ(browsed[0][2].integer, -65537);
    EXPECT_TRUE(browsed[0][3].IsNil());
    EXPECT_EQ(browsed[1][3].text, "Caf\xc3\xa9");
    for (int i = 3; i < 6; i++)
        EXPECT_EQ(browsed[1][i].encoding, (uint32_t)kHostEncodingUTF8);
    EXPECT_EQ(found[0][0].integer, 6);
    EXPECT_EQ(found[0][3].text, "local.");
    EXPECT_EQ(found[0][3].encoding, (uint32_t)kHostEncodingUTF8);
    EXPECT_EQ(registered[0][1].integer, -65548);
    EXPECT_EQ(registered[0][2].text, "svc (2)");
    EXPECT_EQ(registered[0][2].encoding, (uint32_t)kHostEncodingUTF8);

    EXPECT_EQ(host->Get(browse, "Handle").integer, handles[0]);
    EXPECT_EQ(host->Get(domains, "Handle").integer, handles[1]);
    EXPECT_EQ(host->Get(reg, "Handle").integer, handles[2]);
    EXPECT_EQ(Lasterror(browse), -1);
    EXPECT_EQ(Lasterror(domains), 0);
    EXPECT_EQ(Lasterror(reg), 3);
    ReleaseAll();
}

/* What a host program may do to its own instance inside its handler. */
TEST_F(Classes, HandlerMayCloseRestartOrLetGoOfItsInstance)
{
    const std::function<void(Classes &, HostObject)> actions[] = {
        [](Classes &t, HostObject self) { t.host->Call(self, "Close"); },
        [](Classes &t, HostObject self) { EXPECT_TRUE(kOperations[0].start(*t.host, self)); },
        [](Classes &t, HostObject self) { t.host->Release(self); },
    };
    for (const auto &action : actions) {
        HostObject object = host->New("DNSServiceBrowseZRK");
        bool handled = false;
        host->SetHandler(object, "ServiceBrowse", [&](HostObject self, const std::vector<Value> &) {
            handled = true;
            action(*this, self);
        });
        ASSERT_TRUE(kOperations[0].start(*host, object));
        scripted::QueueBrowseReply(RefOf(object), 2, 1, 0, "a", "_t._tcp.", "local.");
        scripted::QueueBrowseReply(RefOf(object), 2, 1, 0, "b", "_t._tcp.", "local.");
        ASSERT_TRUE(host->RunUntil([&] { return handled; }, 2000));
        host->RunFor(120);
        if (host->Alive(object))
            host->Release(object);
        EXPECT_TRUE(scripted::LiveRefs().empty());
    }
    EXPECT_EQ(PollListLength(), 0u);
}

TEST_F(Classes, SharedMethods)
{
    EXPECT_TRUE(Shared("Available").boolean);
    EXPECT_EQ(Shared("GetDaemonVersion").integer, 0);
    scripted::SetDaemonVersion(4006);
    EXPECT_EQ(Shared("GetDaemonVersion").integer, 4006);
    EXPECT_EQ(scripted::Calls("DNSServiceGetProperty").at(1).Data("property"), "DaemonVersion");
    scripted::SetResult("DNSServiceGetProperty", -65563);
    EXPECT_EQ(Shared("GetDaemonVersion").integer, 0);

    Value name = Shared("ConstructFullName", {Str("Caf\xc3\xa9"), Str("_t._tcp"), Str("local")});
    ASSERT_TRUE(name.text.has_value());
    EXPECT_EQ(name.encoding, (uint32_t)kHostEncodingUTF8);
    EXPECT_EQ(scripted::Calls("DNSServiceConstructFullName").at(0).Data("service"), "Caf\xc3\xa9");
    /* A nil Service is no value: DNS-SD then names the type itself. */
    EXPECT_EQ(Shared("ConstructFullName", {Nil(), Str("_t._tcp"), Str("local")}).text, "_t._tcp.local.");
    EXPECT_TRUE(scripted::Calls("DNSServiceConstructFullName").at(1).IsNull("service"));
    scripted::SetResult("DNSServiceConstructFullName", -1);
    EXPECT_TRUE(Shared("ConstructFullName", {Str("a"), Str("_t._tcp"), Str("local")}).IsNil());
}

}  // namespace
