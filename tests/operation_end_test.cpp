/*
 * An operation whose daemon went away, against a scripted library that
 * behaves as Apple's does then: the socket stays readable for ever, one
 * DNSServiceProcessResult fails without calling back, and every later call
 * on the reference fails too (the real one, after enough of them, sleeps a
 * second per call).  The operation must end there: closed, told once with the
 * code, never called again, whatever its handler does.
 */
#if !defined(_WIN32)
#include <pthread.h>
#include <signal.h>
#endif

#include "scripted_dnssd.h"
#include "support/dnssd_fixture.h"
#include "support/operation_cases.h"

namespace {

using hostsim::Value;

const DNSServiceErrorType kServiceNotRunning = -65563;

/* What the program does in the handler of the event that ends the
 * operation. */
enum class Action { Nothing, RestartsItself, ClosesAnother, DropsItsInstance, RunsANestedLoop };

const struct {
    Action action;
    const char *name;
} kActions[] = {
    {Action::Nothing, "does nothing"},
    {Action::RestartsItself, "restarts itself"},
    {Action::ClosesAnother, "closes another operation"},
    {Action::DropsItsInstance, "lets its instance go"},
    {Action::RunsANestedLoop, "runs a nested loop"},
};

class OperationEnd : public DnsSdTest, public ::testing::WithParamInterface<int> {
public:
    void SetUp() override { Start(); }
    void TearDown() override
    {
        EXPECT_EQ(scripted::Misuses(), std::vector<std::string>{});
        DnsSdTest::TearDown();
    }

    DNSServiceRef RefOf(HostObject object)
    {
        return reinterpret_cast<DNSServiceRef>(host->Get(object, "Handle").integer);
    }

