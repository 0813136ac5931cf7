/*
 * bench_plugin_client: a host program that does through the plug-in what
 * dnssd_direct_client does with the DNS-SD library itself.  It loads the
 * built plug-in into the stand-in host and uses it by class, method and event
 * name; its commands come through a watch on standard input in the host's
 * own main loop, as a GTK program's input would, so the plug-in's events
 * arrive exactly as the plug-in delivers them.
 *
 * The line protocol is dnssd_direct_client's (see there): expect, resolve,
 * quit; "add NAME US" and "rmv NAME US" for browse events; every time is
 * CLOCK_REALTIME microseconds taken as the event reaches its handler.
 *
 * SLEEPS and BUSY_US of "complete" are measured around the plug-in, not
 * inside it, over the returns from poll() of the host's main context from
 * the one that brought the first counted event to the one that brought the
 * last.  SLEEPS is the number of times the main thread slept then (its
 * voluntary context switches).  The main context polls through a function
 * of ours: BUSY_US is the longest time from a return of poll() to its next
 * call.  Nothing else works on this thread then, so that is the plug-in's
 * longest tick of the burst (its DNS-SD calls and the handlers it ran).
 * BUSY_CPU_US is the longest CPU time of this thread in such a stretch (the
 * wall time also counts the times another process had the CPU).  Returns
 * that ran one of our commands are left out of both.
 *
 *   bench_plugin_client [--plugin PATH | --no-plugin] [--browse TYPE] [--max-seconds N]
 *
 * --no-plugin runs the same main loop with no plug-in loaded, the baseline
 * for counting idle wake-ups.
 */
#include <glib-unix.h>
#include <glib.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/resource.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "../hostsim/host.h"

namespace {

using hostsim::Value;

const int kMaxInstances = 4096;

long long RealtimeUs()
{
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return (long long)ts.tv_sec * 1000000 + ts.tv_nsec / 1000;
}

long long MonotonicUs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * 1000000 + ts.tv_nsec / 1000;
}

long long ThreadCpuUs()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return (long long)ts.tv_sec * 1000000 + ts.tv_nsec / 1000;
}

long ThreadSleeps()
{
    rusage usage;
    return getrusage(RUSAGE_THREAD, &usage) == 0 ? usage.ru_nvcsw : 0;
}

/* The burst being counted. */
struct Expect {
    bool active = false;
    std::string id;
    bool add = true;
    std::string prefix;
    int count = 0;
    int seen = 0;
    std::vector<bool> counted = std::vector<bool>(kMaxInstances);
    long long firstUs = 0, lastUs = 0;
    bool inWindow = false;
    bool finished = false;
    long long busyMaxUs = 0, busyCpuMaxUs = 0;
    long sleepsAtFirst = 0;
};

struct Resolve {
    bool pending = false;
    std::string id;
    long long callUs = 0, returnUs = 0, replyUs = 0;
    long long error = 0;
};

hostsim::Host *gHost;
HostObject gResolver;
long long gFlagsAdd;
Expect gExpect;
Resolve gResolve;
bool gQuit;
bool gCommandRan;     /* during the current wake-up */
long long gWokeUs = -1; /* when poll() last returned */
long long gWokeCpuUs;

void Count(const std::string &name, bool add, long long nowUs)
{
    if (!gExpect.active || gExpect.add != add)
        return;
    size_t length = gExpect.prefix.size();
    if (name.compare(0, length, gExpect.prefix) != 0 || name.size() <= length + 1 || name[length] != '-')
        return;
    char *end = nullptr;
    long number = std::strtol(name.c_str() + length + 1, &end, 10);
    if (*end || number < 0 || number >= kMaxInstances || gExpect.counted[number])
        return;
    gExpect.counted[number] = true;
    if (gExpect.seen++ == 0) {
        gExpect.firstUs = nowUs;
        gExpect.inWindow = true;
        gExpect.sleepsAtFirst = ThreadSleeps();
    }
    gExpect.lastUs = nowUs;
    if (gExpect.seen == gExpect.count)
        gExpect.finished = true;
}

