#ifndef ZRK_TESTS_DNSSD_FIXTURE_H
#define ZRK_TESTS_DNSSD_FIXTURE_H

#include "../../dnssd/dnssd_table.h"
#include "../../dnssd/poll_list.h"
#include "../../host/plugin_main.h"
#include "host_fixture.h"

/* The plug-in's internals linked beside the stand-in host, started as a
 * built application; the DNS-SD library is whichever libdns_sd.so.1 the test
 * executable brings (a scripted one, the system's, or none). */
class DnsSdTest : public HostTest {
public:
    void Start(bool inRuntime = true)
    {
        options.inRuntime = inRuntime;
        StartHost().StartPlugin(&REALPluginMain);
    }

    /* Waits for the poll timer's next tick, dispatched by the host's loop. */
    bool Tick()
    {
        unsigned long before = PollTickCount();
        return host->RunUntil([&] { return PollTickCount() > before; }, 2000);
    }

    hostsim::Value Shared(const char *method, std::vector<hostsim::Value> arguments = {})
    {
        return host->CallShared("DNSServiceBaseZRK", method, std::move(arguments));
    }
};

#endif
