#include "tool.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>

#include "../hostsim/host.h"
#include "command_line.h"
#include "event_format.h"
#include "plugin_path.h"
#include "print_classes.h"

namespace tool {

namespace {

using hostsim::Value;

/* How often a start is tried again while the daemon is away. */
constexpr long long kRetryMs = 1000;

#ifdef _WIN32
const char kNoLibrary[] = "DNS-SD is not available: no dnssd.dll with the DNS-SD functions (install Bonjour)";
#else
const char kNoLibrary[] =
    "DNS-SD is not available: no libdns_sd.so.1 with the DNS-SD functions (Avahi's libavahi-compat-libdnssd1, "
    "or Apple's mDNSResponder client library)";
#endif
const char kNoDaemon[] = "the DNS-SD daemon is not running";

volatile std::sig_atomic_t gStop;

void OnSignal(int)
{
    gStop = 1;
}

std::string Flags(HostInteger flags)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", (unsigned)(uint32_t)flags);
    return text;
}

std::string Label(const hostsim::Text &text)
{
    return Escape(text.value_or(""), Escaping::Label);
}

std::string Presentation(const hostsim::Text &text)
{
    return Escape(text.value_or(""), Escaping::Presentation);
}

std::string Field(const hostsim::Text &text)
{
    return Escape(text.value_or(""), Escaping::Field);
}

Value Optional(const std::optional<std::string> &text)
{
    return text ? Value::Str(*text) : Value::Nil();
}

/* Interface indexes travel as their low 32 bits. */
Value Interface(int64_t index)
{
    return Value::Int((HostInteger)(int32_t)(uint32_t)index);
}

/* One DNS-SD operation of the tool: its class, how it starts, how its
 * events read. */
struct Operation {
    const char *className;
    const char *eventName;
    const char *what; /* "browse": "browse error ...", "the browse ended ..." */
    const char *startMethod;
    size_t errorArgument;
    std::string started;
    std::function<bool(HostObject)> start;
    std::function<bool(HostObject)> afterStart; /* false ends the run as a failure */
    std::function<void(const std::vector<Value> &)> print;
};

/* Something done to a running operation at a time after the start; false
 * ends the run as a failure. */
struct Action {
    long long atMs;
    std::string name;
    std::function<bool(HostObject)> run;
};

class Tool {
public:
    Tool(const CommandLine &line, FILE *out, FILE *err) : line_(line), out_(out), err_(err) {}

    int Main()
    {
        if (line_.verb == Verb::Classes)
            return Classes();
        if (!Load(true))
            return kExitFailure;
        if (line_.verb == Verb::Status)
            return Status();
        if (!Available())
            return Fail(kExitFailure, kNoLibrary);
        switch (line_.verb) {
        case Verb::Txt: return Txt();
        case Verb::FullName: return FullName();
        case Verb::Browse: return Browse();
        case Verb::Resolve: return Resolve();
        case Verb::Register: return Register();
        case Verb::Record: return Record();
        case Verb::Domains: return Domains();
        default: return kExitUsage;
        }
    }

private:
    /* ---- output ---- */

    void Event(const std::string &human, const std::string &parseable)
    {
        if (line_.parseable)
            std::fprintf(out_, "%s\n", parseable.c_str());
        else
            std::fprintf(out_, "%s  %s\n", Timestamp().c_str(), human.c_str());
        std::fflush(out_);
    }

    /* What the tool itself did; beside the events, or out of their way. */
    void Note(const std::string &text)
    {
        FILE *to = line_.parseable ? err_ : out_;
        std::fprintf(to, "%s  %s\n", Timestamp().c_str(), text.c_str());
        std::fflush(to);
    }

    int Fail(int status, const std::string &message)
    {
        std::fflush(out_);
        std::fprintf(err_, "zrk-dnssd: %s\n", message.c_str());
        std::fflush(err_);
        return status;
    }

    /* ---- the plug-in ---- */

    bool Load(bool inRuntime)
    {
        hostsim::Options options;
        options.inRuntime = inRuntime;
        host_ = std::make_unique<hostsim::Host>(options);
        loading_ = true;
        host_->SetFailureHandler([this](const std::string &message) {
            if (loading_) {
                loadFailure_ = message;
                return;
            }
            /* The plug-in broke a rule of the host: nothing it says can be
             * trusted any more. */
            Fail(kExitFailure, "host: " + message);
            std::exit(kExitFailure);
        });
        std::string plugin = line_.plugin.empty() ? DefaultPluginPath() : line_.plugin;
        bool loaded = host_->LoadPlugin(plugin) && loadFailure_.empty();
        loading_ = false;
        if (!loaded)
            Fail(kExitFailure, loadFailure_.empty() ? "cannot load the plug-in " + plugin : loadFailure_);
        return loaded;
    }

