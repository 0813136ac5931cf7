/*
 * The host bridge against the stand-in host: entry look-ups, class
 * registration, host strings and event delivery, exercised through small
 * classes of the test's own registered beside the plug-in's.
 */
#include <cstring>

#include "../host/deliver_event.h"
#include "../host/host_entries.h"
#include "../host/host_string.h"
#include "../host/plugin_main.h"
#include "support/host_fixture.h"

namespace {

std::vector<std::string> gLifecycle;

void BaseConstructor(HostObject) { gLifecycle.push_back("constructor base"); }
void BaseDestructor(HostObject) { gLifecycle.push_back("destructor base"); }
void SubConstructor(HostObject) { gLifecycle.push_back("constructor sub"); }
void SubDestructor(HostObject) { gLifecycle.push_back("destructor sub"); }

HostEventDefinition gBaseEvents[] = {{"Fired(value as integer, text as string)", 0}};

void Fire(HostObject self, HostInteger value, HostString text)
{
    HostText t = HostStringText(text);
    DeliverEvent(self, &gBaseEvents[0], value, EventBytes(t.bytes, (HostInteger)t.length, kHostEncodingUTF8));
}

HostString Echo(HostObject, HostString text)
{
    HostText t = HostStringText(text);
    return BuildHostString(t.bytes, (HostInteger)t.length, kHostEncodingASCII);
}

HostString RawBytes(HostObject)
{
    return BuildHostString("a\0b\0", 4, kHostEncodingRaw);
}

HostInteger Twice(HostInteger value) { return 2 * value; }

const HostMethodDefinition gBaseMethods[] = {
    {(HostRoutine)&Fire, nullptr, "Fire(value as integer, text as string)", kHostMethodFlags},
    {(HostRoutine)&Echo, nullptr, "Echo(text as string) as string", kHostMethodFlags},
    {(HostRoutine)&RawBytes, nullptr, "RawBytes as string", kHostMethodFlags},
};
const HostMethodDefinition gBaseShared[] = {
    {(HostRoutine)&Twice, nullptr, "Twice(value as integer) as integer", kHostMethodFlags},
};
const HostPropertyDefinition gBaseProperties[] = {
    {nullptr, "Count", "Integer", kHostPropertyFlags, kHostStandardAccessor, kHostStandardAccessor, 0},
    {nullptr, "Fixed", "Integer", kHostPropertyFlags, kHostStandardAccessor, nullptr, 8},
};
const HostConstantDefinition gBaseConstants[] = {
    {"kAnswer = 42", nullptr, 0}, {"kMask = &h10", nullptr, 0}, {"kTypeA          = 1", nullptr, 0},
    {"kLow = -65537", nullptr, 0}};

HostClassDefinition gBase = {kHostClassVersion, "BridgeBaseTest", nullptr, 5, 0,
                             (HostRoutine)&BaseConstructor, (HostRoutine)&BaseDestructor,
                             gBaseProperties, 2, gBaseMethods, 3, gBaseEvents, 1, gBaseConstants, 4,
                             kHostClassFlags, gBaseShared, 1};
HostClassDefinition gSub = {kHostClassVersion, "BridgeSubTest", "BridgeBaseTest", 17, 0,
                            (HostRoutine)&SubConstructor, (HostRoutine)&SubDestructor,
                            nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, kHostClassFlags, nullptr, 0};
HostClassDefinition gSizeZero = {kHostClassVersion, "SizeZeroTest", nullptr, 0, 0, nullptr, nullptr,
                                 nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, kHostClassFlags, nullptr, 0};
HostClassDefinition gSizeSixteen = {kHostClassVersion, "SizeSixteenTest", nullptr, 16, 0, nullptr, nullptr,
                                    nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, kHostClassFlags, nullptr, 0};

const char *const kEntries[] = {"RegisterPluginVersion", "PluginRegisterClass", "REALinRuntime",
                                "REALBuildString", "REALSetStringEncoding", "REALUnlockString",
                                "REALLockObject", "REALUnlockObject", "GetEventInstance"};

class Bridge : public HostTest {
protected:
    void Start()
    {
        StartHost().StartPlugin(&REALPluginMain);
        for (HostClassDefinition *record : {&gBase, &gSub, &gSizeZero, &gSizeSixteen})
            RegisterHostClass(record);
    }
};

/* Everything that reaches the host, so that every entry gets used. */
void Exercise(hostsim::Host &host, int rounds, int *handled)
{
    HostObject object = host.New("BridgeSubTest");
    host.SetHandler(object, "Fired", [handled](HostObject, const std::vector<hostsim::Value> &) { ++*handled; });
    for (int i = 0; i < rounds; i++) {
        host.Call(object, "Fire", {Int(i), Str("text")});
        host.Call(object, "Echo", {Str("echo")});
    }
    host.Release(object);
}

TEST_F(Bridge, AnnouncesVersionNineAndAsksEachEntryOnce)
{
    Start();
    int handled = 0;
    Exercise(*host, 3, &handled);
    EXPECT_EQ(handled, 3);
    EXPECT_EQ(host->PluginVersion(), 9);
    for (const char *entry : kEntries)
        EXPECT_EQ(host->LookupCount(entry), 1) << entry;
}

TEST_F(Bridge, RoundsClassDataSizesToSixteen)
{
    Start();
    const struct {
        const char *name;
        size_t size;
    } cases[] = {{"BridgeBaseTest", 16}, {"BridgeSubTest", 32}, {"SizeZeroTest", 0}, {"SizeSixteenTest", 16}};
    for (const auto &c : cases) {
        const hostsim::ClassInfo *cls = host->FindClass(c.name);
        ASSERT_NE(cls, nullptr) << c.name;
        EXPECT_EQ(cls->record->dataSize, c.size) << c.name;
    }
    EXPECT_EQ(gSub.forSystemUse, gBase.forSystemUse + 16);
}

class MissingEntry : public Bridge, public ::testing::WithParamInterface<const char *> {};

TEST_P(MissingEntry, StartUpAndCallsGiveNeutralResults)
{
    std::string missing = GetParam();
    options.missingEntries = {missing};
    Start();
    if (missing == "PluginRegisterClass") {
        EXPECT_EQ(host->FindClass("BridgeBaseTest"), nullptr);
        /* asked again, each time, while it is missing */
        EXPECT_EQ(host->LookupCount(missing), (int)kPluginClassCount + 4);
        return;
    }
    int handled = 0;
    Exercise(*host, 2, &handled);
    EXPECT_EQ(handled, missing == "GetEventInstance" ? 0 : 2);

    HostObject object = host->New("BridgeBaseTest");
    hostsim::Value echo = host->Call(object, "Echo", {Str("echo")});
    if (missing == "REALBuildString") {
        EXPECT_TRUE(echo.IsNil());
    } else {
        EXPECT_EQ(echo.text, "echo");
    }
    EXPECT_EQ(echo.encoding, missing == "REALSetStringEncoding" || missing == "REALBuildString"
                                 ? 0u : (uint32_t)kHostEncodingASCII);
    host->Release(object);
    /* A hold that could not be released is never taken. */
    EXPECT_EQ(host->CallCount("REALLockObject"),
              missing == "REALUnlockObject" || missing == "REALLockObject" ? 0 : handled);
    EXPECT_FALSE(host->Alive(object));
    if (missing != "RegisterPluginVersion" && missing != "REALinRuntime") {
        EXPECT_GT(host->LookupCount(missing), 1);
    }
}

INSTANTIATE_TEST_SUITE_P(EachOfNine, MissingEntry, ::testing::ValuesIn(kEntries));

TEST_F(Bridge, BuildHostStringGivesNilWithoutCallingTheHost)
{
    Start();
    const struct {
        const void *bytes;
        HostInteger length;
    } cases[] = {{nullptr, 3}, {"abc", 0}, {"abc", -1}, {nullptr, 0}};
    for (const auto &c : cases)
        EXPECT_EQ(BuildHostString(c.bytes, c.length, kHostEncodingASCII), nullptr) << c.length;
    EXPECT_EQ(BuildHostCString("", kHostEncodingASCII), nullptr);
    EXPECT_EQ(BuildHostCString(nullptr, kHostEncodingASCII), nullptr);
    EXPECT_EQ(host->CallCount("REALBuildString"), 0);
    EXPECT_EQ(host->CallCount("REALSetStringEncoding"), 0);
}

TEST_F(Bridge, RawBytesKeepTheirNulBytes)
{
    Start();
    HostObject object = host->New("BridgeBaseTest");
    hostsim::Value raw = host->Call(object, "RawBytes");
    EXPECT_EQ(raw.text, std::string("a\0b\0", 4));
    EXPECT_EQ(raw.encoding, (uint32_t)kHostEncodingRaw);
    host->Release(object);
}

TEST_F(Bridge, FailedBuildStringIsNilAndNeverTagged)
{
    options.buildStringFails = true;
    Start();
    HostObject object = host->New("BridgeBaseTest");
    EXPECT_TRUE(host->Call(object, "Echo", {Str("echo")}).IsNil());
    EXPECT_EQ(host->CallCount("REALBuildString"), 1);
    EXPECT_EQ(host->CallCount("REALSetStringEncoding"), 0);
    host->Release(object);
}

TEST_F(Bridge, EventWithoutHandlerOnlyAsksForIt)
{
    Start();
    HostObject object = host->New("BridgeBaseTest");
    auto before = host->CallCounts();
    host->Call(object, "Fire", {Int(1), Str("text")});
    auto after = host->CallCounts();
    before["GetEventInstance"]++;
    EXPECT_EQ(after, before);
    host->Release(object);
}

TEST_F(Bridge, EventHoldsInstanceForTheHandlerAndReleasesItsStrings)
{
    Start();
    HostObject object = host->New("BridgeBaseTest");
    std::vector<std::vector<hostsim::Value>> seen;
    std::vector<std::pair<int, int>> inside; /* holds, open plug-in strings */
    host->SetHandler(object, "Fired", [&](HostObject self, const std::vector<hostsim::Value> &arguments) {
        EXPECT_EQ(self, object);
        seen.push_back(arguments);
        inside.push_back({host->OpenLocks(), host->OpenPluginStrings()});
    });
    host->Call(object, "Fire", {Int(-7), Str("h\xc3\xa9llo")});
    host->Call(object, "Fire", {Int(0), Str("")});
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0][0].integer, -7);
    EXPECT_EQ(seen[0][1].text, "h\xc3\xa9llo");
    EXPECT_EQ(seen[0][1].encoding, (uint32_t)kHostEncodingUTF8);
    EXPECT_TRUE(seen[1][1].IsNil());
    EXPECT_EQ(inside, (std::vector<std::pair<int, int>>{{1, 1}, {1, 0}}));
    EXPECT_EQ(host->OpenLocks(), 0);
    EXPECT_EQ(host->OpenPluginStrings(), 0);
    EXPECT_EQ(host->CallCount("REALLockObject"), 2);
    EXPECT_EQ(host->CallCount("REALUnlockObject"), 2);
    host->Release(object);
}

