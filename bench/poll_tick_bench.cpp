/*
 * The cost of one poll tick: one zero-timeout readiness test per open
 * operation, with and without replies waiting, after many operations have
 * come and gone (the list holds only the open ones), and when operations'
 * daemon went away.
 */
#include <benchmark/benchmark.h>

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
    hostsim::Host &host = TheHost();
    HostObject churn = host.New("DNSServiceBrowseZRK");
    for (int i = 0; i < 100000; i++) {
        host.Call(churn, "Browse", {Value::Int(0), Value::Str(std::string("_bench._tcp")), Value::Nil()});
        host.Call(churn, "Close");
        if (i % 1000 == 0)
            scripted::ClearCalls();
    }
    host.Release(churn);
    OpenBrowses open(10);
    for (auto _ : state)
        PollTimerProc();
    state.counters["list_length"] = (double)PollListLength();
}
BENCHMARK(IdleTickAfterChurn);

/* Ten operations whose daemon went away: the tick that ends them all, then
 * how many DNSServiceProcessResult calls each dead reference got in all
 * after a hundred more ticks (one: the failing call). */
void TickEndingTenDeadOperations(benchmark::State &state)
{
    double callsPerDeadRef = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<DNSServiceRef> dead;
        {
            OpenBrowses open(10);
            for (HostObject object : open.objects) {
                dead.push_back(reinterpret_cast<DNSServiceRef>(TheHost().Get(object, "Handle").integer));
                scripted::BreakConnection(dead.back(), -65563);
            }
            state.ResumeTiming();
            PollTimerProc();
            state.PauseTiming();
            for (int i = 0; i < 100; i++)
                PollTimerProc();
            callsPerDeadRef = scripted::CallCount("DNSServiceProcessResult") / (double)dead.size();
        }
        state.ResumeTiming();
    }
    state.counters["process_result_calls_per_dead_ref"] = callsPerDeadRef;
}
BENCHMARK(TickEndingTenDeadOperations);

}  // namespace

BENCHMARK_MAIN();