    hostsim::Host &host() { return *host_; }

    bool Available() { return host().CallShared("DNSServiceBaseZRK", "Available").boolean; }

    /* A constant of DNSServiceBaseZRK; names compare as the host compares
     * them, without regard to case. */
    std::optional<long long> Constant(const std::string &name) const
    {
        std::string wanted = Lower(name);
        if (const hostsim::ClassInfo *base = host_->FindClass("DNSServiceBaseZRK"))
            for (const auto &constant : base->constants)
                if (Lower(constant.first) == wanted)
                    return constant.second;
        return std::nullopt;
    }

    long long Known(const char *name) const { return Constant(name).value_or(0); }

    static std::string Lower(std::string text)
    {
        for (char &c : text)
            c = (char)std::tolower((unsigned char)c);
        return text;
    }

    std::optional<long long> TypeNumber(const RecordType &type) const
    {
        if (type.number)
            return *type.number;
        return Constant("kType" + type.given);
    }

    /* Whether a DNS-SD daemon answers: an enumeration of browsing domains is
     * the lightest operation every DNS-SD library offers, and it is refused
     * at once where no daemon answers. */
    bool DaemonAnswers()
    {
        HostObject probe = host().New("DNSServiceDomainEnumerationZRK");
        bool answered =
            host().Call(probe, "EnumerateDomains", {Value::Int((HostInteger)Known("kFlagsBrowseDomains")), Value::Int(0)})
                .boolean;
        host().Call(probe, "Close");
        host().Release(probe);
        return answered;
    }

    std::string Why(HostObject object, const char *method)
    {
        HostInteger code = host().Get(object, "Lasterror").integer;
        if (code == -1)
            return std::string("DNS-SD refused it (") + method + " keeps no error code)";
        return ErrorName(host(), code);
    }

    /* Sets the items on a TXTRecordZRK; the exit status when one cannot be
     * set, with why. */
    int SetItems(HostObject txt, const std::vector<TxtItem> &items, std::string &why)
    {
        for (const TxtItem &item : items) {
            HostInteger result = host().Call(txt, "SetValue", {Value::Str(item.key), Optional(item.value)}).integer;
            if (result == -1) {
                why = kNoLibrary;
                return kExitFailure;
            }
            if (result != 0) {
                std::string shown = item.key + (item.value ? "=" + *item.value : "");
                why = "cannot put " + Escape(shown, Escaping::TxtItem) + " in a TXT record: " +
                      ErrorName(host(), result);
                return kExitUsage;
            }
        }
        return kExitDone;
    }

    /* A TXT record built item by item with TXTRecordZRK. */
    int BuildTxt(const std::vector<TxtItem> &items, Value &bytes, std::string &why)
    {
        HostObject txt = host().New("TXTRecordZRK");
        int status = SetItems(txt, items, why);
        bytes = host().Call(txt, "Bytes");
        host().Release(txt);
        return status;
    }

    /* ---- running an operation ---- */

    enum class Start { Started, NoDaemon, Refused };

    /* A refusal is checked against the daemon: where none answers, that is
     * the reason, whatever code the start left. */
    Start TryStart(Operation &operation, HostObject object)
    {
        if (operation.start(object))
            return Start::Started;
        if (!DaemonAnswers())
            return Start::NoDaemon;
        /* The daemon may have come back between the two. */
        return operation.start(object) ? Start::Started : Start::Refused;
    }

