/*
 * zrk-dnssd: a host program for the plug-in, run from the command line.  It
 * loads the plug-in through the stand-in host and uses it only as a host
 * program would: by class, method and event name.  Each event is printed as
 * one timestamped line.
 */
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

#include "../hostsim/host.h"
#include "event_format.h"
#include "print_classes.h"

namespace {

using hostsim::Value;

const char kUsage[] =
    "usage: zrk-dnssd [--plugin PATH] [--timeout SECONDS] COMMAND ...\n"
    "commands:\n"
    "  status                              is DNS-SD available; the daemon's version\n"
    "  browse TYPE [DOMAIN] [--again-after SECONDS]\n"
    "                                      list the instances of a service type\n"
    "  resolve NAME TYPE [DOMAIN]          host, port and TXT record of one instance\n"
    "  register NAME TYPE PORT [KEY=VALUE ...]\n"
    "           [--update-after SECONDS KEY=VALUE ...] [--add-record RRTYPE DATA]\n"
    "                                      advertise a service until stopped\n"
    "  record FULLNAME RRTYPE DATA [--ttl SECONDS]\n"
    "                                      register a single resource record\n"
    "  domains [--registration]            domains recommended for browsing (or registering)\n"
    "  txt KEY[=VALUE] ...                 build a TXT record, print its bytes, read it back\n"
    "  classes                             print the classes the plug-in registers\n"
    "DATA may be text or hex:BYTES.  Without --timeout a command runs until Ctrl-C.\n";

volatile std::sig_atomic_t gStop;

void OnSignal(int)
{
    gStop = 1;
}

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

int Fail(const std::string &message)
{
    std::fprintf(stderr, "zrk-dnssd: %s\n", message.c_str());
    return 1;
}

void Print(const std::string &line)
{
    std::printf("%s  %s\n", Timestamp().c_str(), line.c_str());
    std::fflush(stdout);
}

std::string Flags(HostInteger flags)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", (unsigned)flags);
    return text;
}

bool DecodeData(const std::string &arg, std::string &out)
{
    if (arg.rfind("hex:", 0) != 0) {
        out = arg;
        return true;
    }
    std::string hex = arg.substr(4);
    if (hex.size() % 2)
        return false;
    out.clear();
    for (size_t i = 0; i < hex.size(); i += 2) {
        char *end = nullptr;
        std::string pair = hex.substr(i, 2);
        long byte = std::strtol(pair.c_str(), &end, 16);
        if (*end)
            return false;
        out += (char)byte;
    }
    return true;
}

class Tool {
public:
    explicit Tool(const std::string &plugin) : host_(Options())
    {
        host_.SetFailureHandler([](const std::string &message) {
            std::fprintf(stderr, "zrk-dnssd: host: %s\n", message.c_str());
            std::exit(1);
        });
        host_.LoadPlugin(plugin);
    }

    hostsim::Host &host() { return host_; }

    bool Available() { return host_.CallShared("DNSServiceBaseZRK", "Available").boolean; }

    long long Constant(const std::string &name) { return host_.Constant("DNSServiceBaseZRK", name).value_or(0); }

    /* Why a start method said false. */
    std::string Why(HostObject object)
    {
        HostInteger code = host_.Get(object, "Lasterror").integer;
        return code == -1 ? "DNS-SD refused it" : ErrorName(host_, code);
    }

    /* A TXT record built key by key with TXTRecordZRK. */
    bool BuildTxt(const std::vector<std::string> &pairs, Value &bytes, std::string &error)
    {
        HostObject txt = host_.New("TXTRecordZRK");
        bool ok = true;
        for (const std::string &pair : pairs) {
            size_t eq = pair.find('=');
            Value key = Value::Str(pair.substr(0, eq));
            Value value = eq == std::string::npos ? Value::Nil() : Value::Str(pair.substr(eq + 1));
            HostInteger result = host_.Call(txt, "SetValue", {key, value}).integer;
            if (result != 0) {
                error = "cannot add " + pair + " to the TXT record: " + ErrorName(host_, result);
                ok = false;
                break;
            }
        }
        bytes = host_.Call(txt, "Bytes");
        host_.Release(txt);
        return ok;
    }

