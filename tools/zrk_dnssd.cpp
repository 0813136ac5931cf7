/*
 * zrk-dnssd: a host program for the plug-in, run from the command line.  It
 * loads the plug-in through the stand-in host and uses it only as a host
 * program would: by class, method and event name.
 */
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "../hostsim/host.h"
#include "print_classes.h"

namespace {

const char kUsage[] =
    "usage: zrk-dnssd [--plugin PATH] COMMAND\n"
    "commands:\n"
    "  classes    print the classes the plug-in registers\n";

/* The plug-in is installed beside this program. */
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

int Classes(const std::string &plugin)
{
    /* Loaded as the development environment loads it: classes only. */
    hostsim::Options options;
    options.inRuntime = false;
    hostsim::Host host(options);
    if (!host.LoadPlugin(plugin))
        return 1;
    std::fputs(DescribeClasses(host).c_str(), stdout);
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    std::string plugin = DefaultPluginPath();
    int i = 1;
    if (i + 1 < argc && std::strcmp(argv[i], "--plugin") == 0) {
        plugin = argv[i + 1];
        i += 2;
    }
    if (i >= argc) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::string command = argv[i];
    if (command == "classes")
        return Classes(plugin);
    std::fprintf(stderr, "zrk-dnssd: unknown command '%s'\n%s", command.c_str(), kUsage);
    return 2;
}
