/*
 * zrk-dnssd run in this process against the scripted DNS-SD library: the
 * test plays the daemon from the tool's own message loop, and reads what the
 * tool asked of DNS-SD from the library's call log.
 */
#include <gtest/gtest.h>

#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "../../tools/tool.h"
#include "loop_timer.h"
#include "scripted_dnssd.h"

namespace {

struct Result {
    int status;
    std::string out;
    std::string err;
};

std::string ReadAll(FILE *file)
{
    std::string text;
    std::rewind(file);
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, n);
    std::fclose(file);
    return text;
}

Result RunWith(std::vector<std::string> args)
{
    FILE *out = std::tmpfile();
    FILE *err = std::tmpfile();
    if (!out || !err)
        std::abort();
    int status = tool::RunTool(args, out, err);
    return {status, ReadAll(out), ReadAll(err)};
}

/* The tool with the plug-in built beside the tests. */
Result RunTool(std::vector<std::string> args)
{
    args.insert(args.begin(), {"--plugin", ZRK_PLUGIN_PATH});
    return RunWith(args);
}

std::vector<std::string> Split(const std::string &text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1)
        parts.push_back(text.substr(start, at - start));
    parts.push_back(text.substr(start));
    return parts;
}

std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> lines = Split(text, '\n');
    if (!lines.empty() && lines.back().empty())
        lines.pop_back();
    return lines;
}

/* Reads a parseable field back, independently of the tool's own code. */
std::string Unescape(const std::string &field)
{
    std::string bytes;
    for (size_t i = 0; i < field.size(); i++) {
        if (field[i] == '\\') {
            EXPECT_LT(i + 3, field.size()) << field;
            bytes += (char)std::stoi(field.substr(i + 1, 3));
            i += 3;
        } else {
            EXPECT_NE(field[i], ';');
            bytes += field[i];
        }
    }
    return bytes;
}

bool EndsWith(const std::string &text, const std::string &end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool Contains(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

/* Ctrl-C, as a user ends a run. */
void Interrupt()
{
    std::raise(SIGINT);
}

std::string NetworkPort(uint16_t port)
{
    return std::string{(char)(port >> 8), (char)(port & 0xFF)};
}

uint16_t AsPassed(uint16_t port)
{
    const unsigned char bytes[2] = {(unsigned char)(port >> 8), (unsigned char)port};
    uint16_t passed;
    std::memcpy(&passed, bytes, sizeof passed);
    return passed;
}

class Tool : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(scripted::Misuses(), std::vector<std::string>{}); }
};

/* ---- the command line ---- */

struct Malformed {
    std::vector<std::string> args;
    const char *why; /* part of the message */
};

class MalformedCommandLine : public ::testing::TestWithParam<Malformed> {};

const std::string kLongValue = "k=" + std::string(256, 'v');