void OnBrowse(HostObject, const std::vector<Value> &a)
{
    long long nowUs = RealtimeUs();
    if (a[2].integer != 0) {
        std::printf("browse-error %ld %lld\n", (long)a[2].integer, nowUs);
        return;
    }
    bool add = (a[0].integer & gFlagsAdd) != 0;
    std::string name = a[3].text.value_or("");
    std::printf("%s %s %lld\n", add ? "add" : "rmv", name.c_str(), nowUs);
    Count(name, add, nowUs);
}

void ReportResolve()
{
    std::printf("resolved %s %lld %lld %lld %lld\n", gResolve.id.c_str(), gResolve.callUs, gResolve.returnUs,
                gResolve.replyUs, gResolve.error);
    gResolve.pending = false;
}

void OnResolve(HostObject, const std::vector<Value> &a)
{
    long long nowUs = RealtimeUs();
    if (!gResolve.pending)
        return;
    gResolve.error = a[2].integer;
    gResolve.replyUs = a[2].integer == 0 ? nowUs : 0;
    ReportResolve();
    gHost->Call(gResolver, "Close");
}

void Command(const std::string &line)
{
    char verb[16], id[64], a[256], b[256];
    int count;
    if (std::sscanf(line.c_str(), "%15s", verb) != 1)
        return;
    if (std::strcmp(verb, "quit") == 0) {
        gQuit = true;
    } else if (std::strcmp(verb, "expect") == 0 &&
               std::sscanf(line.c_str(), "%*s %63s %255s %255s %d", id, a, b, &count) == 4) {
        gExpect = Expect();
        gExpect.id = id;
        gExpect.add = std::strcmp(a, "add") == 0;
        gExpect.prefix = b;
        gExpect.count = count;
        gExpect.active = count > 0;
        std::printf("ok %s\n", id);
    } else if (std::strcmp(verb, "resolve") == 0 && gResolver &&
               std::sscanf(line.c_str(), "%*s %63s %255s %255s", id, a, b) == 3) {
        if (gResolve.pending) {
            /* The one before never answered. */
            ReportResolve();
            gHost->Call(gResolver, "Close");
        }
        gResolve = Resolve();
        gResolve.id = id;
        gResolve.pending = true;
        gResolve.callUs = RealtimeUs();
        bool started = gHost->Call(gResolver, "Resolve",
                                   {Value::Int(0), Value::Str(std::string(a)), Value::Str(std::string(b)),
                                    Value::Str(std::string("local."))})
                           .boolean;
        gResolve.returnUs = RealtimeUs();
        if (!started) {
            gResolve.error = gHost->Get(gResolver, "Lasterror").integer;
            ReportResolve();
        }
    } else {
        std::printf("unknown-command %s\n", verb);
    }
}

gboolean OnInput(gint fd, GIOCondition, gpointer)
{
    static std::string pending;
    gCommandRan = true;
    char buffer[4096];
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0)
        return errno == EINTR || errno == EAGAIN ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
    if (n == 0)
        return G_SOURCE_REMOVE; /* run on, idle, until quit or the time is up */
    pending.append(buffer, (size_t)n);
    size_t newline;
    while ((newline = pending.find('\n')) != std::string::npos) {
        std::string line = pending.substr(0, newline);
        pending.erase(0, newline + 1);
        Command(line);
    }
    return G_SOURCE_CONTINUE;
}

