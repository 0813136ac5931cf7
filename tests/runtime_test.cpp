/*
 * The DNS-SD runtime against the scripted library: loading, the poll timer
 * (running only while something is open), waiting replies served in rounds
 * in start order, and a walk that stays sound whatever the handlers do
 * inside it.
 */
#if !defined(_WIN32)
#include <sys/resource.h>
#endif

#include <chrono>
#include <thread>

#include "scripted_dnssd.h"
#include "support/dnssd_fixture.h"

namespace {

class Runtime : public DnsSdTest {
public:
    void TearDown() override
    {
        EXPECT_EQ(scripted::Misuses(), std::vector<std::string>{});
        DnsSdTest::TearDown();
    }

    /* A browse started on a new instance, its events logged as "name:n". */
    HostObject StartBrowse(const std::string &name)
    {
        HostObject object = host->New("DNSServiceBrowseZRK");
        host->SetHandler(object, "ServiceBrowse", [this, name](HostObject self, const std::vector<hostsim::Value> &a) {
            log.push_back(name + ":" + a[3].text.value_or("nil"));
            auto action = actions.find(name);
            if (action != actions.end())
                action->second(self);
        });
        EXPECT_TRUE(host->Call(object, "Browse", {Int(0), Str("_test._tcp"), Nil()}).boolean);
        return object;
    }

    static DNSServiceRef RefOf(hostsim::Host &host, HostObject object)
    {
        return reinterpret_cast<DNSServiceRef>(host.Get(object, "Handle").integer);
    }

    void Queue(HostObject object, const char *serviceName)
    {
        scripted::QueueBrowseReply(RefOf(*host, object), 2, 1, 0, serviceName, "_test._tcp.", "local.");
    }

    std::vector<std::string> log;
    std::map<std::string, std::function<void(HostObject)>> actions;
};

TEST_F(Runtime, DevelopmentEnvironmentLoadsNoLibraryAndStartsNoTimer)
{
    Start(false);
    for (const char *name : {"DNSServiceBaseZRK", "DNSServiceBrowseZRK", "DNSServiceResolveZRK",
                             "DNSServiceRegisterZRK", "DNSServiceRegisterRecordZRK", "DNSServiceDomainEnumerationZRK",
                             "TXTRecordZRK"})
        EXPECT_NE(host->FindClass(name), nullptr) << name;
    EXPECT_FALSE(Shared("Available").boolean);
    HostObject object = host->New("DNSServiceBrowseZRK");
    EXPECT_FALSE(host->Call(object, "Browse", {Int(0), Str("_test._tcp"), Nil()}).boolean);
    host->RunFor(200);
    EXPECT_EQ(PollTickCount(), 0u);
    EXPECT_TRUE(scripted::Calls().empty());
    host->Release(object);
}

TEST_F(Runtime, RegistersTheClassesBaseFirst)
{
    Start();
    std::vector<std::string> names;
    for (const auto &cls : host->Classes())
        names.push_back(cls->record->name);
    EXPECT_EQ(names, (std::vector<std::string>{"DNSServiceBaseZRK", "DNSServiceBrowseZRK", "DNSServiceResolveZRK",
                                               "DNSServiceRegisterZRK", "DNSServiceRegisterRecordZRK",
                                               "DNSServiceDomainEnumerationZRK", "TXTRecordZRK"}));
    EXPECT_TRUE(Shared("Available").boolean);
}

/* The timer belongs to the host's message loop: a main thread busy with
 * anything else (here asleep) gets no tick, and never one from elsewhere. */
TEST_F(Runtime, TicksOnlyWhileTheMessageLoopRuns)
{
    Start();
    HostObject object = StartBrowse("a");
    Queue(object, "1");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(PollTickCount(), 0u);
    EXPECT_TRUE(log.empty());
    ASSERT_TRUE(Tick());
    EXPECT_EQ(log, (std::vector<std::string>{"a:1"}));
    host->Release(object);
}

/* A library that processes one reply per call (Avahi's, one wake-up of its
 * thread per call) has every record that is readable again served again,
 * round by round in start order, in the same tick while its time lasts and
 * in the next ones after.  The first round always visits every record; where
 * a later round is cut short depends on the machine's speed, so only each
 * operation's own order is fixed after it. */
TEST_F(Runtime, ServesWaitingRepliesInRoundsInStartOrder)
{
    Start();
    HostObject a = StartBrowse("a"), b = StartBrowse("b"), c = StartBrowse("c");
    for (HostObject object : {c, a, b}) {
        Queue(object, "1");
        Queue(object, "2");
    }
    Queue(b, "3");
    ASSERT_TRUE(host->RunUntil([&] { return log.size() >= 7; }, 2000));
    host->RunFor(150);
    ASSERT_EQ(log.size(), 7u);
    EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + 3), (std::vector<std::string>{"a:1", "b:1", "c:1"}));
    std::map<char, std::string> each;
    for (const std::string &entry : log)
        each[entry[0]] += entry.substr(2);
    EXPECT_EQ(each, (std::map<char, std::string>{{'a', "12"}, {'b', "123"}, {'c', "12"}}));
    EXPECT_EQ(scripted::CallCount("DNSServiceProcessResult"), 7);
    for (HostObject object : {a, b, c})
        host->Release(object);
    EXPECT_TRUE(scripted::LiveRefs().empty());
    EXPECT_EQ(PollListLength(), 0u);
}

