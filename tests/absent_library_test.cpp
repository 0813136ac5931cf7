/*
 * Without a usable DNS-SD library (none at all, or one that exports none of
 * the functions): the classes load, report DNS-SD unavailable and give their
 * neutral results, and no poll timer ever wakes the host.
 */
#include "support/dnssd_fixture.h"

namespace {

class AbsentLibrary : public DnsSdTest {
protected:
    void SetUp() override { Start(); }
};

TEST_F(AbsentLibrary, EveryStartMethodFailsAndNoTimerRuns)
{
    EXPECT_FALSE(Shared("Available").boolean);
    EXPECT_EQ(Shared("GetDaemonVersion").integer, 0);
    EXPECT_TRUE(Shared("ConstructFullName", {Str("a"), Str("_t._tcp"), Str("local")}).IsNil());
    const struct {
        const char *cls, *method;
        std::vector<hostsim::Value> arguments;
    } starts[] = {
        {"DNSServiceBrowseZRK", "Browse", {Int(0), Str("_t._tcp"), Nil()}},
        {"DNSServiceResolveZRK", "Resolve", {Int(0), Str("n"), Str("_t._tcp"), Nil()}},
        {"DNSServiceDomainEnumerationZRK", "EnumerateDomains", {Int(0), Int(0)}},
        {"DNSServiceRegisterZRK", "Register", {Int(0), Int(0), Nil(), Str("_t._tcp"), Nil(), Nil(), Int(80), Nil()}},
        {"DNSServiceRegisterRecordZRK", "RegisterRecord", {Int(0), Int(0), Str("h"), Int(1), Int(1), Str("x"), Int(0)}},
    };
    for (const auto &s : starts) {
        HostObject object = host->New(s.cls);
        EXPECT_FALSE(host->Call(object, s.method, s.arguments).boolean) << s.cls;
        EXPECT_FALSE(host->Call(object, "Running").boolean);
        EXPECT_EQ(host->Get(object, "Lasterror").integer, -1);
        host->Release(object);
    }
    HostObject reg = host->New("DNSServiceRegisterZRK");
    host->Call(reg, "UpdateRecord", {Str("x"), Int(0)});
    EXPECT_EQ(host->Get(reg, "Lasterror").integer, 0);
    host->Call(reg, "AddRecord", {Int(16), Str("x"), Int(0)});
    EXPECT_EQ(host->Get(reg, "Lasterror").integer, -1);
    host->Release(reg);

    host->RunFor(200);
    EXPECT_EQ(PollTickCount(), 0u);
    EXPECT_EQ(PollListLength(), 0u);
}

TEST_F(AbsentLibrary, TxtRecordGivesNeutralResults)
{
    HostObject txt = host->New("TXTRecordZRK");
    EXPECT_EQ(host->Call(txt, "SetValue", {Str("k"), Str("v")}).integer, -1);
    host->Call(txt, "RemoveValue", {Str("k")});
    EXPECT_EQ(host->Call(txt, "Length").integer, 0);
    EXPECT_EQ(host->Call(txt, "Count").integer, 0);
    EXPECT_TRUE(host->Call(txt, "Bytes").IsNil());
    EXPECT_FALSE(host->Call(txt, "ContainsKey", {Str("k")}).boolean);
    EXPECT_TRUE(host->Call(txt, "Value", {Str("k")}).IsNil());
    EXPECT_TRUE(host->Call(txt, "ValueAtIndex", {Int(0)}).IsNil());
    EXPECT_TRUE(host->Call(txt, "KeyAtIndex", {Int(0)}).IsNil());
    host->Release(txt);
    const std::string record("\x03k=v", 4);
    EXPECT_FALSE(host->CallShared("TXTRecordZRK", "ContainsKey", {Str(record), Str("k")}).boolean);
    EXPECT_TRUE(host->CallShared("TXTRecordZRK", "Value", {Str(record), Str("k")}).IsNil());
    EXPECT_EQ(host->CallShared("TXTRecordZRK", "Count", {Str(record)}).integer, 0);
    EXPECT_TRUE(host->CallShared("TXTRecordZRK", "ValueAtIndex", {Str(record), Int(0)}).IsNil());
    EXPECT_TRUE(host->CallShared("TXTRecordZRK", "KeyAtIndex", {Str(record), Int(0)}).IsNil());
}

}  // namespace