    int ProcessResultCalls(DNSServiceRef ref)
    {
        int count = 0;
        for (const scripted::Call &call : scripted::Calls("DNSServiceProcessResult"))
            if (call.Int("sdRef") == (uint64_t)(uintptr_t)ref)
                count++;
        return count;
    }
};

/* The event that ends the operation: the code, zero flags, interface and
 * port, and every string nil. */
void ExpectEndingEvent(const OperationCase &op, const std::vector<Value> &arguments)
{
    for (size_t i = 0; i < arguments.size(); i++) {
        const Value &argument = arguments[i];
        if (i == op.errorArgument)
            EXPECT_EQ(argument.integer, kServiceNotRunning) << "argument " << i;
        else if (argument.type == hostsim::Type::String)
            EXPECT_TRUE(argument.IsNil()) << "argument " << i;
        else
            EXPECT_EQ(argument.integer, 0) << "argument " << i;
    }
}

TEST_P(OperationEnd, IsClosedAndToldOnceWhateverItsHandlerDoes)
{
    const OperationCase &op = kOperations[GetParam()];
    for (const auto &action : kActions) {
        SCOPED_TRACE(action.name);
        scripted::ClearCalls();
        HostObject object = host->New(op.cls);
        HostObject other = host->New("DNSServiceBrowseZRK");
        std::vector<std::vector<Value>> events;
        int otherEvents = 0;
        bool alive = true;
        host->SetHandler(other, "ServiceBrowse", [&](HostObject, const std::vector<Value> &) { otherEvents++; });
        host->SetHandler(object, op.event, [&](HostObject self, const std::vector<Value> &arguments) {
            events.push_back(arguments);
            if (events.size() > 1)
                return;
            EXPECT_FALSE(host->Call(self, "Running").boolean);
            EXPECT_EQ(host->Get(self, "Lasterror").integer, kServiceNotRunning);
            switch (action.action) {
            case Action::Nothing: break;
            case Action::RestartsItself: EXPECT_TRUE(op.start(*host, self)); break;
            case Action::ClosesAnother: host->Call(other, "Close"); break;
            case Action::DropsItsInstance:
                host->Release(self);
                alive = false;
                break;
            case Action::RunsANestedLoop: host->RunFor(200); break;
            }
        });
        ASSERT_TRUE(op.start(*host, object));
        ASSERT_TRUE(host->Call(other, "Browse", {Int(0), Str("_o._tcp"), Nil()}).boolean);
        DNSServiceRef dead = RefOf(object);
        scripted::BreakConnection(dead, kServiceNotRunning);
        scripted::QueueBrowseReply(RefOf(other), 2, 1, 0, "o", "_o._tcp.", "local.");

        ASSERT_TRUE(host->RunUntil([&] { return !events.empty(); }, 2000));
        host->RunFor(300); /* several more ticks */
        ASSERT_EQ(events.size(), 1u);
        ExpectEndingEvent(op, events[0]);
        EXPECT_EQ(ProcessResultCalls(dead), 1);
        EXPECT_EQ(scripted::CallsAfterFailure(), 0);
        EXPECT_FALSE(scripted::IsLive(dead));
        EXPECT_EQ(scripted::CallCount("DNSServiceRemoveRecord"), 0);
        /* The rest of the walk went on: the other operation was served,
         * unless the handler closed it first. */
        EXPECT_EQ(otherEvents, action.action == Action::ClosesAnother ? 0 : 1);

        if (alive) {
            bool restarted = action.action == Action::RestartsItself;
            EXPECT_EQ(host->Call(object, "Running").boolean, restarted);
            EXPECT_EQ(host->Get(object, "Lasterror").integer,
                      restarted ? op.lasterrorAfter : kServiceNotRunning);
            host->Release(object);
        }
        host->Release(other);
        EXPECT_TRUE(scripted::LiveRefs().empty());
        EXPECT_EQ(PollListLength(), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(EachOperationClass, OperationEnd, ::testing::Range(0, 5));

/* Without a handler the operation ends all the same, silently. */
TEST_F(OperationEnd, EndsWithoutAHandler)
{
    HostObject object = host->New("DNSServiceBrowseZRK");
    ASSERT_TRUE(kOperations[0].start(*host, object));
    DNSServiceRef dead = RefOf(object);
    scripted::BreakConnection(dead, kServiceNotRunning);
    ASSERT_TRUE(host->RunUntil([&] { return !host->Call(object, "Running").boolean; }, 2000));
    host->RunFor(200);
    EXPECT_EQ(ProcessResultCalls(dead), 1);
    EXPECT_EQ(host->Get(object, "Lasterror").integer, kServiceNotRunning);
    host->Release(object);
}

/* A reply that carries an error through the callback is a reply like any
 * other: the operation stays open. */
TEST_F(OperationEnd, ErrorRepliesLeaveTheOperationOpen)
{
    HostObject object = host->New("DNSServiceBrowseZRK");
    int events = 0;
    host->SetHandler(object, "ServiceBrowse", [&](HostObject, const std::vector<Value> &) { events++; });
    ASSERT_TRUE(kOperations[0].start(*host, object));
    scripted::QueueBrowseReply(RefOf(object), 0, 0, -65537, nullptr, nullptr, nullptr);
    ASSERT_TRUE(host->RunUntil([&] { return events == 1; }, 2000));
    EXPECT_TRUE(host->Call(object, "Running").boolean);
    EXPECT_EQ(host->Get(object, "Lasterror").integer, -1);
    host->Release(object);
}

#if !defined(_WIN32)
bool SigpipeBlocked()
{
    sigset_t mask;
    pthread_sigmask(SIG_BLOCK, nullptr, &mask);
    return sigismember(&mask, SIGPIPE);
}

bool SigpipePending()
{
    sigset_t pending;
    sigpending(&pending);
    return sigismember(&pending, SIGPIPE);
}

/* A library that writes to its dead daemon's socket raises SIGPIPE, whose
 * default action ends the process.  None may reach the host, and the host's
 * own signal state is as it was. */
TEST_F(OperationEnd, SigpipeInsideTheLibraryNeverReachesTheHost)
{
    struct sigaction before;
    sigaction(SIGPIPE, nullptr, &before);
    ASSERT_EQ(before.sa_handler, SIG_DFL);
    scripted::WriteToClosedPeerInEveryCall();
    std::vector<HostObject> objects;
    for (const OperationCase &op : kOperations) {
        objects.push_back(host->New(op.cls));
        ASSERT_TRUE(op.start(*host, objects.back())) << op.cls;
    }
    HostObject browse = objects[0], reg = objects[3];
    scripted::QueueBrowseReply(RefOf(browse), 2, 1, 0, "s", "_t._tcp.", "local.");
    host->Call(reg, "AddRecord", {Int(16), Str("x"), Int(60)});
    host->Call(reg, "UpdateRecord", {Str("y"), Int(60)});
    host->Call(reg, "RemoveRecord");
    host->Call(reg, "AddRecord", {Int(16), Str("z"), Int(60)});
    Shared("GetDaemonVersion");
    ASSERT_TRUE(Tick());
    scripted::BreakConnection(RefOf(objects[1]), kServiceNotRunning);
    ASSERT_TRUE(host->RunUntil([&] { return !host->Call(objects[1], "Running").boolean; }, 2000));
    for (HostObject object : objects)
        host->Release(object);
    EXPECT_GE(scripted::ClosedPeerWrites(), 18); /* every call above that talks to the daemon */
    EXPECT_FALSE(SigpipeBlocked());
    EXPECT_FALSE(SigpipePending());
    struct sigaction after;
    sigaction(SIGPIPE, nullptr, &after);
    EXPECT_EQ(after.sa_handler, SIG_DFL);
}

/* A host that blocks SIGPIPE itself keeps its mask, and what is pending is
 * its own business. */
TEST_F(OperationEnd, AHostThatBlocksSigpipeKeepsItsMask)
{
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &pipe, nullptr), 0);
    scripted::WriteToClosedPeerInEveryCall();
    HostObject object = host->New("DNSServiceBrowseZRK");
    ASSERT_TRUE(kOperations[0].start(*host, object));
    host->Release(object);
    EXPECT_GE(scripted::ClosedPeerWrites(), 2);
    EXPECT_TRUE(SigpipeBlocked());
    EXPECT_TRUE(SigpipePending());
    const struct timespec now = {0, 0};
    EXPECT_EQ(sigtimedwait(&pipe, nullptr, &now), SIGPIPE);
    pthread_sigmask(SIG_UNBLOCK, &pipe, nullptr);
}
#endif

}  // namespace