    int Run(Operation &operation, std::vector<Action> actions = {})
    {
        std::sort(actions.begin(), actions.end(), [](const Action &a, const Action &b) { return a.atMs < b.atMs; });
        HostObject object = host().New(operation.className);
        struct Ended {
            bool lost; /* the daemon went away, as far as the event tells */
            HostInteger code;
        };
        std::optional<Ended> ended;
        const long long unknownError = Known("kErrorUnknown");
        host().SetHandler(object, operation.eventName, [&](HostObject, const std::vector<Value> &a) {
            HostInteger code = a[operation.errorArgument].integer;
            if (code == 0) {
                operation.print(a);
                return;
            }
            Event(std::string(operation.what) + " error " + ErrorName(host(), code),
                  "!;" + std::to_string(code) + ";" + ErrorConstant(host(), code));
            /* Apple's library: the plug-in has ended the operation.  Avahi's:
             * kErrorUnknown is how it reports its daemon gone, and the
             * operation hears nothing more. */
            bool running = host().Call(object, "Running").boolean;
            ended = Ended{!running || code == unknownError, code};
            host().Call(object, "Close");
        });

        bool waiting = false;
        int status = kExitDone;
        auto begin = std::chrono::steady_clock::now();
        auto elapsed = [&] {
            return (long long)std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                                     begin)
                .count();
        };
        long long nextTry = 0;
        size_t nextAction = 0;

        /* Starts, or learns why not; false when the run is over. */
        auto start = [&](bool again) {
            switch (TryStart(operation, object)) {
            case Start::Started:
                waiting = false;
                Note(operation.started + (again ? " (again)" : ""));
                if (operation.afterStart && !operation.afterStart(object)) {
                    status = kExitFailure;
                    return false;
                }
                return true;
            case Start::NoDaemon:
                if (!line_.keepTrying) {
                    status = Fail(kExitFailure, kNoDaemon);
                    return false;
                }
                if (!waiting)
                    Note(std::string(kNoDaemon) + ": waiting for it");
                waiting = true;
                nextTry = elapsed() + kRetryMs;
                return true;
            case Start::Refused:
                status = Fail(kExitFailure, std::string(operation.startMethod) + " failed: " +
                                                Why(object, operation.startMethod));
                return false;
            }
            return false;
        };

        bool going = start(false);
        while (going && !gStop) {
            long long now = elapsed();
            if (ended) {
                Ended end = *ended;
                ended.reset();
                if (end.lost && line_.keepTrying) {
                    Note(std::string("the ") + operation.what + " ended; starting it again");
                    going = start(true);
                    continue;
                }
                std::string why = std::string("the ") + operation.what + " ended with " + ErrorName(host(), end.code);
                status = Fail(kExitFailure, DaemonAnswers() ? why : std::string(kNoDaemon) + ": " + why);
                break;
            }
            if (line_.timeoutMs && now >= *line_.timeoutMs)
                break;
            if (waiting && now >= nextTry) {
                going = start(true);
                continue;
            }
            if (nextAction < actions.size() && actions[nextAction].atMs <= now) {
                Action &action = actions[nextAction++];
                if (waiting)
                    Note(action.name + " not done: the " + operation.what + " is waiting for the daemon");
                else if (!action.run(object)) {
                    status = kExitFailure;
                    break;
                }
                continue;
            }
            long long wake = now + 1000;
            if (line_.timeoutMs)
                wake = std::min(wake, *line_.timeoutMs);
            if (nextAction < actions.size())
                wake = std::min(wake, actions[nextAction].atMs);
            if (waiting)
                wake = std::min(wake, nextTry);
            if (wake > now)
                host().RunUntil([&] { return gStop || ended.has_value(); }, (int)(wake - now));
        }
        host().Call(object, "Close");
        host().Release(object);
        if (status == kExitDone && waiting)
            status = Fail(kExitFailure, std::string(kNoDaemon) + ": it had not come back");
        return status;
    }

    /* ---- commands ---- */

    int Classes()
    {
        /* Loaded as the development environment loads it: classes only. */
        if (!Load(false))
            return kExitFailure;
        std::fputs(DescribeClasses(host()).c_str(), out_);
        return kExitDone;
    }

    int Status()
    {
        bool available = Available();
        std::fprintf(out_, "available: %s\n", available ? "yes" : "no");
        if (!available)
            return Fail(kExitFailure, kNoLibrary);
        bool daemon = DaemonAnswers();
        std::fprintf(out_, "daemon: %s\n", daemon ? "running" : "not running");
        HostInteger version = host().CallShared("DNSServiceBaseZRK", "GetDaemonVersion").integer;
        std::fprintf(out_, "daemon version: %s\n", version == 0 ? "unknown" : std::to_string(version).c_str());
        std::fflush(out_);
        return daemon ? kExitDone : Fail(kExitFailure, kNoDaemon);
    }

