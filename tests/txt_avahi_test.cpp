/*
 * TXTRecordZRK over a real TXT implementation: Avahi's DNS-SD compatibility
 * library, whose TXT functions need no daemon.
 */
#include <cctype>

#include "support/dnssd_fixture.h"

namespace {

using hostsim::Value;

class TxtAvahi : public DnsSdTest {
protected:
    void SetUp() override
    {
        Start();
        ASSERT_TRUE(Shared("Available").boolean) << "Avahi's libdns_sd.so.1 is not installed";
    }
    Value SharedCall(const char *method, std::vector<Value> arguments)
    {
        return host->CallShared("TXTRecordZRK", method, std::move(arguments));
    }
};

void ExpectSame(const Value &a, const Value &b, const std::string &what)
{
    EXPECT_EQ(a.type, b.type) << what;
    EXPECT_EQ(a.integer, b.integer) << what;
    EXPECT_EQ(a.boolean, b.boolean) << what;
    EXPECT_EQ(a.text, b.text) << what;
    EXPECT_EQ(a.encoding, b.encoding) << what;
}

TEST_F(TxtAvahi, RecordBuiltKeyByKeyReadsBackThroughTheSharedMethods)
{
    HostObject txt = host->New("TXTRecordZRK");
    EXPECT_EQ(host->Call(txt, "SetValue", {Str("path"), Str("/index.html")}).integer, 0);
    EXPECT_EQ(host->Call(txt, "SetValue", {Str("flag"), Nil()}).integer, 0);
    EXPECT_EQ(host->Call(txt, "SetValue", {Str("bin"), Str(std::string("\0\x01\0", 3))}).integer, 0);
    EXPECT_EQ(host->Call(txt, "SetValue", {Str("gone"), Str("x")}).integer, 0);
    host->Call(txt, "RemoveValue", {Str("gone")});
    Value bytes = host->Call(txt, "Bytes");
    ASSERT_TRUE(bytes.text.has_value());
    EXPECT_EQ(bytes.encoding, (uint32_t)kHostEncodingRaw);
    EXPECT_EQ(host->Call(txt, "Length").integer, (HostInteger)bytes.text->size());
    host->Release(txt);

    EXPECT_EQ(SharedCall("Count", {bytes}).integer, 3);
    EXPECT_EQ(SharedCall("Value", {bytes, Str("path")}).text, "/index.html");
    EXPECT_EQ(SharedCall("Value", {bytes, Str("path")}).encoding, (uint32_t)kHostEncodingASCII);
    EXPECT_EQ(SharedCall("Value", {bytes, Str("bin")}).text, std::string("\0\x01\0", 3));
    EXPECT_TRUE(SharedCall("ContainsKey", {bytes, Str("flag")}).boolean);
    EXPECT_TRUE(SharedCall("Value", {bytes, Str("flag")}).IsNil());
    EXPECT_FALSE(SharedCall("ContainsKey", {bytes, Str("gone")}).boolean);
    std::vector<std::string> keys;
    for (HostInteger i = 0; i < 3; i++)
        keys.push_back(SharedCall("KeyAtIndex", {bytes, Int(i)}).text.value_or("nil"));
    EXPECT_EQ(keys, (std::vector<std::string>{"path", "flag", "bin"}));
    EXPECT_EQ(SharedCall("ValueAtIndex", {bytes, Int(0)}).text, "/index.html");
}

/* Each instance method and its shared twin, on the same bytes. */
TEST_F(TxtAvahi, InstanceAndSharedMethodsAgree)
{
    using Pairs = std::vector<std::pair<std::string, Value>>;
    const Pairs recipes[] = {
        {},
        {{"key", Nil()}},
        {{"key", Str("")}},
        {{"bin", Str(std::string("\0\x01\0", 3))}, {"z", Str("1")}},
        {{"k", Str(std::string(253, 'v'))}},
        {{"Case", Str("1")}, {"case", Str("2")}, {"other", Str("3")}},
    };
    for (const Pairs &recipe : recipes) {
        HostObject txt = host->New("TXTRecordZRK");
        std::vector<std::string> keys = {"missing", ""};
        for (const auto &pair : recipe) {
            EXPECT_EQ(host->Call(txt, "SetValue", {Str(pair.first), pair.second}).integer, 0) << pair.first;
            keys.push_back(pair.first);
            std::string upper = pair.first;
            for (char &c : upper)
                c = (char)std::toupper((unsigned char)c);
            keys.push_back(upper);
        }
        Value bytes = host->Call(txt, "Bytes");
        std::string label = bytes.text ? "record of " + std::to_string(bytes.text->size()) + " bytes" : "nil record";
        for (const std::string &key : keys) {
            ExpectSame(host->Call(txt, "ContainsKey", {Str(key)}), SharedCall("ContainsKey", {bytes, Str(key)}),
                       label + " ContainsKey " + key);
            ExpectSame(host->Call(txt, "Value", {Str(key)}), SharedCall("Value", {bytes, Str(key)}),
                       label + " Value " + key);
        }
        Value count = host->Call(txt, "Count");
        ExpectSame(count, SharedCall("Count", {bytes}), label + " Count");
        for (HostInteger i = -1; i <= count.integer; i++)
            for (const char *method : {"ValueAtIndex", "KeyAtIndex"})
                ExpectSame(host->Call(txt, method, {Int(i)}), SharedCall(method, {bytes, Int(i)}),
                           label + " " + method + " " + std::to_string(i));
        host->Release(txt);
    }
}

/* Records as they may arrive from the network. */
TEST_F(TxtAvahi, ReceivedRecordsReadSafely)
{
    const struct {
        const char *name;
        std::string record;
        HostInteger count;
        const char *key;
        bool contains;
        std::optional<std::string> value;
        std::optional<std::string> firstKey;
    } cases[] = {
        {"empty", "", 0, "a", false, std::nullopt, std::nullopt},
        {"one NUL byte", std::string(1, '\0'), 1, "a", false, std::nullopt, std::nullopt},
        {"key only", "\x01" "a", 1, "a", true, std::nullopt, "a"},
        {"key=", "\x02" "a=", 1, "a", true, std::nullopt, "a"},
        {"binary value", std::string("\x05" "b=\0\x01\0", 6), 1, "b", true, std::string("\0\x01\0", 3), "b"},
        {"repeated key", "\x03" "a=1\x03" "a=2", 2, "a", true, "1", "a"},
        {"length past the end", "\x03" "a=1\x09" "bad", 1, "a", true, "1", "a"},
        {"length byte only", "\x05", 0, "a", false, std::nullopt, std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Value record = Str(c.record);
        EXPECT_EQ(SharedCall("Count", {record}).integer, c.count);
        EXPECT_EQ(SharedCall("ContainsKey", {record, Str(c.key)}).boolean, c.contains);
        EXPECT_EQ(SharedCall("Value", {record, Str(c.key)}).text, c.value);
        EXPECT_EQ(SharedCall("KeyAtIndex", {record, Int(0)}).text, c.firstKey);
        EXPECT_TRUE(SharedCall("KeyAtIndex", {record, Int(c.count)}).IsNil());
    }
}

/* Avahi's own key checks stop the process (an assertion) on a key past 255
 * bytes; a NUL inside a key would match the key before it. */
TEST_F(TxtAvahi, KeysNoRecordCanHoldAreAnsweredWithoutAvahi)
{
    HostObject txt = host->New("TXTRecordZRK");
    ASSERT_EQ(host->Call(txt, "SetValue", {Str("a"), Str("1")}).integer, 0);
    const Value record = host->Call(txt, "Bytes");
    for (const std::string &key : {std::string(256, 'k'), std::string(70000, 'k'), std::string("a\0b", 3)}) {
        SCOPED_TRACE(key.size());
        EXPECT_FALSE(host->Call(txt, "ContainsKey", {Str(key)}).boolean);
        EXPECT_TRUE(host->Call(txt, "Value", {Str(key)}).IsNil());
        EXPECT_EQ(host->Call(txt, "SetValue", {Str(key), Str("v")}).integer, -65549);
        host->Call(txt, "RemoveValue", {Str(key)});
        EXPECT_FALSE(SharedCall("ContainsKey", {record, Str(key)}).boolean);
        EXPECT_TRUE(SharedCall("Value", {record, Str(key)}).IsNil());
    }
    EXPECT_EQ(host->Call(txt, "Count").integer, 1);
    EXPECT_EQ(host->Call(txt, "Value", {Str("a")}).text, "1");
    host->Release(txt);
}

TEST_F(TxtAvahi, ValuesPastTheLimitAreRefusedNotCut)
{
    HostObject txt = host->New("TXTRecordZRK");
    /* Key, "=" and value share one length byte. */
    EXPECT_EQ(host->Call(txt, "SetValue", {Str("k"), Str(std::string(253, 'v'))}).integer, 0);
    EXPECT_EQ(host->Call(txt, "SetValue", {Str("k"), Str(std::string(255, 'v'))}).integer, -65549);
    EXPECT_EQ(host->Call(txt, "SetValue", {Str("k"), Str(std::string(256, 'v'))}).integer, -65549);
    EXPECT_EQ(host->Call(txt, "Value", {Str("k")}).text, std::string(253, 'v'));
    host->Release(txt);
}

}  // namespace