/* A library that processes everything waiting in one call (Apple's) is
 * called once per tick for it. */
TEST_F(Runtime, ALibraryThatDeliversEverythingAtOnceIsCalledOncePerTick)
{
    Start();
    scripted::DeliverAllInOneCall();
    HostObject a = StartBrowse("a"), b = StartBrowse("b");
    for (HostObject object : {a, b})
        for (const char *name : {"1", "2", "3"})
            Queue(object, name);
    ASSERT_TRUE(Tick());
    EXPECT_EQ(log, (std::vector<std::string>{"a:1", "a:2", "a:3", "b:1", "b:2", "b:3"}));
    EXPECT_EQ(scripted::CallCount("DNSServiceProcessResult"), 2);
    ASSERT_TRUE(Tick());
    EXPECT_EQ(scripted::CallCount("DNSServiceProcessResult"), 2);
    host->Release(a);
    host->Release(b);
}

/* Nothing open, no timer: a host with nothing to poll is never woken. */
TEST_F(Runtime, TheTimerRunsOnlyWhileAnOperationIsOpen)
{
    Start();
    host->RunFor(200);
    EXPECT_EQ(PollTickCount(), 0u);
    HostObject a = StartBrowse("a"), b = StartBrowse("b");
    EXPECT_TRUE(Tick());
    host->Call(a, "Close");
    EXPECT_TRUE(Tick());
    /* The last close, here from inside a handler, stops it. */
    actions["b"] = [this](HostObject self) { host->Call(self, "Close"); };
    Queue(b, "1");
    ASSERT_TRUE(Tick());
    unsigned long ticks = PollTickCount();
    host->RunFor(200);
    EXPECT_EQ(PollTickCount(), ticks);
    /* And the next start starts it again. */
    EXPECT_TRUE(host->Call(a, "Browse", {Int(0), Str("_test._tcp"), Nil()}).boolean);
    Queue(a, "2");
    EXPECT_TRUE(host->RunUntil([&] { return log.size() == 2; }, 2000));
    host->Release(a);
    host->Release(b);
}

/* What a handler of the first operation does inside the walk, and what the
 * rest of that tick and the ticks after must then deliver, in this order.
 * Where the tick's time runs out (a slow handler) a round goes on in the
 * next tick, whose first round visits the same records in the same order. */
struct WalkCase {
    const char *name;
    std::function<void(Runtime &, HostObject self, HostObject later)> action;
    std::vector<std::string> delivered;
};

class RuntimeWalk : public Runtime, public ::testing::WithParamInterface<int> {};