    /* Runs the message loop until Ctrl-C or the timeout, doing each
     * scheduled action when its time comes. */
    void Run(int timeoutSeconds, std::vector<std::pair<int, std::function<void()>>> scheduled = {})
    {
        long long elapsed = 0;
        long long limit = timeoutSeconds > 0 ? timeoutSeconds * 1000LL : -1;
        size_t next = 0;
        while (!gStop && (limit < 0 || elapsed < limit)) {
            long long until = limit < 0 ? elapsed + 1000 : limit;
            if (next < scheduled.size())
                until = std::min(until, scheduled[next].first * 1000LL);
            if (until > elapsed) {
                host_.RunUntil([] { return gStop != 0; }, (int)(until - elapsed));
                elapsed = until;
            }
            if (next < scheduled.size() && elapsed >= scheduled[next].first * 1000LL)
                scheduled[next++].second();
        }
    }

private:
    static hostsim::Options Options()
    {
        hostsim::Options options;
        options.inRuntime = true;
        return options;
    }

    hostsim::Host host_;
};

int Status(Tool &tool)
{
    bool available = tool.Available();
    std::printf("available: %s\n", available ? "yes" : "no");
    std::printf("daemon version: %ld\n",
                (long)tool.host().CallShared("DNSServiceBaseZRK", "GetDaemonVersion").integer);
    return available ? 0 : Fail("DNS-SD is not available: no libdns_sd.so.1 with the DNS-SD functions");
}

int Browse(Tool &tool, const std::vector<std::string> &args, int timeout)
{
    std::vector<std::string> positional;
    int againAfter = -1;
    for (size_t i = 0; i < args.size(); i++) {
        if (args[i] == "--again-after" && i + 1 < args.size())
            againAfter = std::atoi(args[++i].c_str());
        else
            positional.push_back(args[i]);
    }
    if (positional.empty() || positional.size() > 2)
        return Fail("usage: browse TYPE [DOMAIN] [--again-after SECONDS]");
    hostsim::Host &host = tool.host();
    HostObject browse = host.New("DNSServiceBrowseZRK");
    long long add = tool.Constant("kFlagsAdd");
    host.SetHandler(browse, "ServiceBrowse", [&](HostObject, const std::vector<Value> &a) {
        if (a[2].integer != 0) {
            Print("browse error " + ErrorName(host, a[2].integer));
            return;
        }
        Print(std::string(a[0].integer & add ? "Add" : "Rmv") + "  flags=" + Flags(a[0].integer) +
              " if=" + std::to_string(a[1].integer) + "  " + a[5].text.value_or("") + "  " +
              a[4].text.value_or("") + "  " + a[3].text.value_or(""));
    });
    Value type = Value::Str(positional[0]);
    Value domain = positional.size() > 1 ? Value::Str(positional[1]) : Value::Nil();
    if (!host.Call(browse, "Browse", {Value::Int(0), type, domain}).boolean)
        return Fail("Browse failed: " + tool.Why(browse));
    Print("Browsing for " + positional[0]);
    /* Closing and browsing anew, as a program does after its daemon came
     * back. */
    std::vector<std::pair<int, std::function<void()>>> scheduled;
    if (againAfter >= 0)
        scheduled.push_back({againAfter, [&] {
                                 host.Call(browse, "Close");
                                 bool ok = host.Call(browse, "Browse", {Value::Int(0), type, domain}).boolean;
                                 Print(ok ? "Browsing again for " + positional[0] : "Browse failed again: " + tool.Why(browse));
                             }});
    tool.Run(timeout, scheduled);
    host.Call(browse, "Close");
    host.Release(browse);
    return 0;
}

int Resolve(Tool &tool, const std::vector<std::string> &args, int timeout)
{
    if (args.size() < 2 || args.size() > 3)
        return Fail("usage: resolve NAME TYPE [DOMAIN]");
    hostsim::Host &host = tool.host();
    HostObject resolve = host.New("DNSServiceResolveZRK");
    host.SetHandler(resolve, "ServiceResolve", [&](HostObject, const std::vector<Value> &a) {
        if (a[2].integer != 0) {
            Print("resolve error " + ErrorName(host, a[2].integer));
            return;
        }
        Print(a[3].text.value_or("") + " can be reached at " + a[4].text.value_or("") + ":" +
              std::to_string(a[5].integer) + " if=" + std::to_string(a[1].integer) + " flags=" +
              Flags(a[0].integer));
        Print("TXT " + DescribeTxt(host, a[6].text));
    });
    Value domain = Value::Str(args.size() > 2 ? args[2] : "local.");
    if (!host.Call(resolve, "Resolve", {Value::Int(0), Value::Str(args[0]), Value::Str(args[1]), domain}).boolean)
        return Fail("Resolve failed: " + tool.Why(resolve));
    Print("Resolving " + args[0] + " of type " + args[1]);
    tool.Run(timeout);
    host.Call(resolve, "Close");
    host.Release(resolve);
    return 0;
}