    /* Builds a record with an instance (SetValue, RemoveValue, Bytes, Length)
     * or takes one given, and reads it back with the instance's methods or
     * the shared ones. */
    int Txt()
    {
        HostObject txt = nullptr;
        Value bytes = Value::Str(line_.readRecord);
        if (!line_.readRecord) {
            txt = host().New("TXTRecordZRK");
            std::string why;
            if (int status = SetItems(txt, line_.txt, why)) {
                host().Release(txt);
                return Fail(status, why);
            }
            for (const std::string &key : line_.removeKeys)
                host().Call(txt, "RemoveValue", {Value::Str(key)});
            bytes = host().Call(txt, "Bytes");
        }
        auto read = [&](const char *method, std::vector<Value> arguments) {
            if (txt)
                return host().Call(txt, method, arguments);
            arguments.insert(arguments.begin(), bytes);
            return host().CallShared("TXTRecordZRK", method, arguments);
        };
        std::string record = bytes.text.value_or("");
        HostInteger length = txt ? host().Call(txt, "Length").integer : (HostInteger)record.size();
        HostInteger count = read("Count", {}).integer;
        std::vector<std::string> stored = TxtItems(record);
        std::string items;
        for (HostInteger i = 0; i < count; i++) {
            Value key = read("KeyAtIndex", {Value::Int(i)});
            Value value = read("ValueAtIndex", {Value::Int(i)});
            /* The class gives nil for an empty value and for none alike; the
             * record's bytes tell which. */
            bool equals = (size_t)i < stored.size() && stored[(size_t)i].find('=') != std::string::npos;
            std::string item = key.text.value_or("") + (value.text ? "=" + *value.text : equals ? "=" : "");
            items += (i ? " " : "") + Escape(item, Escaping::TxtItem);
        }
        std::fprintf(out_, "bytes (%ld): %s\n", (long)length, Hex(record).c_str());
        std::fprintf(out_, "items (%ld): %s\n", (long)count, items.c_str());
        for (const std::string &key : line_.getKeys) {
            bool present = read("ContainsKey", {Value::Str(key)}).boolean;
            Value value = read("Value", {Value::Str(key)});
            std::string found = !present       ? "absent"
                                : value.text   ? "=" + Escape(*value.text, Escaping::TxtItem)
                                               : "present, with no value or an empty one";
            std::fprintf(out_, "get %s: %s\n", Escape(key, Escaping::TxtItem).c_str(), found.c_str());
        }
        if (txt)
            host().Release(txt);
        return kExitDone;
    }

    int FullName()
    {
        Value full = host().CallShared("DNSServiceBaseZRK", "ConstructFullName",
                                       {Optional(line_.name), Value::Str(line_.type), Optional(line_.domain)});
        if (!full.text)
            return Fail(kExitFailure, "ConstructFullName refused these parts");
        std::fprintf(out_, "%s\n", Presentation(full.text).c_str());
        return kExitDone;
    }

    int Browse()
    {
        const long long add = Known("kFlagsAdd");
        Operation operation{"DNSServiceBrowseZRK", "ServiceBrowse", "browse", "Browse", 2,
                            "Browsing for " + Label(line_.type) + (line_.domain ? " in " + Label(line_.domain) : ""),
                            [&](HostObject o) {
                                return host()
                                    .Call(o, "Browse", {Interface(line_.interfaceIndex), Value::Str(line_.type),
                                                        Optional(line_.domain)})
                                    .boolean;
                            },
                            nullptr,
                            [&](const std::vector<Value> &a) {
                                bool added = (a[0].integer & add) != 0;
                                Event(std::string(added ? "Add" : "Rmv") + "  flags=" + Flags(a[0].integer) +
                                          " if=" + std::to_string(a[1].integer) + "  " + Label(a[5].text) + "  " +
                                          Label(a[4].text) + "  " + Label(a[3].text),
                                      std::string(added ? "+" : "-") + ";" + std::to_string(a[1].integer) + ";" +
                                          std::to_string(a[0].integer) + ";" + Field(a[3].text) + ";" +
                                          Field(a[4].text) + ";" + Field(a[5].text));
                            }};
        return Run(operation);
    }