/* Every wait of the host's main context passes through here. */
gint TimedPoll(GPollFD *fds, guint count, gint timeout)
{
    long long nowUs = MonotonicUs();
    if (gWokeUs >= 0 && gExpect.inWindow) {
        long long busy = nowUs - gWokeUs;
        long long busyCpu = ThreadCpuUs() - gWokeCpuUs;
        if (!gCommandRan && busy > gExpect.busyMaxUs)
            gExpect.busyMaxUs = busy;
        if (!gCommandRan && busyCpu > gExpect.busyCpuMaxUs)
            gExpect.busyCpuMaxUs = busyCpu;
        if (gExpect.finished) {
            std::printf("complete %s %lld %lld %lld %lld %ld\n", gExpect.id.c_str(), gExpect.firstUs,
                        gExpect.lastUs, gExpect.busyMaxUs, gExpect.busyCpuMaxUs,
                        ThreadSleeps() - gExpect.sleepsAtFirst);
            gExpect.active = false;
            gExpect.inWindow = false;
            gExpect.finished = false;
        }
    }
    gCommandRan = false;
    gint ready = g_poll(fds, count, timeout);
    gWokeUs = MonotonicUs();
    gWokeCpuUs = ThreadCpuUs();
    return ready;
}

/* The plug-in is built beside this program. */
std::string DefaultPluginPath()
{
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return "libzrkdnssd.so";
    self[n] = '\0';
    std::string dir(self);
    return dir.substr(0, dir.rfind('/') + 1) + "libzrkdnssd.so";
}

}  // namespace

int main(int argc, char **argv)
{
    std::string plugin = DefaultPluginPath();
    bool load = true;
    const char *browseType = nullptr;
    int maxSeconds = 600;
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        if (arg == "--plugin" && i + 1 < argc)
            plugin = argv[++i];
        else if (arg == "--no-plugin")
            load = false;
        else if (arg == "--browse" && i + 1 < argc)
            browseType = argv[++i];
        else if (arg == "--max-seconds" && i + 1 < argc)
            maxSeconds = std::atoi(argv[++i]);
        else {
            std::fprintf(stderr, "usage: bench_plugin_client [--plugin PATH | --no-plugin] [--browse TYPE] "
                                 "[--max-seconds N]\n");
            return 2;
        }
    }
    setvbuf(stdout, nullptr, _IOLBF, 0);

    hostsim::Host host;
    gHost = &host;
    host.SetFailureHandler([](const std::string &message) {
        std::fprintf(stderr, "bench_plugin_client: host: %s\n", message.c_str());
        std::exit(1);
    });
    g_main_context_set_poll_func(g_main_context_default(), TimedPoll);

    HostObject browser = nullptr;
    if (load) {
        if (!host.LoadPlugin(plugin))
            return 1;
        if (!host.CallShared("DNSServiceBaseZRK", "Available").boolean) {
            std::fprintf(stderr, "bench_plugin_client: DNS-SD is not available\n");
            return 1;
        }
        gFlagsAdd = host.Constant("DNSServiceBaseZRK", "kFlagsAdd").value_or(0);
        gResolver = host.New("DNSServiceResolveZRK");
        host.SetHandler(gResolver, "ServiceResolve", OnResolve);
        if (browseType) {
            browser = host.New("DNSServiceBrowseZRK");
            host.SetHandler(browser, "ServiceBrowse", OnBrowse);
            if (!host.Call(browser, "Browse", {Value::Int(0), Value::Str(std::string(browseType)), Value::Nil()})
                     .boolean) {
                std::fprintf(stderr, "bench_plugin_client: Browse failed\n");
                return 1;
            }
        }
    }
    g_unix_fd_add(STDIN_FILENO, (GIOCondition)(G_IO_IN | G_IO_HUP | G_IO_ERR), OnInput, nullptr);
    std::printf("ready %lld\n", RealtimeUs());

    long long deadline = MonotonicUs() + (long long)maxSeconds * 1000000;
    for (long long left = deadline - MonotonicUs(); !gQuit && left > 0; left = deadline - MonotonicUs())
        host.RunUntil([] { return gQuit; }, (int)((left + 999) / 1000));

    if (browser) {
        host.Call(browser, "Close");
        host.Release(browser);
    }
    if (gResolver) {
        host.Call(gResolver, "Close");
        host.Release(gResolver);
    }
    return 0;
}