TEST_F(Bridge, InstanceLetGoInsideItsHandlerDiesOnlyAfterIt)
{
    Start();
    HostObject object = host->New("BridgeBaseTest");
    bool aliveInside = false;
    host->SetHandler(object, "Fired", [&](HostObject self, const std::vector<hostsim::Value> &) {
        host->Release(self);
        aliveInside = host->Alive(self) && gLifecycle.back() == "constructor base";
    });
    host->Call(object, "Fire", {Int(1), Str("x")});
    EXPECT_TRUE(aliveInside);
    EXPECT_FALSE(host->Alive(object));
    EXPECT_EQ(gLifecycle.back(), "destructor base");
}

/* ---- the stand-in host itself ---- */

TEST_F(Bridge, HostBuildsInstancesBaseFirstAndDestroysThemMostDerivedFirst)
{
    Start();
    HostObject object = host->New("BridgeSubTest");
    EXPECT_EQ(gLifecycle, (std::vector<std::string>{"constructor base", "constructor sub"}));
    const unsigned char *base = static_cast<unsigned char *>(host->ClassData(object, "BridgeBaseTest"));
    const unsigned char *sub = static_cast<unsigned char *>(host->ClassData(object, "BridgeSubTest"));
    EXPECT_EQ(sub, base + 16);
    for (int i = 0; i < 48; i++)
        EXPECT_EQ(base[i], 0) << i;
    host->Release(object);
    EXPECT_EQ(gLifecycle, (std::vector<std::string>{"constructor base", "constructor sub", "destructor sub",
                                                    "destructor base"}));
}

