/*
 * daemon_cycles: a host program whose DNS-SD daemon is killed under it, cycle
 * after cycle.  Each cycle it registers a service of its own, browses for its
 * type, resolves it once the browse sees it, enumerates browse and
 * registration domains and asks for a single record; then it kills the
 * daemon at a moment that varies from cycle to cycle, collects the events,
 * starts the daemon again and closes everything.
 *
 * It fails (exit status 1) when an open operation gets no error event or more
 * than one, when operations on a restarted daemon give no events, or when
 * descriptors or threads pile up from cycle to cycle.  A crash of the process
 * is a failure too, seen by whoever runs it.
 *
 *   daemon_cycles --plugin PATH --kill COMMAND --start COMMAND [--cycles N]
 */
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "../../hostsim/host.h"

namespace {

using hostsim::Value;

const char kType[] = "_zrke2ecycle._tcp";
const HostInteger kPort = 5010;
const int kHealthyWithinMs = 10000;
const int kErrorsWithinMs = 5000;
/* Long enough after the last awaited error for a second one to show. */
const int kSecondErrorWindowMs = 500;

struct Options {
    std::string plugin;
    std::string killCommand;
    std::string startCommand;
    int cycles = 8;
};

/* When the daemon is killed, counted from a stage of the cycle. */
enum class Stage { AfterStarts, ResolveStarted, Healthy };

struct KillMoment {
    const char *name;
    Stage stage;
    int delayMs;
};

/* A cycle that kills before its operations are seen working is followed by
 * one that waits for them, so that every restart is seen to work. */
const KillMoment kKillMoments[] = {
    {"once healthy", Stage::Healthy, 0},
    {"right after the starts", Stage::AfterStarts, 0},
    {"as the resolve starts", Stage::ResolveStarted, 0},
    {"0.7 s after the starts", Stage::AfterStarts, 700},
    {"1 s after healthy", Stage::Healthy, 1000},
    {"1.5 s after the starts", Stage::AfterStarts, 1500},
    {"0.1 s into the resolve", Stage::ResolveStarted, 100},
    {"once healthy", Stage::Healthy, 0},
};
const int kKillMomentCount = sizeof kKillMoments / sizeof kKillMoments[0];

/* One operation on an instance of its own, and what its events said. */
struct Operation {
    const char *kind;
    const char *className;
    const char *eventName;
    size_t errorArgument; /* index of the event's error code */
    HostObject object = nullptr;
    bool open = false;
    int replies = 0; /* events with no error */
    int errors = 0;
    HostInteger firstError = 0;
    std::string events = ""; /* what came, in order: for the message of a failure */
};

/* Each cycle starts one of each, on instances of their own. */
const Operation kOperations[] = {
    {"register", "DNSServiceRegisterZRK", "ServiceRegistration", 1},
    {"browse", "DNSServiceBrowseZRK", "ServiceBrowse", 2},
    {"resolve", "DNSServiceResolveZRK", "ServiceResolve", 2},
    {"browse domains", "DNSServiceDomainEnumerationZRK", "ServiceDomainEnumeration", 2},
    {"registration domains", "DNSServiceDomainEnumerationZRK", "ServiceDomainEnumeration", 2},
};
const int kOperationCount = sizeof kOperations / sizeof kOperations[0];

struct ProcessCounts {
    int descriptors;
    int threads;
};

int CountEntries(const char *directory)
{
    DIR *dir = opendir(directory);
    if (!dir)
        return -1;
    int count = 0;
    while (dirent *entry = readdir(dir))
        if (entry->d_name[0] != '.')
            count++;
    closedir(dir);
    return count;
}

ProcessCounts CountProcess()
{
    return {CountEntries("/proc/self/fd"), CountEntries("/proc/self/task")};
}

/* The command runs without this process's descriptors: a daemon started by it
 * would otherwise hold the host's D-Bus connections and the DNS-SD library's
 * sockets open past Close. */
bool RunCommand(const std::string &command)
{
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        closefrom(3);
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

[[noreturn]] void Die(const std::string &message)
{
    std::fprintf(stderr, "daemon_cycles: %s\n", message.c_str());
    std::fflush(nullptr);
    std::exit(1);
}

/* Per operation kind, over all cycles. */
struct Totals {
    int opened = 0;
    int errors = 0;
    int closedByError = 0;
};

class Cycles {
public:
    explicit Cycles(const Options &options) : options_(options)
    {
        host_.SetFailureHandler([](const std::string &message) { Die("host: " + message); });
        if (!host_.LoadPlugin(options.plugin))
            Die("cannot load " + options.plugin);
        if (!host_.CallShared("DNSServiceBaseZRK", "Available").boolean)
            Die("DNS-SD is not available");
        unsupportedError_ = Constant("kErrorUnsupported");
    }

    int Run()
    {
        for (int cycle = 1; cycle <= options_.cycles; cycle++) {
            const KillMoment &moment = kKillMoments[(cycle - 1) % kKillMomentCount];
            std::string name = "zrk cycle " + std::to_string(cycle) + " of " + std::to_string(getpid());
            StartAll(name);
            WaitForKillMoment(moment);
            ProcessCounts open = CountProcess();
            daemonDown_ = true;
            if (!RunCommand(options_.killCommand))
                Die("the kill command failed");
            CollectErrors();
            if (!RunCommand(options_.startCommand))
                Die("the start command failed");
            daemonDown_ = false;
            std::string report = CheckErrors();
            CloseAll();
            ProcessCounts idle = CountProcess();
            std::printf("cycle %d, killed %s: %s; descriptors %d (open %d), threads %d (open %d)\n", cycle,
                        moment.name, report.c_str(), idle.descriptors, open.descriptors, idle.threads,
                        open.threads);
            CheckNoGrowth(cycle, idle);
        }
        /* Operations work on the daemon started by the last cycle, too. */
        StartAll("zrk after the last cycle of " + std::to_string(getpid()));
        WaitUntilHealthy();
        CloseAll();
        host_.CheckBalanced();
        PrintSummary();
        return 0;
    }

private:
    long long Constant(const char *name) { return host_.Constant("DNSServiceBaseZRK", name).value_or(0); }

    void StartAll(const std::string &serviceName)
    {
        serviceName_ = serviceName;
        operations_.assign(kOperations, kOperations + kOperationCount);
        for (Operation &operation : operations_) {
            operation.object = host_.New(operation.className);
            Operation *counted = &operation;
            host_.SetHandler(operation.object, operation.eventName,
                             [this, counted](HostObject, const std::vector<Value> &arguments) {
                                 Count(*counted, arguments);
                             });
        }
        browseSawOwn_ = false;
        Value name = Value::Str(serviceName_);
        Start(Find("register"), "Register",
              {Value::Int(0), Value::Int(0), name, Value::Str(kType), Value::Nil(), Value::Nil(),
               Value::Int(kPort), Value::Nil()});
        Start(Find("browse"), "Browse", {Value::Int(0), Value::Str(kType), Value::Nil()});
        Start(Find("browse domains"), "EnumerateDomains",
              {Value::Int((HostInteger)Constant("kFlagsBrowseDomains")), Value::Int(0)});
        Start(Find("registration domains"), "EnumerateDomains",
              {Value::Int((HostInteger)Constant("kFlagsRegistrationDomains")), Value::Int(0)});
        StartRefusedRecord();
    }

    void Start(Operation &operation, const char *method, std::vector<Value> arguments)
    {
        if (!host_.Call(operation.object, method, std::move(arguments)).boolean)
            Die(std::string(operation.kind) + ": " + method + " failed with " +
                std::to_string(host_.Get(operation.object, "Lasterror").integer));
        operation.open = true;
    }

    /* Avahi has no single records: RegisterRecord says false with
     * kErrorUnsupported and leaves no operation open, so that no event comes
     * for it when the daemon dies.  The instance lives until the cycle ends
     * to show that. */
    void StartRefusedRecord()
    {
        record_ = host_.New("DNSServiceRegisterRecordZRK");
        host_.SetHandler(record_, "ServiceRegistration",
                         [](HostObject, const std::vector<Value> &) { Die("an event for a refused record"); });
        Value address = Value::Str(std::string("\x7f\0\0\x01", 4));
        bool started = host_.Call(record_, "RegisterRecord",
                                  {Value::Int((HostInteger)Constant("kFlagsUnique")), Value::Int(0),
                                   Value::Str("zrk-cycle.local."), Value::Int((HostInteger)Constant("kTypeA")),
                                   Value::Int((HostInteger)Constant("kClassIN")), address, Value::Int(120)})
                           .boolean;
        HostInteger lasterror = host_.Get(record_, "Lasterror").integer;
        if (started || lasterror != unsupportedError_ || host_.Call(record_, "Running").boolean)
            Die("RegisterRecord: started " + std::to_string(started) + ", Lasterror " + std::to_string(lasterror) +
                "; Avahi refuses it with kErrorUnsupported");
        recordsRefused_++;
    }

    Operation &Find(const std::string &kind)
    {
        for (Operation &operation : operations_)
            if (kind == operation.kind)
                return operation;
        Die("no operation " + kind);
    }

    void Count(Operation &operation, const std::vector<Value> &arguments)
    {
        HostInteger error = arguments[operation.errorArgument].integer;
        operation.events += " " + std::to_string(error) + (daemonDown_ ? " (daemon down)" : "");
        if (error != 0) {
            if (operation.errors++ == 0)
                operation.firstError = error;
            return;
        }
        operation.replies++;
        if (&operation == &Find("browse") && arguments[3].text == serviceName_ && !browseSawOwn_) {
            /* As a host program does: resolve what the browse found, unless
             * the find was already on its way when the daemon was killed. */
            browseSawOwn_ = true;
            if (daemonDown_)
                return;
            Start(Find("resolve"), "Resolve",
                  {Value::Int(0), Value::Str(serviceName_), Value::Str(kType), Value::Str("local.")});
        }
    }

    bool Healthy()
    {
        return Find("register").replies > 0 && browseSawOwn_ && Find("resolve").replies > 0;
    }

    void WaitUntilHealthy()
    {
        if (!host_.RunUntil([this] { return Healthy(); }, kHealthyWithinMs))
            Die("operations on the daemon gave no events: register " + std::to_string(Find("register").replies) +
                ", browse saw its own service " + std::to_string(browseSawOwn_) + ", resolve " +
                std::to_string(Find("resolve").replies));
    }

    void WaitForKillMoment(const KillMoment &moment)
    {
        if (moment.stage == Stage::Healthy)
            WaitUntilHealthy();
        if (moment.stage == Stage::ResolveStarted &&
            !host_.RunUntil([this] { return Find("resolve").open; }, kHealthyWithinMs))
            Die("the browse never saw its own service");
        if (moment.delayMs > 0)
            host_.RunFor(moment.delayMs);
    }

    bool AllOpenHaveErrors()
    {
        for (const Operation &operation : operations_)
            if (operation.open && operation.errors == 0)
                return false;
        return true;
    }

    void CollectErrors()
    {
        host_.RunUntil([this] { return AllOpenHaveErrors(); }, kErrorsWithinMs);
        host_.RunFor(kSecondErrorWindowMs);
    }

    /* One error event per open operation.  Avahi reports the lost daemon
     * through the operation's callback and leaves it open; an operation the
     * plug-in closes (its result could not be processed) must hold the code in
     * Lasterror. */
    std::string CheckErrors()
    {
        std::string report;
        for (Operation &operation : operations_) {
            std::string line = std::string(operation.kind) + " ";
            if (!operation.open) {
                report += line + "not started; ";
                continue;
            }
            if (operation.errors != 1)
                Die(std::string(operation.kind) + ": " + std::to_string(operation.errors) +
                    " error events when the daemon died; events:" + operation.events);
            bool running = host_.Call(operation.object, "Running").boolean;
            HostInteger lasterror = host_.Get(operation.object, "Lasterror").integer;
            if (!running && lasterror != operation.firstError)
                Die(std::string(operation.kind) + ": closed with Lasterror " + std::to_string(lasterror) +
                    ", its event said " + std::to_string(operation.firstError));
            Totals &totals = totals_[&operation - &operations_[0]];
            totals.opened++;
            totals.errors += operation.errors;
            totals.closedByError += running ? 0 : 1;
            report += line + std::to_string(operation.firstError) + (running ? " open" : " closed") + "; ";
        }
        return report + "record refused";
    }

    void CloseAll()
    {
        for (Operation &operation : operations_) {
            host_.Call(operation.object, "Close");
            if (host_.Call(operation.object, "Running").boolean)
                Die(std::string(operation.kind) + ": running after Close");
            host_.Release(operation.object);
        }
        operations_.clear();
        host_.Release(record_);
    }

    /* The first cycle loads what the library loads on first use; from the
     * second on, every cycle must end where the second did. */
    void CheckNoGrowth(int cycle, ProcessCounts idle)
    {
        if (cycle == 2)
            baseline_ = idle;
        if (cycle > 2 && (idle.descriptors > baseline_.descriptors || idle.threads > baseline_.threads))
            Die("cycle " + std::to_string(cycle) + " ended with " + std::to_string(idle.descriptors) +
                " descriptors and " + std::to_string(idle.threads) + " threads; cycle 2 with " +
                std::to_string(baseline_.descriptors) + " and " + std::to_string(baseline_.threads));
        last_ = idle;
    }

    void PrintSummary()
    {
        std::string summary = "cycles " + std::to_string(options_.cycles) + "; error events/operations:";
        for (int i = 0; i < kOperationCount; i++)
            summary += std::string(" ") + kOperations[i].kind + " " + std::to_string(totals_[i].errors) + "/" +
                       std::to_string(totals_[i].opened) +
                       (totals_[i].closedByError ? " (" + std::to_string(totals_[i].closedByError) + " closed)" : "");
        summary += "; record refused " + std::to_string(recordsRefused_) + "x; descriptors " +
                   std::to_string(baseline_.descriptors) + "->" + std::to_string(last_.descriptors) + ", threads " +
                   std::to_string(baseline_.threads) + "->" + std::to_string(last_.threads);
        std::printf("%s\n", summary.c_str());
    }

    Options options_;
    hostsim::Host host_;
    std::vector<Operation> operations_;
    std::string serviceName_;
    HostObject record_ = nullptr;
    bool browseSawOwn_ = false;
    bool daemonDown_ = false;
    long long unsupportedError_ = 0;
    Totals totals_[kOperationCount];
    int recordsRefused_ = 0;
    ProcessCounts baseline_ = {0, 0};
    ProcessCounts last_ = {0, 0};
};

Options ParseOptions(int argc, char **argv)
{
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string option = argv[i];
        if (option == "--plugin")
            options.plugin = argv[i + 1];
        else if (option == "--kill")
            options.killCommand = argv[i + 1];
        else if (option == "--start")
            options.startCommand = argv[i + 1];
        else if (option == "--cycles")
            options.cycles = std::atoi(argv[i + 1]);
        else
            Die("unknown option " + option);
    }
    if (options.plugin.empty() || options.killCommand.empty() || options.startCommand.empty() ||
        options.cycles < 3)
        Die("usage: daemon_cycles --plugin PATH --kill COMMAND --start COMMAND [--cycles N, at least 3]");
    return options;
}

}  // namespace

int main(int argc, char **argv)
{
    Options options = ParseOptions(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    Cycles cycles(options);
    return cycles.Run();
}