    int Resolve()
    {
        std::string domain = line_.domain.value_or("local.");
        Operation operation{
            "DNSServiceResolveZRK", "ServiceResolve", "resolve", "Resolve", 2,
            "Resolving " + Label(line_.name) + " of type " + Label(line_.type) + " in " + Label(domain),
            [&](HostObject o) {
                return host()
                    .Call(o, "Resolve", {Interface(line_.interfaceIndex), Value::Str(line_.name.value_or("")),
                                         Value::Str(line_.type), Value::Str(domain)})
                    .boolean;
            },
            nullptr,
            [&](const std::vector<Value> &a) {
                std::string txt = DescribeTxt(a[6].text);
                std::string fields;
                for (const std::string &item : TxtItems(a[6].text.value_or("")))
                    fields += ";" + Escape(item, Escaping::Field);
                Event(Presentation(a[3].text) + " can be reached at " + Presentation(a[4].text) + ":" +
                          std::to_string(a[5].integer) + " if=" + std::to_string(a[1].integer) +
                          " flags=" + Flags(a[0].integer) + "  TXT" + (txt.empty() ? "" : " " + txt),
                      "=;" + std::to_string(a[1].integer) + ";" + std::to_string(a[0].integer) + ";" +
                          Field(a[3].text) + ";" + Field(a[4].text) + ";" + std::to_string(a[5].integer) + fields);
            }};
        return Run(operation);
    }

    int Register()
    {
        std::optional<long long> addType;
        if (line_.addRecord && !(addType = TypeNumber(line_.addRecord->type)))
            return UnknownType(line_.addRecord->type);
        Value txt, updated;
        std::string why;
        int status = BuildTxt(line_.txt, txt, why);
        if (status == kExitDone && line_.updateAfterMs)
            status = BuildTxt(line_.updateTxt, updated, why);
        if (status != kExitDone)
            return Fail(status, why);

        HostInteger flags = line_.noRename ? (HostInteger)Known("kFlagsNoAutoRename") : 0;
        HostInteger ttl = (HostInteger)line_.ttl.value_or(0);
        bool added = false, removed = false;
        Operation operation{
            "DNSServiceRegisterZRK", "ServiceRegistration", "registration", "Register", 1,
            "Registering " + (line_.name ? "\"" + Label(line_.name) + "\"" : std::string("(the computer's name)")) +
                " " + Label(line_.type) + " port " + std::to_string(line_.port),
            [&](HostObject o) {
                added = false;
                return host()
                    .Call(o, "Register", {Value::Int(flags), Interface(line_.interfaceIndex), Optional(line_.name),
                                          Value::Str(line_.type), Optional(line_.domain), Optional(line_.host),
                                          Value::Int(line_.port), txt})
                    .boolean;
            },
            [&](HostObject o) {
                if (!line_.addRecord || removed)
                    return true;
                host().Call(o, "AddRecord",
                            {Value::Int((HostInteger)*addType), Value::Str(line_.addRecord->data), Value::Int(ttl)});
                HostInteger result = host().Get(o, "Lasterror").integer;
                if (result != 0) {
                    Fail(kExitFailure, "AddRecord failed: " + ErrorName(host(), result));
                    return false;
                }
                added = true;
                Note("Added record of type " + line_.addRecord->type.given);
                return true;
            },
            [&](const std::vector<Value> &a) {
                Event("Registered \"" + Label(a[2].text) + "\" " + Label(a[3].text) + " " + Label(a[4].text) +
                          " flags=" + Flags(a[0].integer),
                      "R;" + std::to_string(a[0].integer) + ";" + Field(a[2].text) + ";" + Field(a[3].text) + ";" +
                          Field(a[4].text));
            }};

        std::vector<Action> actions;
        if (line_.updateAfterMs)
            actions.push_back({*line_.updateAfterMs, "UpdateRecord", [&](HostObject o) {
                                   host().Call(o, "UpdateRecord", {updated, Value::Int(ttl)});
                                   HostInteger result = host().Get(o, "Lasterror").integer;
                                   if (result != 0) {
                                       Fail(kExitFailure, "UpdateRecord failed: " + ErrorName(host(), result));
                                       return false;
                                   }
                                   /* UpdateRecord changes the added record while there is one. */
                                   Note(added ? "Updated the added record of type " + line_.addRecord->type.given +
                                                    ": " + DescribeTxt(updated.text)
                                              : "Updated TXT " + DescribeTxt(updated.text));
                                   return true;
                               }});
        if (line_.removeRecordAfterMs)
            actions.push_back({*line_.removeRecordAfterMs, "RemoveRecord", [&](HostObject o) {
                                   host().Call(o, "RemoveRecord");
                                   HostInteger result = host().Get(o, "Lasterror").integer;
                                   if (result != 0) {
                                       Fail(kExitFailure, "RemoveRecord failed: " + ErrorName(host(), result));
                                       return false;
                                   }
                                   added = false;
                                   removed = true;
                                   Note("Removed the added record of type " + line_.addRecord->type.given);
                                   return true;
                               }});
        return Run(operation, actions);
    }