int Register(Tool &tool, const std::vector<std::string> &args, int timeout)
{
    std::vector<std::string> txt, updated, positional;
    int updateAfter = -1;
    std::string addType, addData;
    std::vector<std::string> *pairs = &txt;
    for (size_t i = 0; i < args.size(); i++) {
        if (args[i] == "--update-after" && i + 1 < args.size()) {
            updateAfter = std::atoi(args[++i].c_str());
            pairs = &updated;
        } else if (args[i] == "--add-record" && i + 2 < args.size()) {
            addType = args[i + 1];
            addData = args[i + 2];
            i += 2;
        } else if (positional.size() < 3) {
            positional.push_back(args[i]);
        } else {
            pairs->push_back(args[i]);
        }
    }
    if (positional.size() < 3)
        return Fail("usage: register NAME TYPE PORT [KEY=VALUE ...] [--update-after SECONDS KEY=VALUE ...] "
                    "[--add-record RRTYPE DATA]");
    hostsim::Host &host = tool.host();
    Value bytes;
    std::string error;
    if (!tool.BuildTxt(txt, bytes, error))
        return Fail(error);
    HostObject reg = host.New("DNSServiceRegisterZRK");
    host.SetHandler(reg, "ServiceRegistration", [&](HostObject, const std::vector<Value> &a) {
        if (a[1].integer != 0)
            Print("registration error " + ErrorName(host, a[1].integer));
        else
            Print("Registered \"" + a[2].text.value_or("") + "\" " + a[3].text.value_or("") + " " +
                  a[4].text.value_or("") + " flags=" + Flags(a[0].integer));
    });
    HostInteger port = std::atoll(positional[2].c_str());
    Value name = positional[0].empty() ? Value::Nil() : Value::Str(positional[0]);
    if (!host.Call(reg, "Register", {Value::Int(0), Value::Int(0), name, Value::Str(positional[1]), Value::Nil(),
                                     Value::Nil(), Value::Int(port), bytes})
             .boolean)
        return Fail("Register failed: " + tool.Why(reg));
    if (!addType.empty()) {
        std::string data;
        if (!DecodeData(addData, data))
            return Fail("bad DATA " + addData);
        long long type = std::atoll(addType.c_str());
        if (type == 0)
            type = tool.Constant("kType" + addType);
        host.Call(reg, "AddRecord", {Value::Int((HostInteger)type), Value::Str(data), Value::Int(0)});
        HostInteger result = host.Get(reg, "Lasterror").integer;
        Print(result == 0 ? "Added record of type " + addType : "AddRecord failed: " + ErrorName(host, result));
    }
    std::vector<std::pair<int, std::function<void()>>> scheduled;
    if (updateAfter >= 0)
        scheduled.push_back({updateAfter, [&] {
                                 Value newBytes;
                                 std::string why;
                                 if (!tool.BuildTxt(updated, newBytes, why)) {
                                     Print(why);
                                     return;
                                 }
                                 host.Call(reg, "UpdateRecord", {newBytes, Value::Int(0)});
                                 HostInteger result = host.Get(reg, "Lasterror").integer;
                                 Print(result == 0 ? "Updated TXT " + DescribeTxt(host, newBytes.text)
                                                   : "UpdateRecord failed: " + ErrorName(host, result));
                             }});
    tool.Run(timeout, scheduled);
    host.Call(reg, "Close");
    host.Release(reg);
    return 0;
}