TEST_F(Bridge, HostReadsPropertiesConstantsAndSharedMethods)
{
    Start();
    HostObject object = host->New("BridgeSubTest");
    EXPECT_EQ(host->Get(object, "Count").integer, 0);
    EXPECT_TRUE(host->Set(object, "Count", Int(5)));
    EXPECT_EQ(host->Get(object, "Count").integer, 5);
    HostInteger field;
    std::memcpy(&field, host->ClassData(object, "BridgeBaseTest"), sizeof field);
    EXPECT_EQ(field, 5);
    EXPECT_FALSE(host->Set(object, "Fixed", Int(1)));
    EXPECT_EQ(host->Get(object, "Fixed").integer, 0);
    EXPECT_EQ(host->Constant("BridgeSubTest", "kMask"), 16);
    EXPECT_EQ(host->Constant("BridgeBaseTest", "kTypeA"), 1);
    EXPECT_EQ(host->Constant("BridgeBaseTest", "kLow"), -65537);
    EXPECT_EQ(host->CallShared("BridgeBaseTest", "Twice", {Int(21)}).integer, 42);
    host->Release(object);
}

TEST_F(Bridge, HostRefusesCallsThatDoNotMatchTheDeclaration)
{
    Start();
    failuresExpected = true;
    HostObject object = host->New("BridgeBaseTest");
    host->Call(object, "Echo", {Int(1)});
    host->Call(object, "Echo", {});
    host->Call(object, "Nothing", {});
    ASSERT_EQ(hostFailures.size(), 3u);
    EXPECT_NE(hostFailures[0].find("argument 1 (text) is integer, declared string"), std::string::npos);
    EXPECT_NE(hostFailures[1].find("called with 0 arguments"), std::string::npos);
    EXPECT_NE(hostFailures[2].find("has no method Nothing"), std::string::npos);
    host->Release(object);
}

