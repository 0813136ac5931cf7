/*
 * zrk-dnssd's memory after many events: the tool run in this process against
 * the scripted DNS-SD library (its call log off), fed browse or resolve
 * replies as fast as it takes them; prints the resident set size as the
 * events go by.  Run by hand:
 *   tool_events_rss [browse|resolve] [EVENTS]
 */
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "../../tools/tool.h"
#include "loop_timer.h"
#include "scripted_dnssd.h"

namespace {

long StatusKb(const char *field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::atol(line.c_str() + std::string(field).size());
    return -1;
}

}  // namespace

int main(int argc, char **argv)
{
    std::string kind = argc > 1 ? argv[1] : "browse";
    long total = argc > 2 ? std::atol(argv[2]) : 100000;
    if ((kind != "browse" && kind != "resolve") || total <= 0) {
        std::fprintf(stderr, "usage: tool_events_rss [browse|resolve] [EVENTS]\n");
        return 2;
    }
    scripted::SetRecording(false);
    scripted::DeliverAllInOneCall();
    std::printf("%-8s %10s %10s\n", "events", "VmRSS kB", "VmHWM kB");
    std::printf("%-8d %10ld %10ld\n", 0, StatusKb("VmRSS:"), StatusKb("VmHWM:"));
    const std::string txt = std::string("\x0bpath=/index") + "\x07version" + "\x05k=v12";
    long queued = 0, shown = 0;
    EveryOnLoop(2, [&]() {
        DNSServiceRef ref = scripted::LastRef();
        long delivered = queued - scripted::QueuedReplies(ref);
        for (; shown + total / 10 <= delivered; shown += total / 10)
            std::printf("%-8ld %10ld %10ld\n", shown + total / 10, StatusKb("VmRSS:"), StatusKb("VmHWM:"));
        if (queued < total && scripted::QueuedReplies(ref) < 100) {
            for (int i = 0; i < 200 && queued < total; i++, queued++) {
                std::string name = "instance " + std::to_string(queued);
                if (kind == "browse")
                    scripted::QueueBrowseReply(ref, 2, 1, 0, name.c_str(), "_bench._tcp.", "local.");
                else
                    scripted::QueueResolveReply(ref, 0, 1, 0, (name + "._bench._tcp.local.").c_str(), "h.local.",
                                                0x901F, txt);
            }
            return true;
        }
        if (queued < total || scripted::QueuedReplies(ref) > 0)
            return true;
        std::raise(SIGINT);
        return false;
    });
    FILE *out = std::fopen("/dev/null", "w");
    std::vector<std::string> args = {"--plugin", ZRK_PLUGIN_PATH, kind, "instance", "_bench._tcp"};
    if (kind == "browse")
        args.erase(args.begin() + 3);
    int status = tool::RunTool(args, out, stderr);
    std::fclose(out);
    std::printf("status %d after %ld %s events\n", status, queued, kind.c_str());
    return status;
}