int Record(Tool &tool, const std::vector<std::string> &args, int timeout)
{
    std::vector<std::string> positional;
    HostInteger ttl = 120;
    for (size_t i = 0; i < args.size(); i++) {
        if (args[i] == "--ttl" && i + 1 < args.size())
            ttl = std::atoll(args[++i].c_str());
        else
            positional.push_back(args[i]);
    }
    std::string data;
    if (positional.size() != 3 || !DecodeData(positional[2], data))
        return Fail("usage: record FULLNAME RRTYPE DATA [--ttl SECONDS]");
    hostsim::Host &host = tool.host();
    long long type = std::atoll(positional[1].c_str());
    if (type == 0)
        type = tool.Constant("kType" + positional[1]);
    HostObject record = host.New("DNSServiceRegisterRecordZRK");
    host.SetHandler(record, "ServiceRegistration", [&](HostObject, const std::vector<Value> &a) {
        Print(a[1].integer == 0 ? "Record registered flags=" + Flags(a[0].integer)
                                : "record error " + ErrorName(host, a[1].integer));
    });
    if (!host.Call(record, "RegisterRecord",
                   {Value::Int((HostInteger)tool.Constant("kFlagsUnique")), Value::Int(0), Value::Str(positional[0]),
                    Value::Int((HostInteger)type), Value::Int((HostInteger)tool.Constant("kClassIN")),
                    Value::Str(data), Value::Int(ttl)})
             .boolean)
        return Fail("RegisterRecord failed: " + tool.Why(record));
    tool.Run(timeout);
    host.Call(record, "Close");
    host.Release(record);
    return 0;
}

int Domains(Tool &tool, const std::vector<std::string> &args, int timeout)
{
    bool registration = args.size() == 1 && args[0] == "--registration";
    if (!args.empty() && !registration)
        return Fail("usage: domains [--registration]");
    hostsim::Host &host = tool.host();
    HostObject domains = host.New("DNSServiceDomainEnumerationZRK");
    long long add = tool.Constant("kFlagsAdd");
    host.SetHandler(domains, "ServiceDomainEnumeration", [&](HostObject, const std::vector<Value> &a) {
        if (a[2].integer != 0) {
            Print("domain error " + ErrorName(host, a[2].integer));
            return;
        }
        Print(std::string(a[0].integer & add ? "Add" : "Rmv") + "  flags=" + Flags(a[0].integer) +
              " if=" + std::to_string(a[1].integer) + "  " + a[3].text.value_or(""));
    });
    long long flags = tool.Constant(registration ? "kFlagsRegistrationDomains" : "kFlagsBrowseDomains");
    if (!host.Call(domains, "EnumerateDomains", {Value::Int((HostInteger)flags), Value::Int(0)}).boolean)
        return Fail("EnumerateDomains failed: " + tool.Why(domains));
    tool.Run(timeout);
    host.Call(domains, "Close");
    host.Release(domains);
    return 0;
}

int Txt(Tool &tool, const std::vector<std::string> &args)
{
    if (args.empty())
        return Fail("usage: txt KEY[=VALUE] ...");
    Value bytes;
    std::string error;
    if (!tool.BuildTxt(args, bytes, error))
        return Fail(error);
    std::printf("bytes: %s\n", Hex(bytes.text.value_or("")).c_str());
    std::printf("read back: %s\n", DescribeTxt(tool.host(), bytes.text).c_str());
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    std::string plugin = DefaultPluginPath();
    int timeout = 0;
    std::vector<std::string> args;
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        if (arg == "--plugin" && i + 1 < argc)
            plugin = argv[++i];
        else if (arg == "--timeout" && i + 1 < argc)
            timeout = std::atoi(argv[++i]);
        else if (arg == "--help" || arg == "-h")
            return std::fputs(kUsage, stdout), 0;
        else
            args.push_back(arg);
    }
    if (args.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::string command = args[0];
    args.erase(args.begin());

    if (command == "classes") {
        /* Loaded as the development environment loads it: classes only. */
        hostsim::Options options;
        options.inRuntime = false;
        hostsim::Host host(options);
        if (!host.LoadPlugin(plugin))
            return 1;
        std::fputs(DescribeClasses(host).c_str(), stdout);
        return 0;
    }

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    Tool tool(plugin);
    if (command == "txt")
        return Txt(tool, args);
    if (command == "status")
        return Status(tool);
    if (!tool.Available())
        return Fail("DNS-SD is not available: no libdns_sd.so.1 with the DNS-SD functions");
    if (command == "browse")
        return Browse(tool, args, timeout);
    if (command == "resolve")
        return Resolve(tool, args, timeout);
    if (command == "register")
        return Register(tool, args, timeout);
    if (command == "record")
        return Record(tool, args, timeout);
    if (command == "domains")
        return Domains(tool, args, timeout);
    std::fprintf(stderr, "zrk-dnssd: unknown command '%s'\n%s", command.c_str(), kUsage);
    return 2;
}
