/* TXTRecordZRK's calls into DNS-SD, against the scripted library. */
#include "scripted_dnssd.h"
#include "support/dnssd_fixture.h"

namespace {

class TxtCalls : public DnsSdTest {
protected:
    void SetUp() override
    {
        Start();
        txt = host->New("TXTRecordZRK");
        ASSERT_EQ(host->Call(txt, "SetValue", {Str("a"), Str("1")}).integer, 0);
        ASSERT_EQ(host->Call(txt, "SetValue", {Str("b"), Str("2")}).integer, 0);
        scripted::ClearCalls();
    }
    void TearDown() override
    {
        host->Release(txt);
        EXPECT_EQ(scripted::Misuses(), std::vector<std::string>{});
        DnsSdTest::TearDown();
    }
    hostsim::Value Index(const char *method, HostInteger index, bool shared)
    {
        if (shared)
            return host->CallShared("TXTRecordZRK", method, {Str(std::string("\x03" "a=1\x03" "b=2", 8)), Int(index)});
        return host->Call(txt, method, {Int(index)});
    }
    HostObject txt = nullptr;
};

TEST_F(TxtCalls, ObjectLivesInTheClassDataAndIsCreatedAndFreedByTheLibrary)
{
    HostObject other = host->New("TXTRecordZRK");
    scripted::Call create = scripted::Calls("TXTRecordCreate").at(0);
    EXPECT_EQ(create.Get("txtRecord").value, (uint64_t)(uintptr_t)host->ClassData(other, "TXTRecordZRK"));
    EXPECT_EQ(create.Int("bufferLen"), 0u);
    EXPECT_TRUE(create.IsNull("buffer"));
    host->Release(other);
    EXPECT_EQ(scripted::Calls("TXTRecordDeallocate").at(0).Get("txtRecord").value, create.Get("txtRecord").value);
}

TEST_F(TxtCalls, IndexMethodsCheckTheIndexBeforeAskingForTheItem)
{
    for (bool shared : {false, true}) {
        for (const char *method : {"ValueAtIndex", "KeyAtIndex"}) {
            SCOPED_TRACE(std::string(method) + (shared ? " shared" : ""));
            scripted::ClearCalls();
            EXPECT_TRUE(Index(method, -1, shared).IsNil());
            EXPECT_EQ(scripted::CallCount("TXTRecordGetCount"), 0);
            EXPECT_EQ(scripted::CallCount("TXTRecordGetItemAtIndex"), 0);
            if (shared) {
                EXPECT_TRUE(scripted::Calls().empty());
            }
            EXPECT_TRUE(Index(method, 2, shared).IsNil());
            EXPECT_EQ(scripted::CallCount("TXTRecordGetCount"), 1);
            EXPECT_EQ(scripted::CallCount("TXTRecordGetItemAtIndex"), 0);
            EXPECT_EQ(Index(method, 1, shared).text, std::string(method) == "KeyAtIndex" ? "b" : "2");
            EXPECT_EQ(scripted::Calls("TXTRecordGetItemAtIndex").at(0).Int("keyBufLen"), 300u);
            scripted::SetResult("TXTRecordGetItemAtIndex", -65549);
            EXPECT_TRUE(Index(method, 0, shared).IsNil());
            scripted::ClearResult("TXTRecordGetItemAtIndex");
        }
    }
}

TEST_F(TxtCalls, InstanceTakesItsBytesOncePerCall)
{
    host->Call(txt, "ValueAtIndex", {Int(1)});
    EXPECT_EQ(scripted::CallCount("TXTRecordGetLength"), 1);
    EXPECT_EQ(scripted::CallCount("TXTRecordGetBytesPtr"), 1);
    scripted::Call item = scripted::Calls("TXTRecordGetItemAtIndex").at(0);
    EXPECT_EQ(item.Int("txtLen"), 8u);
    EXPECT_EQ(item.Data("txtRecord"), std::string("\x03" "a=1\x03" "b=2", 8));
}

TEST_F(TxtCalls, SetValuePassesNullForNilAndRefusesValuesPast255Bytes)
{
    const struct {
        hostsim::Value value;
        bool nullValue;
        uint64_t size;
        HostInteger result;
    } cases[] = {
        {Nil(), true, 0, 0},
        {Str("x"), false, 1, 0},
        {Str(std::string(255, 'v')), false, 255, -65549}, /* the scripted key+value limit */
    };
    for (const auto &c : cases) {
        scripted::ClearCalls();
        EXPECT_EQ(host->Call(txt, "SetValue", {Str("k"), c.value}).integer, c.result);
        scripted::Call call = scripted::Calls("TXTRecordSetValue").at(0);
        EXPECT_EQ(call.IsNull("value"), c.nullValue);
        EXPECT_EQ(call.Int("valueSize"), c.size);
        if (!c.nullValue) {
            EXPECT_EQ(call.Data("value"), c.value.text);
        }
        EXPECT_EQ(call.Data("key"), "k");
    }
    scripted::ClearCalls();
    EXPECT_EQ(host->Call(txt, "SetValue", {Str("k"), Str(std::string(256, 'v'))}).integer, -65549);
    EXPECT_EQ(host->Call(txt, "SetValue", {Nil(), Str("v")}).integer, -65549);
    EXPECT_EQ(scripted::CallCount("TXTRecordSetValue"), 1); /* only the nil key got through, as "" */
    EXPECT_EQ(scripted::Calls("TXTRecordSetValue").at(0).Data("key"), "");
    scripted::SetResult("TXTRecordRemoveValue", -65556);
    host->Call(txt, "RemoveValue", {Str("zz")});
}

/* No TXT record holds a key past one item's 255 bytes, or a NUL inside a key
 * (the library would read a shorter key): every method answers such a key
 * itself, and a 255-byte key still reaches the library. */
TEST_F(TxtCalls, KeysNoRecordCanHoldNeverReachTheLibrary)
{
    const hostsim::Value record = Str(std::string("" "a=1", 4));
    for (const std::string &key : {std::string(256, 'k'), std::string("a\0b", 3), std::string("a\0", 2)}) {
        SCOPED_TRACE(key.size());
        EXPECT_FALSE(host->Call(txt, "ContainsKey", {Str(key)}).boolean);
        EXPECT_TRUE(host->Call(txt, "Value", {Str(key)}).IsNil());
        EXPECT_EQ(host->Call(txt, "SetValue", {Str(key), Str("v")}).integer, -65549);
        host->Call(txt, "RemoveValue", {Str(key)});
        EXPECT_FALSE(host->CallShared("TXTRecordZRK", "ContainsKey", {record, Str(key)}).boolean);
        EXPECT_TRUE(host->CallShared("TXTRecordZRK", "Value", {record, Str(key)}).IsNil());
    }
    for (const char *entry : {"TXTRecordContainsKey", "TXTRecordGetValuePtr", "TXTRecordSetValue",
                              "TXTRecordRemoveValue"})
        EXPECT_EQ(scripted::CallCount(entry), 0) << entry;
    host->Call(txt, "ContainsKey", {Str(std::string(255, 'k'))});
    EXPECT_EQ(scripted::Calls("TXTRecordContainsKey").at(0).Data("key"), std::string(255, 'k'));
}

TEST_F(TxtCalls, SharedMethodsRefuseRecordsPastTheSixteenBitLength)
{
    const std::string huge(65536, '\x01');
    EXPECT_FALSE(host->CallShared("TXTRecordZRK", "ContainsKey", {Str(huge), Str("k")}).boolean);
    EXPECT_TRUE(host->CallShared("TXTRecordZRK", "Value", {Str(huge), Str("k")}).IsNil());
    EXPECT_EQ(host->CallShared("TXTRecordZRK", "Count", {Str(huge)}).integer, 0);
    EXPECT_TRUE(host->CallShared("TXTRecordZRK", "ValueAtIndex", {Str(huge), Int(0)}).IsNil());
    EXPECT_TRUE(host->CallShared("TXTRecordZRK", "KeyAtIndex", {Str(huge), Int(0)}).IsNil());
    EXPECT_TRUE(scripted::Calls().empty());
    EXPECT_EQ(host->CallShared("TXTRecordZRK", "Count", {Nil()}).integer, 0);
    scripted::Call count = scripted::Calls("TXTRecordGetCount").at(0);
    EXPECT_EQ(count.Int("txtLen"), 0u);
    EXPECT_EQ(count.Data("txtRecord"), "");
}

}  // namespace