const Malformed kMalformed[] = {
    {{"register", "X", "_t._tcp", "abc"}, "'abc' is not a port"},
    {{"register", "X", "_t._tcp", "0x50"}, "'0x50' is not a port"},
    {{"register", "X", "_t._tcp", "1e3"}, "'1e3' is not a port"},
    {{"register", "X", "_t._tcp", "8080x"}, "'8080x' is not a port"},
    {{"register", "X", "_t._tcp", "65536"}, "'65536' is not a port"},
    {{"register", "X", "_t._tcp", "+80"}, "'+80' is not a port"},
    {{"register", "X", "_t._tcp", "3", "--ttl", "60"}, "--ttl: applies to --add-record and --update-after"},
    {{"register", "X", "_t._tcp", "3", "--add-record", "TXT"}, "--add-record"},
    {{"register", "X", "_t._tcp", "3", "--add-record", "TXT", "hex:0"}, "is not DATA"},
    {{"register", "X", "_t._tcp", "3", "--add-record", "70000", "x"}, "is not a record type"},
    {{"register", "X", "_t._tcp", "3", "--update-after"}, "--update-after"},
    {{"register", "X", "_t._tcp", "3", "--update-after", "soon", "a=1"}, "'soon' is not a number of seconds"},
    {{"register", "X", "_t._tcp", "3", "--remove-record-after", "1"}, "without --add-record"},
    {{"register", "X", "_t._tcp", "3", "=value"}, "is not a TXT item"},
    {{"register", "X", "_t._tcp"}, "PORT is required"},
    {{"browse", "_http._tcp", "--bogus"}, "--bogus"},
    {{"browse", "_http._tcp", "local.", "extra"}, "extra"},
    {{"browse", "_http._tcp", "--interface", "eth0"}, "'eth0' is not an interface"},
    {{"browse", "_http._tcp", "--interface", "4294967296"}, "is not an interface"},
    {{"--timeout", "0", "browse", "_t._tcp"}, "must be more than 0 seconds"},
    {{"--timeout", "-1", "browse", "_t._tcp"}, "'-1' is not a number of seconds"},
    {{"--timeout", "abc", "browse", "_t._tcp"}, "'abc' is not a number of seconds"},
    {{"--timeout", "2.", "browse", "_t._tcp"}, "'2.' is not a number of seconds"},
    {{"--timeout", "1e3", "browse", "_t._tcp"}, "'1e3' is not a number of seconds"},
    {{"--timeout", "2147484", "browse", "_t._tcp"}, "is not a number of seconds"},
    {{"--timeout", "browse", "_t._tcp"}, "'_t._tcp' is not a command"},
    {{"record", "h.local.", "A", "hex:7f00000"}, "is not DATA"},
    {{"record", "h.local.", "A", "hex:7g"}, "is not DATA"},
    {{"record", "h.local.", "A-B", "x"}, "is not a record type"},
    {{"record", "h.local.", "A", "x", "--ttl", "4294967296"}, "is not a TTL"},
    {{"record", "h.local.", "A", "x", "--update-after", "1"}, "--update-after"},
    {{"resolve", "X"}, "TYPE is required"},
    {{"domains", "local."}, "local."},
    {{"txt"}, "give KEY=VALUE items to build a record, or --read DATA"},
    {{"txt", "a=1", "--read", "hex:00"}, "no items to set"},
    {{"txt", "--read", "hex:0"}, "is not DATA"},
    {{"fullname", "X", "_t._tcp"}, "DOMAIN is required"},
    {{"frobnicate"}, "'frobnicate' is not a command"},
    {{}, "A subcommand is required"},
    /* Found once the plug-in is loaded, still before anything is sent. */
    {{"register", "X", "_t._tcp", "3", "--add-record", "NOSUCHTYPE", "x"}, "no kTypeNOSUCHTYPE"},
    {{"record", "h.local.", "NOSUCHTYPE", "x"}, "no kTypeNOSUCHTYPE"},
    {{"register", "X", "_t._tcp", "3", kLongValue}, "in a TXT record: kErrorInvalid"},
    {{"register", "X", "_t._tcp", "3", "--update-after", "1", kLongValue}, "in a TXT record: kErrorInvalid"},
    {{"txt", kLongValue}, "in a TXT record: kErrorInvalid"},
};

TEST_P(MalformedCommandLine, IsAUsageErrorAndSendsNothing)
{
    Result result = RunTool(GetParam().args);
    EXPECT_EQ(result.status, 2);
    EXPECT_TRUE(Contains(result.err, GetParam().why)) << result.err;
    EXPECT_EQ(result.out, "");
    /* TXT records are built by the library, locally; nothing else is called. */
    for (const scripted::Call &call : scripted::Calls())
        EXPECT_EQ(call.function.rfind("TXTRecord", 0), 0u) << call.function;
}

/* The case's index and its words, as a test name. */
std::string CaseName(size_t index, const std::vector<std::string> &args)
{
    std::string name = std::to_string(index);
    for (const std::string &arg : args)
        name += "_" + arg.substr(0, 12);
    for (char &c : name)
        if (!std::isalnum((unsigned char)c))
            c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Tool, MalformedCommandLine, ::testing::ValuesIn(kMalformed),
                         [](const ::testing::TestParamInfo<Malformed> &info) {
                             return CaseName(info.index, info.param.args);
                         });