    int Record()
    {
        std::optional<long long> type = TypeNumber(line_.recordType);
        if (!type)
            return UnknownType(line_.recordType);
        HostInteger flags = (HostInteger)Known(line_.shared ? "kFlagsShared" : "kFlagsUnique");
        HostInteger ttl = (HostInteger)line_.ttl.value_or(120);
        Operation operation{
            "DNSServiceRegisterRecordZRK", "ServiceRegistration", "record", "RegisterRecord", 1,
            "Registering record " + Presentation(line_.fullname) + " of type " + line_.recordType.given,
            [&](HostObject o) {
                return host()
                    .Call(o, "RegisterRecord",
                          {Value::Int(flags), Interface(line_.interfaceIndex), Value::Str(line_.fullname),
                           Value::Int((HostInteger)*type), Value::Int((HostInteger)Known("kClassIN")),
                           Value::Str(line_.data), Value::Int(ttl)})
                    .boolean;
            },
            nullptr,
            [&](const std::vector<Value> &a) {
                Event("Record registered flags=" + Flags(a[0].integer), "R;" + std::to_string(a[0].integer));
            }};
        std::vector<Action> actions;
        if (line_.updateAfterMs)
            actions.push_back({*line_.updateAfterMs, "UpdateRecord", [&](HostObject o) {
                                   host().Call(o, "UpdateRecord", {Value::Str(line_.updateData), Value::Int(ttl)});
                                   HostInteger result = host().Get(o, "Lasterror").integer;
                                   if (result != 0) {
                                       Fail(kExitFailure, "UpdateRecord failed: " + ErrorName(host(), result));
                                       return false;
                                   }
                                   Note("Updated the record: " + std::to_string(line_.updateData.size()) + " bytes");
                                   return true;
                               }});
        return Run(operation, actions);
    }

    int Domains()
    {
        const long long add = Known("kFlagsAdd");
        HostInteger flags =
            (HostInteger)Known(line_.registrationDomains ? "kFlagsRegistrationDomains" : "kFlagsBrowseDomains");
        Operation operation{
            "DNSServiceDomainEnumerationZRK", "ServiceDomainEnumeration", "domain enumeration", "EnumerateDomains", 2,
            std::string("Enumerating the domains recommended for ") +
                (line_.registrationDomains ? "registering" : "browsing"),
            [&](HostObject o) {
                return host().Call(o, "EnumerateDomains", {Value::Int(flags), Interface(line_.interfaceIndex)}).boolean;
            },
            nullptr,
            [&](const std::vector<Value> &a) {
                bool added = (a[0].integer & add) != 0;
                Event(std::string(added ? "Add" : "Rmv") + "  flags=" + Flags(a[0].integer) +
                          " if=" + std::to_string(a[1].integer) + "  " + Label(a[3].text),
                      std::string(added ? "+" : "-") + ";" + std::to_string(a[1].integer) + ";" +
                          std::to_string(a[0].integer) + ";" + Field(a[3].text));
            }};
        return Run(operation);
    }

    int UnknownType(const RecordType &type)
    {
        return Fail(kExitUsage, "'" + type.given + "' is not a record type the plug-in knows (no kType" + type.given +
                                    "): give its number");
    }

    const CommandLine &line_;
    FILE *out_;
    FILE *err_;
    std::unique_ptr<hostsim::Host> host_;
    bool loading_ = false;
    std::string loadFailure_;
};

}  // namespace

int RunTool(const std::vector<std::string> &args, FILE *out, FILE *err)
{
    int status = kExitDone;
    std::optional<CommandLine> line = ParseCommandLine(args, out, err, &status);
    if (!line)
        return status;
#ifndef _WIN32
    /* Avahi's library warns on every run that a program uses its
     * compatibility layer; this program loads it on purpose.  The user's own
     * setting wins. */
    setenv("AVAHI_COMPAT_NOWARN", "1", 0);
#endif
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    Tool tool(*line, out, err);
    return tool.Main();
}

}  // namespace tool
