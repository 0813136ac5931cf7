/*
 * The cost of one poll tick: one zero-timeout readiness test per open
 * operation, with and without replies waiting, after many operations have
 * come and gone (the list holds only the open ones), and when operations'
 * daemon went away.
 */
#include <benchmark/benchmark.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

#include "../dnssd/poll_list.h"
#include "../hostsim/host.h"
#include "../host/plugin_main.h"
#include "scripted_dnssd.h"

namespace {

using hostsim::Value;

hostsim::Host &TheHost()
{
    static std::unique_ptr<hostsim::Host> host = [] {
        auto made = std::make_unique<hostsim::Host>();
        made->StartPlugin(&REALPluginMain);
        /* What is timed is the plug-in, not the scripted library's records. */
        scripted::SetRecording(false);
        return made;
    }();
    return *host;
}

struct OpenBrowses {
    std::vector<HostObject> objects;
    explicit OpenBrowses(int n)
    {
        hostsim::Host &host = TheHost();
        for (int i = 0; i < n; i++) {
            HostObject object = host.New("DNSServiceBrowseZRK");
            host.Call(object, "Browse", {Value::Int(0), Value::Str(std::string("_bench._tcp")), Value::Nil()});
            objects.push_back(object);
        }
        scripted::ClearCalls();
    }
    ~OpenBrowses()
    {
        for (HostObject object : objects)
            TheHost().Release(object);
        scripted::ClearCalls();
    }
};

/* The floor of an idle tick: the same number of bare zero-timeout poll()
 * calls, one per socket. */
void BarePolls(benchmark::State &state)
{
    std::vector<int> ends;
    for (int i = 0; i < state.range(0); i++) {
        int pair[2];
        if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0)
            break;
        ends.push_back(pair[0]);
        ends.push_back(pair[1]);
    }
    for (auto _ : state)
        for (size_t i = 0; i < ends.size(); i += 2) {
            struct pollfd entry = {ends[i], POLLIN, 0};
            benchmark::DoNotOptimize(poll(&entry, 1, 0));
        }
    for (int fd : ends)
        close(fd);
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BarePolls)->RangeMultiplier(10)->Range(1, 1000)->Complexity();

void IdleTick(benchmark::State &state)
{
    OpenBrowses open((int)state.range(0));
    for (auto _ : state)
        PollTimerProc();
    state.SetComplexityN(state.range(0));
    scripted::ClearCalls();
}
BENCHMARK(IdleTick)->RangeMultiplier(10)->Range(1, 1000)->Complexity();

void TickWithOneReplyEach(benchmark::State &state)
{
    OpenBrowses open((int)state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        for (HostObject object : open.objects)
            scripted::QueueBrowseReply(
                reinterpret_cast<DNSServiceRef>(TheHost().Get(object, "Handle").integer), 2, 1, 0, "bench",
                "_bench._tcp.", "local.");
        state.ResumeTiming();
        PollTimerProc();
        state.PauseTiming();
        scripted::ClearCalls();
        state.ResumeTiming();
    }
}
BENCHMARK(TickWithOneReplyEach)->RangeMultiplier(10)->Range(1, 1000);

void IdleTickAfterChurn(benchmark::State &state)
{
    /* Once, however often the benchmark library runs this function. */
    static const bool churned = [] {
        hostsim::Host &host = TheHost();
        HostObject churn = host.New("DNSServiceBrowseZRK");
        for (int i = 0; i < 100000; i++) {
            host.Call(churn, "Browse", {Value::Int(0), Value::Str(std::string("_bench._tcp")), Value::Nil()});
            host.Call(churn, "Close");
        }
        host.Release(churn);
        return true;
    }();
    benchmark::DoNotOptimize(churned);
    OpenBrowses open(10);
    for (auto _ : state)
        PollTimerProc();
    state.counters["list_length"] = (double)PollListLength();
}
BENCHMARK(IdleTickAfterChurn);

/* Ten operations whose daemon went away: the tick that ends them all, then
 * how many DNSServiceProcessResult calls each dead reference got in all,
 * including a hundred more ticks (one: the failing call). */
void TickEndingTenDeadOperations(benchmark::State &state)
{
    double callsPerDeadRef = 0;
    for (auto _ : state) {
        state.PauseTiming();
        {
            OpenBrowses open(10);
            for (HostObject object : open.objects)
                scripted::BreakConnection(reinterpret_cast<DNSServiceRef>(TheHost().Get(object, "Handle").integer),
                                          -65563);
            scripted::SetRecording(true);
            state.ResumeTiming();
            PollTimerProc();
            state.PauseTiming();
            for (int i = 0; i < 100; i++)
                PollTimerProc();
            callsPerDeadRef = scripted::CallCount("DNSServiceProcessResult") / 10.0;
            scripted::SetRecording(false);
        }
        state.ResumeTiming();
    }
    state.counters["process_result_calls_per_dead_ref"] = callsPerDeadRef;
}
BENCHMARK(TickEndingTenDeadOperations);

}  // namespace

BENCHMARK_MAIN();