TEST_F(Tool, HelpAndVersionRunNothing)
{
    Result help = RunWith({"register", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(Contains(help.out, "Example:\n  zrk-dnssd register")) << help.out;
    Result version = RunWith({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("zrk-dnssd ", 0), 0u) << version.out;
    EXPECT_EQ(scripted::Calls().size(), 0u);
}

TEST_F(Tool, AnUnloadablePluginIsAFailureWithTheLoadersReason)
{
    Result result = RunWith({"--plugin", "no-such-folder/no-such-plugin", "classes"});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(Contains(result.err, "cannot load the plug-in no-such-folder/no-such-plugin: ")) << result.err;
}

/* ---- events, one line each ---- */

struct Browsed {
    bool add;
    uint32_t interfaceIndex;
    const char *name;
};

const Browsed kBrowsed[] = {
    {true, 2, "semi;colon"},
    {true, 2, "back\\slash \\032 not an escape"},
    {true, 3, "new\nline\r\tand control \x01\x7f"},
    {true, 2, "Caf\xc3\xa9 \xe2\x98\x95 \xc3\xbcn\xc3\xaf"},
    {true, 2, "ends with a space "},
    {false, 2, "semi;colon"},
};

/* Queues every reply once the browse runs, and ends the run with Ctrl-C
 * once they are all delivered. */
/* Once the tool has started its operation, queues its replies; once they
 * are all delivered, ends the run as Ctrl-C would. */
void PlayReplies(std::function<void(DNSServiceRef)> queue)
{
    EveryOnLoop(10, [queue = std::move(queue), queued = false]() mutable {
        DNSServiceRef ref = scripted::LastRef();
        if (!queued) {
            queue(ref);
            queued = true;
            return true;
        }
        if (scripted::QueuedReplies(ref) > 0)
            return true;
        Interrupt();
        return false;
    });
}

void PlayBrowse()
{
    PlayReplies([](DNSServiceRef ref) {
        for (const Browsed &b : kBrowsed)
            scripted::QueueBrowseReply(ref, b.add ? 2 : 0, b.interfaceIndex, 0, b.name, "_t._tcp.", "local.");
    });
}

TEST_F(Tool, ParseableBrowseGivesBackEveryNameExactly)
{
    PlayBrowse();
    Result result = RunTool({"-p", "--timeout", "30", "browse", "_t._tcp"});
    EXPECT_EQ(result.status, 0) << result.err;
    std::vector<std::string> lines = Lines(result.out);
    ASSERT_EQ(lines.size(), std::size(kBrowsed)) << result.out;
    for (size_t i = 0; i < lines.size(); i++) {
        std::vector<std::string> fields = Split(lines[i], ';');
        ASSERT_EQ(fields.size(), 6u) << lines[i];
        EXPECT_EQ(fields[0], kBrowsed[i].add ? "+" : "-");
        EXPECT_EQ(fields[1], std::to_string(kBrowsed[i].interfaceIndex));
        EXPECT_EQ(fields[2], kBrowsed[i].add ? "2" : "0");
        EXPECT_EQ(Unescape(fields[3]), kBrowsed[i].name);
        EXPECT_EQ(Unescape(fields[4]), "_t._tcp.");
        EXPECT_EQ(Unescape(fields[5]), "local.");
    }
}

TEST_F(Tool, EachBrowseEventIsOneLine)
{
    PlayBrowse();
    Result result = RunTool({"--timeout", "30", "browse", "_t._tcp"});
    EXPECT_EQ(result.status, 0) << result.err;
    std::vector<std::string> lines = Lines(result.out);
    ASSERT_EQ(lines.size(), 1 + std::size(kBrowsed)) << result.out;
    EXPECT_TRUE(Contains(lines[0], "  Browsing for _t._tcp")) << lines[0];
    EXPECT_TRUE(Contains(lines[2], "  Add  flags=0x2 if=2  local.  _t._tcp.  back\\092slash \\092032 not an escape"))
        << lines[2];
    EXPECT_TRUE(Contains(lines[3], "new\\010line\\013\\009and control \\001\\127")) << lines[3];
    EXPECT_TRUE(Contains(lines[6], "  Rmv  flags=0x0 if=2  local.  _t._tcp.  semi;colon")) << lines[6];
}

TEST_F(Tool, ParseableResolveGivesBackTheTxtBytesExactly)
{
    const std::vector<std::string> items = {
        "k=v", "empty=", "flag", "sp ace=a b", "semi=;", "bs=\\", std::string("nul=\0\x01\xff", 7), "",
        "eq=a=b", "quote=\"",
    };
    std::string txt;
    for (const std::string &item : items)
        txt += (char)item.size() + item;
    const char *fullname = "we\\059ird\\032name._t._tcp.local.";
    uint16_t port;
    std::memcpy(&port, NetworkPort(8080).data(), sizeof port);
    PlayReplies([&](DNSServiceRef ref) { scripted::QueueResolveReply(ref, 0, 4, 0, fullname, "h.local.", port, txt); });
    Result result = RunTool({"-p", "--timeout", "30", "resolve", "we;ird name", "_t._tcp"});
    EXPECT_EQ(result.status, 0) << result.err;
    std::vector<std::string> lines = Lines(result.out);
    ASSERT_EQ(lines.size(), 1u) << result.out;
    std::vector<std::string> fields = Split(lines[0], ';');
    ASSERT_EQ(fields.size(), 6 + items.size()) << lines[0];
    EXPECT_EQ(fields[0], "=");
    EXPECT_EQ(fields[1], "4");
    EXPECT_EQ(Unescape(fields[3]), fullname);
    EXPECT_EQ(Unescape(fields[4]), "h.local.");
    EXPECT_EQ(fields[5], "8080");
    std::string back;
    for (size_t i = 6; i < fields.size(); i++) {
        std::string item = Unescape(fields[i]);
        back += (char)item.size() + item;
    }
    EXPECT_EQ(back, txt);
    scripted::Call call = scripted::Calls("DNSServiceResolve").at(0);
    EXPECT_EQ(call.Data("name"), "we;ird name");
    EXPECT_EQ(call.Data("domain"), "local.");
}

/* ---- how runs end ---- */

TEST_F(Tool, ARegistrationWhoseDaemonGoesAwayEndsWithStatusOne)
{
    EveryOnLoop(10, [step = 0]() mutable {
        DNSServiceRef ref = scripted::LastRef();
        if (step == 0)
            scripted::QueueRegisterReply(ref, 2, 0, "X", "_t._tcp.", "local.");
        else if (scripted::QueuedReplies(ref) > 0)
            return true;
        else {
            /* Apple's library: the connection fails and no daemon answers. */
            scripted::SetResult("DNSServiceEnumerateDomains", -65563);
            scripted::BreakConnection(ref, -65563);
            return false;
        }
        step++;
        return true;
    });
    Result result = RunTool({"--timeout", "30", "register", "X", "_t._tcp", "80"});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(Contains(result.out, "Registered \"X\" _t._tcp. local. flags=0x2")) << result.out;
    EXPECT_TRUE(Contains(result.out, "registration error kDNSServiceErr_ServiceNotRunning (-65563)\n")) << result.out;
    EXPECT_EQ(result.err, "zrk-dnssd: the DNS-SD daemon is not running: the registration ended with "
                          "kDNSServiceErr_ServiceNotRunning (-65563)\n");
    EXPECT_EQ(scripted::CallsAfterFailure(), 0);
}

TEST_F(Tool, AnErrorEventEndsTheRunAndClosesTheOperation)
{
    /* Avahi's library reports its lost daemon so; the operation stays open
     * until the program closes it. */
    DNSServiceRef browse = nullptr;
    EveryOnLoop(10, [&browse]() {
        browse = scripted::LastRef();
        scripted::QueueBrowseReply(browse, 0, 0, -65537, nullptr, nullptr, nullptr);
        return false;
    });
    Result result = RunTool({"-p", "--timeout", "30", "browse", "_t._tcp"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "!;-65537;kErrorUnknown\n");
    EXPECT_TRUE(EndsWith(result.err, "\nzrk-dnssd: the browse ended with kErrorUnknown (-65537)\n")) << result.err;
    EXPECT_FALSE(scripted::IsLive(browse));
}

TEST_F(Tool, KeepTryingRegistersAgainOnceTheDaemonIsBack)
{
    EveryOnLoop(10, [step = 0]() mutable {
        DNSServiceRef ref = scripted::LastRef();
        switch (step) {
        case 0:
            scripted::SetResult("DNSServiceEnumerateDomains", -65563);
            scripted::SetResult("DNSServiceRegister", -65563);
            scripted::BreakConnection(ref, -65563);
            break;
        case 1: /* the first try again found no daemon */
            if (scripted::CallCount("DNSServiceRegister") < 2)
                return true;
            scripted::ClearResult("DNSServiceEnumerateDomains");
            scripted::ClearResult("DNSServiceRegister");
            break;
        case 2:
            if (scripted::CallCount("DNSServiceRegister") < 3)
                return true;
            scripted::QueueRegisterReply(ref, 2, 0, "X", "_t._tcp.", "local.");
            break;
        default:
            if (scripted::QueuedReplies(ref) > 0)
                return true;
            Interrupt();
            return false;
        }
        step++;
        return true;
    });
    Result result = RunTool({"--timeout", "30", "register", "X", "_t._tcp", "80", "--keep-trying"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(Contains(result.out, "the DNS-SD daemon is not running: waiting for it")) << result.out;
    EXPECT_TRUE(Contains(result.out, "Registering \"X\" _t._tcp port 80 (again)")) << result.out;
    EXPECT_TRUE(Contains(result.out, "Registered \"X\"")) << result.out;
    EXPECT_EQ(scripted::CallCount("DNSServiceRegister"), 3);
    EXPECT_EQ(scripted::LiveRefs().size(), 0u);
}

struct StartCase {
    std::vector<std::string> args;
    const char *function; /* the start function DNS-SD refuses */
};

class NoDaemon : public Tool, public ::testing::WithParamInterface<StartCase> {};

TEST_P(NoDaemon, EveryCommandSaysTheDaemonIsNotRunning)
{
    scripted::SetResult(GetParam().function, -65563);
    scripted::SetResult("DNSServiceEnumerateDomains", -65563);
    std::vector<std::string> args = {"--timeout", "30"};
    args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
    Result result = RunTool(args);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "zrk-dnssd: the DNS-SD daemon is not running\n");
    EXPECT_EQ(scripted::LiveRefs().size(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Tool, NoDaemon,
                         ::testing::Values(StartCase{{"browse", "_t._tcp"}, "DNSServiceBrowse"},
                                           StartCase{{"resolve", "X", "_t._tcp"}, "DNSServiceResolve"},
                                           StartCase{{"register", "X", "_t._tcp", "1"}, "DNSServiceRegister"},
                                           StartCase{{"record", "h.local.", "A", "x"}, "DNSServiceCreateConnection"},
                                           StartCase{{"domains"}, "DNSServiceEnumerateDomains"}),
                         [](const ::testing::TestParamInfo<StartCase> &info) { return info.param.args[0]; });

TEST_F(Tool, AStartRefusedWhileTheDaemonAnswersNamesTheRefusal)
{
    scripted::SetResult("DNSServiceRegister", -65548);
    Result result = RunTool({"register", "X", "_t._tcp", "1"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "zrk-dnssd: Register failed: kErrorNameConflict (-65548)\n");
}

struct StatusCase {
    uint32_t version;
    bool daemon;
    int status;
    const char *out;
};

class Status : public Tool, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(Status, SaysWhetherTheDaemonAnswers)
{
    scripted::SetDaemonVersion(GetParam().version);
    if (!GetParam().daemon)
        scripted::SetResult("DNSServiceEnumerateDomains", -65563);
    Result result = RunTool({"status"});
    EXPECT_EQ(result.status, GetParam().status);
    EXPECT_EQ(result.out, GetParam().out);
    EXPECT_EQ(scripted::LiveRefs().size(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Tool, Status,
    ::testing::Values(StatusCase{0, true, 0, "available: yes\ndaemon: running\ndaemon version: unknown\n"},
                      StatusCase{8790400, true, 0, "available: yes\ndaemon: running\ndaemon version: 8790400\n"},
                      StatusCase{0, false, 1, "available: yes\ndaemon: not running\ndaemon version: unknown\n"}),
    [](const ::testing::TestParamInfo<StatusCase> &info) {
        return std::string(info.param.daemon ? "Daemon" : "NoDaemon") + "Version" + std::to_string(info.param.version);
    });

/* ---- every method reachable ---- */

/* Ends the run once the function has been called that many times. */
void InterruptAfter(const char *function, int count)
{
    EveryOnLoop(10, [function, count]() {
        if (scripted::CallCount(function) < count)
            return true;
        Interrupt();
        return false;
    });
}

TEST_F(Tool, RegisterPassesEveryOption)
{
    InterruptAfter("DNSServiceRegister", 1);
    Result result = RunTool({"--timeout", "30", "register", "X", "_t._tcp", "8080", "a=1", "b=", "c", "--domain",
                         "example.", "--host", "h.example.", "--interface", "3", "--no-rename"});
    EXPECT_EQ(result.status, 0) << result.err;
    scripted::Call call = scripted::Calls("DNSServiceRegister").at(0);
    EXPECT_EQ(call.Int("flags"), 0x8u);
    EXPECT_EQ(call.Int("interfaceIndex"), 3u);
    EXPECT_EQ(call.Data("name"), "X");
    EXPECT_EQ(call.Data("regtype"), "_t._tcp");
    EXPECT_EQ(call.Data("domain"), "example.");
    EXPECT_EQ(call.Data("host"), "h.example.");
    EXPECT_EQ(call.Int("port"), (uint64_t)AsPassed(8080));
    EXPECT_EQ(call.Data("txtRecord"), std::string("\x03" "a=1" "\x02" "b=" "\x01" "c"));
}

TEST_F(Tool, RegisterWithoutANameLeavesItToDnsSd)
{
    InterruptAfter("DNSServiceRegister", 1);
    Result result = RunTool({"--timeout", "30", "register", "", "_t._tcp", "1", "--interface", "local"});
    EXPECT_EQ(result.status, 0) << result.err;
    scripted::Call call = scripted::Calls("DNSServiceRegister").at(0);
    EXPECT_TRUE(call.IsNull("name"));
    EXPECT_TRUE(call.IsNull("domain"));
    EXPECT_TRUE(call.IsNull("host"));
    EXPECT_EQ(call.Int("interfaceIndex"), 0xFFFFFFFFu);
}

TEST_F(Tool, AnAddedRecordIsUpdatedAndRemovedAndTheToolSaysWhichRecordChanged)
{
    InterruptAfter("DNSServiceRemoveRecord", 1);
    Result result = RunTool({"--timeout", "30", "register", "X", "_t._tcp", "1", "a=1", "--add-record", "TXT",
                         "hex:03623d32", "--ttl", "60", "--update-after", "0.1", "x=2", "--remove-record-after",
                         "0.2"});
    EXPECT_EQ(result.status, 0) << result.err;
    scripted::Call add = scripted::Calls("DNSServiceAddRecord").at(0);
    EXPECT_EQ(add.Int("rrtype"), 16u);
    EXPECT_EQ(add.Data("rdata"), "\x03" "b=2");
    EXPECT_EQ(add.Int("ttl"), 60u);
    scripted::Call update = scripted::Calls("DNSServiceUpdateRecord").at(0);
    scripted::Call remove = scripted::Calls("DNSServiceRemoveRecord").at(0);
    EXPECT_FALSE(update.IsNull("RecordRef"));
    EXPECT_EQ(update.Int("RecordRef"), remove.Int("RecordRef"));
    EXPECT_EQ(update.Data("rdata"), "\x03" "x=2");
    EXPECT_EQ(update.Int("ttl"), 60u);
    EXPECT_TRUE(Contains(result.out, "Added record of type TXT\n")) << result.out;
    EXPECT_TRUE(Contains(result.out, "Updated the added record of type TXT: x=2\n")) << result.out;
    EXPECT_TRUE(Contains(result.out, "Removed the added record of type TXT\n")) << result.out;
}

TEST_F(Tool, WithoutAnAddedRecordAnUpdateChangesTheTxtRecord)
{
    InterruptAfter("DNSServiceUpdateRecord", 1);
    Result result = RunTool({"--timeout", "30", "register", "X", "_t._tcp", "1", "a=1", "--update-after", "0", "a=2",
                         "sp ace="});
    EXPECT_EQ(result.status, 0) << result.err;
    scripted::Call update = scripted::Calls("DNSServiceUpdateRecord").at(0);
    EXPECT_TRUE(update.IsNull("RecordRef"));
    EXPECT_EQ(update.Data("rdata"), "\x03" "a=2" "\x07" "sp ace=");
    EXPECT_EQ(update.Int("ttl"), 0u);
    EXPECT_TRUE(Contains(result.out, "Updated TXT a=2 sp\\032ace=\n")) << result.out;
}

TEST_F(Tool, ARefusedUpdateEndsTheRunAsAFailure)
{
    scripted::SetResult("DNSServiceUpdateRecord", -65540);
    Result result = RunTool({"--timeout", "30", "register", "X", "_t._tcp", "1", "--update-after", "0", "a=2"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "zrk-dnssd: UpdateRecord failed: kErrorBadParam (-65540)\n");
    EXPECT_EQ(scripted::LiveRefs().size(), 0u);
}

TEST_F(Tool, ARecordIsRegisteredAndUpdated)
{
    InterruptAfter("DNSServiceUpdateRecord", 1);
    Result result = RunTool({"--timeout", "30", "record", "h.local.", "A", "hex:7f000001", "--ttl", "30", "--shared",
                         "--interface", "2", "--update-after", "0.05", "hex:7f000002"});
    EXPECT_EQ(result.status, 0) << result.err;
    scripted::Call record = scripted::Calls("DNSServiceRegisterRecord").at(0);
    EXPECT_EQ(record.Int("flags"), 0x10u);
    EXPECT_EQ(record.Int("interfaceIndex"), 2u);
    EXPECT_EQ(record.Data("fullname"), "h.local.");
    EXPECT_EQ(record.Int("rrtype"), 1u);
    EXPECT_EQ(record.Int("rrclass"), 1u);
    EXPECT_EQ(record.Data("rdata"), std::string("\x7f\0\0\x01", 4));
    EXPECT_EQ(record.Int("ttl"), 30u);
    scripted::Call update = scripted::Calls("DNSServiceUpdateRecord").at(0);
    EXPECT_FALSE(update.IsNull("RecordRef"));
    EXPECT_EQ(update.Data("rdata"), std::string("\x7f\0\0\x02", 4));
    EXPECT_EQ(update.Int("ttl"), 30u);
}

TEST_F(Tool, DomainsForRegistering)
{
    InterruptAfter("DNSServiceEnumerateDomains", 1);
    Result result = RunTool({"--timeout", "30", "domains", "--registration"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(scripted::Calls("DNSServiceEnumerateDomains").at(0).Int("flags"), 0x80u);
}

TEST_F(Tool, TxtBuildsReadsAndTellsAnEmptyValueFromNoValue)
{
    Result result = RunTool({"txt", "a=1", "b=", "c", "gone=x", "--remove", "gone", "--get", "a", "--get", "b",
                             "--get", "z"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "bytes (9): 03613d3102623d0163\n"
                          "items (3): a=1 b= c\n"
                          "get a: =1\n"
                          "get b: present, with no value or an empty one\n"
                          "get z: absent\n");
    EXPECT_EQ(scripted::CallCount("TXTRecordRemoveValue"), 1);
#ifndef _WIN32
    EXPECT_STREQ(std::getenv("AVAHI_COMPAT_NOWARN"), "1");
#endif
}

TEST_F(Tool, TxtReadsAGivenRecordWithTheSharedMethods)
{
    Result result = RunTool({"txt", "--read", "hex:097061746820783d2f79" "00" "01" "66", "--get", "path x"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "bytes (13): 097061746820783d2f79000166\n"
                          "items (3): path\\032x=/y \"\" f\n"
                          "get path\\032x: =/y\n");
    EXPECT_EQ(scripted::CallCount("TXTRecordCreate"), 0);
}

TEST_F(Tool, FullNameIsConstructedByDnsSd)
{
    Result result = RunTool({"fullname", "My Server", "_http._tcp", "local."});
    EXPECT_EQ(result.status, 0) << result.err;
    scripted::Call call = scripted::Calls("DNSServiceConstructFullName").at(0);
    EXPECT_EQ(call.Data("service"), "My Server");
    EXPECT_EQ(call.Data("regtype"), "_http._tcp");
    EXPECT_EQ(call.Data("domain"), "local.");
    EXPECT_EQ(result.out, "My Server._http._tcp.local.\n");
}

}  // namespace