TEST_P(RuntimeWalk, StaysSoundWhateverTheHandlerDoes)
{
    Start();
    HostObject a = StartBrowse("a"), b = StartBrowse("b"), c = StartBrowse("c");
    for (HostObject object : {a, b, c}) {
        Queue(object, "1");
        Queue(object, "2");
    }
    bool released = false;
    HostObject started = nullptr;
    const WalkCase cases[] = {
        {"closes its own", [](Runtime &t, HostObject self, HostObject) { t.host->Call(self, "Close"); },
         {"a:1", "b:1", "c:1", "b:2", "c:2"}},
        {"closes a later one", [](Runtime &t, HostObject, HostObject later) { t.host->Call(later, "Close"); },
         {"a:1", "b:1", "a:2", "b:2"}},
        {"lets its instance go",
         [&released](Runtime &t, HostObject self, HostObject) {
             t.host->Release(self);
             released = true;
         },
         {"a:1", "b:1", "c:1", "b:2", "c:2"}},
        {"restarts itself",
         [](Runtime &t, HostObject self, HostObject) {
             EXPECT_TRUE(t.host->Call(self, "Browse", {Int(0), Str("_test._tcp"), Nil()}).boolean);
         },
         {"a:1", "b:1", "c:1", "b:2", "c:2"}},
        {"starts a new operation",
         [&started](Runtime &t, HostObject, HostObject) {
             started = t.StartBrowse("d");
             t.Queue(started, "1");
         },
         {"a:1", "b:1", "c:1", "d:1", "a:2", "b:2", "c:2"}},
    };
    const WalkCase &walk = cases[GetParam()];
    SCOPED_TRACE(walk.name);
    bool done = false;
    actions["a"] = [&](HostObject self) {
        if (!done) {
            done = true;
            walk.action(*this, self, c);
        }
    };
    ASSERT_TRUE(Tick());
    host->RunFor(150);
    EXPECT_EQ(log, walk.delivered);
    if (!released)
        host->Release(a);
    EXPECT_FALSE(host->Alive(a));
    for (HostObject object : {b, c, started})
        if (object)
            host->Release(object);
    EXPECT_TRUE(scripted::LiveRefs().empty());
    EXPECT_EQ(PollListLength(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, RuntimeWalk, ::testing::Range(0, 5));

TEST_F(Runtime, RestartKeepsOneNodeAndClosingAClosedRecordCallsNothing)
{
    Start();
    HostObject object = StartBrowse("a");
    EXPECT_TRUE(host->Call(object, "Browse", {Int(0), Str("_test._tcp"), Nil()}).boolean);
    EXPECT_EQ(PollListLength(), 1u);
    EXPECT_EQ(scripted::LiveRefs().size(), 1u);
    host->Call(object, "Close");
    EXPECT_EQ(PollListLength(), 0u);
    scripted::ClearCalls();
    host->Call(object, "Close");
    host->Release(object);
    EXPECT_TRUE(scripted::Calls().empty());
}

/* An fd_set holds descriptors below FD_SETSIZE only.  Windows sockets are
 * handles, which select() takes whatever their value. */
#if !defined(_WIN32)
TEST_F(Runtime, PollsADescriptorAboveTheSelectLimit)
{
    struct rlimit limit;
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    if (limit.rlim_max < 2048)
        GTEST_SKIP() << "descriptor limit " << limit.rlim_max;
    limit.rlim_cur = 2048;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limit), 0);
    Start();
    HostObject object = StartBrowse("a");
    scripted::MoveSocket(RefOf(*host, object), 1500);
    Queue(object, "high");
    ASSERT_TRUE(Tick());
    EXPECT_EQ(log, (std::vector<std::string>{"a:high"}));
    host->Release(object);
}
#endif

TEST_F(Runtime, NestedLoopInAHandlerServesOthersButNeverReentersItsOwn)
{
    Start();
    HostObject a = StartBrowse("a"), b = StartBrowse("b");
    Queue(a, "1");
    Queue(a, "2");
    Queue(b, "1");
    Queue(b, "2");
    Queue(b, "3");
    bool nested = false;
    actions["a"] = [&](HostObject) {
        if (nested)
            return;
        nested = true;
        /* As a modal dialog would: a message loop of its own, with ticks. */
        host->RunUntil([&] { return log.size() >= 4; }, 2000);
        log.push_back("dialog closed");
    };
    ASSERT_TRUE(Tick());
    /* b's replies came in the nested loop; a's second waited for the outer
     * walk to leave it. */
    ASSERT_GE(log.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + 5),
              (std::vector<std::string>{"a:1", "b:1", "b:2", "b:3", "dialog closed"}));
    EXPECT_TRUE(host->RunUntil([&] { return std::count(log.begin(), log.end(), "a:2") == 1; }, 2000));
    host->Release(a);
    host->Release(b);
}

TEST_F(Runtime, ManyOperationsLeaveOnlyTheOpenOnesInTheList)
{
    Start();
    HostObject open[10];
    for (HostObject &object : open)
        object = StartBrowse("open");
    HostObject churn = host->New("DNSServiceBrowseZRK");
    for (int i = 0; i < 100000; i++) {
        host->Call(churn, "Browse", {Int(0), Str("_test._tcp"), Nil()});
        host->Call(churn, "Close");
        if (i % 1000 == 0)
            scripted::ClearCalls();
    }
    EXPECT_EQ(PollListLength(), 10u);
    host->Release(churn);
    for (HostObject object : open)
        host->Release(object);
    EXPECT_EQ(PollListLength(), 0u);
}

}  // namespace