TEST_F(Bridge, HostFailsLoudlyOnADeclarationItCannotParse)
{
    Start();
    failuresExpected = true;
    static const HostMethodDefinition methods[] = {
        {(HostRoutine)&RawBytes, nullptr, "Broken(a as widget)", kHostMethodFlags}};
    static const HostConstantDefinition constants[] = {{"kBad = twelve", nullptr, 0}};
    static HostClassDefinition bad = {kHostClassVersion, "BadTest", nullptr, 0, 0, nullptr, nullptr, nullptr, 0,
                                      methods, 1, nullptr, 0, constants, 1, kHostClassFlags, nullptr, 0};
    RegisterHostClass(&bad);
    ASSERT_EQ(hostFailures.size(), 2u);
    EXPECT_NE(hostFailures[0].find("cannot parse method declaration 'Broken(a as widget)'"), std::string::npos);
    EXPECT_NE(hostFailures[1].find("cannot parse constant 'kBad = twelve'"), std::string::npos);
}

TEST_F(Bridge, HostCatchesDoubleReleaseAndLeaks)
{
    Start();
    failuresExpected = true;
    HostString string = BuildHostCString("once", kHostEncodingASCII);
    HostString leaked = BuildHostCString("leaked", kHostEncodingASCII);
    ASSERT_NE(leaked, nullptr);
    HostUnlockString(string);
    HostUnlockString(string);
    ASSERT_EQ(hostFailures.size(), 1u);
    EXPECT_NE(hostFailures[0].find("already released"), std::string::npos);
    host->CheckBalanced();
    ASSERT_EQ(hostFailures.size(), 2u);
    EXPECT_NE(hostFailures[1].find("never released: \"leaked\""), std::string::npos);
    HostUnlockString(leaked);
}

}  // namespace
