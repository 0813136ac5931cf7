#include "command_line.h"

#include <CLI/CLI.hpp>

#include <cctype>
#include <cstdint>
#include <sstream>

namespace tool {

namespace {

const char kVersion[] = "zrk-dnssd " ZRK_VERSION;

const char kDescription[] =
    "zrk-dnssd: DNS Service Discovery from the command line.  A host program for the zrk-dnssd\n"
    "plug-in: it loads the plug-in and uses its classes as any host program does, printing each\n"
    "event as one line.\n";

const char kFooter[] =
    "Run 'zrk-dnssd COMMAND --help' for a command's options and an example.\n"
    "\n"
    "Options may also follow the command.  Without --timeout an operation runs until Ctrl-C.\n"
    "\n"
    "Output: one line per event, \"HH:MM:SS.mmm  ...\".  In names and TXT items, control bytes,\n"
    "the backslash and (in TXT items) the space and '\"' are written as \\DDD, the byte's value\n"
    "in decimal (\\032 is a space); an empty TXT item is \"\".  Host names and full names are\n"
    "shown as DNS-SD gives them (already escaped by DNS-SD).\n"
    "\n"
    "Parseable output (-p): one line per event, fields separated by ';', no timestamp; in every\n"
    "field the bytes ';', '\\' and control bytes are written as \\DDD, all others as they are:\n"
    "  +;IF;FLAGS;NAME;TYPE;DOMAIN       browse: an instance appeared (- : it went away)\n"
    "  =;IF;FLAGS;FULLNAME;HOST;PORT;ITEM...   resolve: one field per TXT item, KEY or KEY=VALUE\n"
    "  +;IF;FLAGS;DOMAIN                 domains: a domain appeared (- : it went away)\n"
    "  R;FLAGS;NAME;TYPE;DOMAIN          register: registered (record: R;FLAGS)\n"
    "  !;CODE;NAME                       the operation's event carried a DNS-SD error\n"
    "IF, FLAGS, PORT and CODE are decimal.  Messages about the tool's own actions go to stderr.\n"
    "\n"
    "Exit status:\n"
    "  0  done: the timeout or Ctrl-C ended a healthy run (or a command that runs once succeeded)\n"
    "  1  a DNS-SD failure: no DNS-SD library, no daemon, a start refused, an operation ended\n"
    "     by an error, a record change refused, or the plug-in could not be loaded\n"
    "  2  a usage error: nothing was sent to DNS-SD\n";

const char kOperationNote[] =
    "\n--keep-trying: when the DNS-SD daemon is not running or goes away, wait for it and start\n"
    "again once it is back (tried every second, until --timeout); other errors still end the run.\n"
    "--interface: an interface index, 'any' (0, the default) or 'local' (this machine only).\n";

bool IsDigits(const std::string &text)
{
    if (text.empty())
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

[[noreturn]] void Refuse(const std::string &option, const std::string &message)
{
    throw CLI::ValidationError(option, message);
}

std::string Quoted(const std::string &text)
{
    return "'" + text + "'";
}

std::string NotSeconds(const std::string &text)
{
    return Quoted(text) + " is not a number of seconds (digits, at most three decimals, at most " +
           std::to_string(kMaxSeconds) + ")";
}

long long Seconds(const std::string &option, const std::string &text, bool allowZero)
{
    std::optional<long long> ms = ParseSeconds(text);
    if (!ms)
        Refuse(option, NotSeconds(text));
    if (*ms == 0 && !allowZero)
        Refuse(option, "must be more than 0 seconds");
    return *ms;
}

RecordType Type(const std::string &option, const std::string &text)
{
    RecordType type{text, std::nullopt};
    if (IsDigits(text)) {
        std::optional<uint64_t> number = ParseDecimal(text, 0xFFFF);
        if (!number)
            Refuse(option, Quoted(text) + " is not a record type (0 to 65535, or a name such as A, TXT, AAAA)");
        type.number = (uint16_t)*number;
        return type;
    }
    bool name = !text.empty();
    for (char c : text)
        name = name && (std::isalnum((unsigned char)c) || c == '_');
    if (!name)
        Refuse(option, Quoted(text) + " is not a record type (0 to 65535, or a name such as A, TXT, AAAA)");
    return type;
}

std::string Data(const std::string &option, const std::string &text)
{
    std::optional<std::string> data = ParseData(text);
    if (!data)
        Refuse(option, Quoted(text) + " is not DATA: hex: needs two hex digits a byte");
    return *data;
}

std::vector<TxtItem> Items(const std::string &option, const std::vector<std::string> &texts)
{
    std::vector<TxtItem> items;
    for (const std::string &text : texts) {
        size_t eq = text.find('=');
        TxtItem item{text.substr(0, eq), std::nullopt};
        if (eq != std::string::npos)
            item.value = text.substr(eq + 1);
        if (item.key.empty())
            Refuse(option, Quoted(text) + " is not a TXT item: KEY or KEY=VALUE, with a KEY");
        items.push_back(item);
    }
    return items;
}

/* DNS-SD takes 32 unsigned bits; a 32-bit host's integers hold only 31. */
constexpr uint64_t kMaxTtl = INTPTR_MAX < 0xFFFFFFFF ? (uint64_t)INTPTR_MAX : 0xFFFFFFFFull;

uint32_t Ttl(const std::string &text)
{
    std::optional<uint64_t> ttl = ParseDecimal(text, kMaxTtl);
    if (!ttl)
        Refuse("--ttl", Quoted(text) + " is not a TTL (0 to " + std::to_string(kMaxTtl) + " seconds)");
    return (uint32_t)*ttl;
}

int64_t Interface(const std::string &text)
{
    if (text == "any")
        return 0;
    if (text == "local")
        return -1;
    std::optional<uint64_t> index = ParseDecimal(text, 0xFFFFFFFFull);
    if (!index)
        Refuse("--interface", Quoted(text) + " is not an interface: an index (0 to 4294967295), any or local");
    return (int64_t)*index;
}

/* What CLI11 reads; checked and converted once the whole line is read. */
struct Raw {
    std::string timeout, interfaceIndex = "any", port, ttl, updateAfter, removeRecordAfter;
    std::vector<std::string> txt, addRecord, update;
    std::string recordType, data;
    std::string name, domain, host, read;
};

bool Given(CLI::App *command, const std::string &name)
{
    const CLI::Option *option = command->get_option_no_throw(name);
    return option && option->count() > 0;
}

/* Run while CLI11 reads the line, so that a value in the wrong place is
 * named before whatever it leaves missing. */
const CLI::Validator kSecondsCheck(
    [](std::string &text) {
        return ParseSeconds(text) ? std::string() : NotSeconds(text);
    },
    "");

void AddInterface(CLI::App *command, Raw &raw)
{
    command->add_option("--interface", raw.interfaceIndex, "where to work: an interface index, any or local")
        ->type_name("INDEX");
}

void AddKeepTrying(CLI::App *command, CommandLine &line)
{
    command->add_flag("--keep-trying", line.keepTrying,
                      "while the DNS-SD daemon is away, wait for it and start again when it is back");
}

}  // namespace

std::optional<uint64_t> ParseDecimal(const std::string &text, uint64_t max)
{
    if (!IsDigits(text))
        return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        uint64_t digit = (uint64_t)(c - '0');
        if (value > (max - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

std::optional<long long> ParseSeconds(const std::string &text)
{
    size_t dot = text.find('.');
    std::string whole = text.substr(0, dot);
    std::string fraction = dot == std::string::npos ? "" : text.substr(dot + 1);
    if (dot != std::string::npos && (fraction.empty() || fraction.size() > 3 || !IsDigits(fraction)))
        return std::nullopt;
    std::optional<uint64_t> seconds = ParseDecimal(whole, (uint64_t)kMaxSeconds);
    if (!seconds)
        return std::nullopt;
    long long ms = (long long)*seconds * 1000;
    if (!fraction.empty())
        ms += (long long)*ParseDecimal((fraction + "00").substr(0, 3), 999);
    if (ms > kMaxSeconds * 1000)
        return std::nullopt;
    return ms;
}

std::optional<std::string> ParseData(const std::string &text)
{
    if (text.rfind("hex:", 0) != 0)
        return text;
    std::string hex = text.substr(4);
    if (hex.size() % 2)
        return std::nullopt;
    std::string bytes;
    for (size_t i = 0; i < hex.size(); i += 2) {
        int high = HexDigit(hex[i]), low = HexDigit(hex[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes += (char)(high * 16 + low);
    }
    return bytes;
}

std::optional<CommandLine> ParseCommandLine(const std::vector<std::string> &args, FILE *out, FILE *err,
                                            int *status)
{
    CommandLine line;
    Raw raw;
    CLI::App app(kDescription, "zrk-dnssd");
    app.set_version_flag("--version", kVersion);
    app.require_subcommand(1, 1);
    app.footer(kFooter);
    app.get_formatter()->label("SUBCOMMAND", "COMMAND");
    app.get_formatter()->label("Subcommands", "Commands");
    app.add_option("--plugin", line.plugin, "the plug-in to load (default: the one installed with zrk-dnssd)")
        ->type_name("PATH");
    app.add_option("--timeout", raw.timeout, "stop after SECONDS (more than 0; decimals allowed)")
        ->type_name("SECONDS")
        ->check(kSecondsCheck);
    app.add_flag("-p,--parseable", line.parseable, "one ';'-separated line per event, for scripts");

    CLI::App *status_ = app.add_subcommand("status", "is DNS-SD available, does its daemon answer, its version");
    status_->footer("Exit status 0 when the DNS-SD library is there and its daemon answers, else 1.\n"
                    "Example:\n  zrk-dnssd status");

    CLI::App *browse = app.add_subcommand("browse", "list the instances of a service type as they come and go");
    browse->add_option("TYPE", line.type, "service type, such as _http._tcp")->required();
    browse->add_option("DOMAIN", raw.domain, "domain (default: DNS-SD's, normally local.)");
    AddInterface(browse, raw);
    AddKeepTrying(browse, line);
    browse->footer(std::string("\nTYPE _services._dns-sd._udp lists the service types in use: each arrives as an\n"
                               "instance whose NAME is the type's first label and whose TYPE is the rest.\n") +
                   kOperationNote + "Example:\n  zrk-dnssd --timeout 5 browse _http._tcp");

    CLI::App *resolve = app.add_subcommand("resolve", "host, port and TXT record of one service instance");
    resolve->add_option("NAME", raw.name, "instance name, as browse shows it")->required();
    resolve->add_option("TYPE", line.type, "service type")->required();
    resolve->add_option("DOMAIN", raw.domain, "domain (default: local.)");
    AddInterface(resolve, raw);
    AddKeepTrying(resolve, line);
    resolve->footer(std::string(kOperationNote) + "Example:\n  zrk-dnssd --timeout 3 resolve \"My Server\" _http._tcp");

    CLI::App *reg = app.add_subcommand("register", "advertise a service until stopped");
    reg->add_option("NAME", raw.name, "instance name; \"\" lets DNS-SD use the computer's name")->required();
    reg->add_option("TYPE", line.type, "service type, such as _http._tcp")->required();
    reg->add_option("PORT", raw.port, "port, 0 to 65535")->required();
    reg->add_option("KEY=VALUE", raw.txt, "TXT items: KEY, KEY= (empty value) or KEY=VALUE");
    reg->add_option("--domain", raw.domain, "domain to register in (default: DNS-SD's)")->type_name("DOMAIN");
    reg->add_option("--host", raw.host, "host name the service is on (default: this computer)")->type_name("HOST");
    reg->add_flag("--no-rename", line.noRename, "on a name conflict, fail instead of taking another name");
    reg->add_option("--add-record", raw.addRecord, "add one more record to the service (AddRecord)")
        ->expected(2)
        ->type_name("RRTYPE DATA");
    reg->add_option("--update-after", raw.update,
                    "after SECONDS, replace the TXT record with these items\n"
                    "(UpdateRecord: while an added record is there, it changes that record)")
        ->expected(1, -1)
        ->allow_extra_args()
        ->type_name("SECONDS [KEY=VALUE...]");
    reg->add_option("--remove-record-after", raw.removeRecordAfter,
                    "after SECONDS, remove the added record (RemoveRecord)")
        ->type_name("SECONDS");
    reg->add_option("--ttl", raw.ttl, "TTL of --add-record and --update-after (default: DNS-SD's)")
        ->type_name("SECONDS");
    AddInterface(reg, raw);
    AddKeepTrying(reg, line);
    reg->footer(std::string("\nDATA is text, or hex:BYTES (two hex digits a byte).  RRTYPE is a number or a name\n"
                            "such as TXT.  TXT items that begin with '-' follow '--'.\n") +
                kOperationNote +
                "Example:\n  zrk-dnssd register \"My Server\" _http._tcp 8080 path=/index.html "
                "--update-after 10 path=/new.html");

    CLI::App *record = app.add_subcommand("record", "register one resource record on its own");
    record->add_option("FULLNAME", line.fullname, "the record's name, such as myhost.local.")->required();
    record->add_option("RRTYPE", raw.recordType, "record type: a number or a name such as A")->required();
    record->add_option("DATA", raw.data, "record data: text, or hex:BYTES")->required();
    record->add_option("--ttl", raw.ttl, "TTL in seconds (default 120)")->type_name("SECONDS");
    record->add_flag("--shared", line.shared, "a shared record (default: unique)");
    record->add_option("--update-after", raw.update, "after SECONDS, replace the record's data (UpdateRecord)")
        ->expected(2)
        ->type_name("SECONDS DATA");
    AddInterface(record, raw);
    AddKeepTrying(record, line);
    record->footer(std::string(kOperationNote) +
                   "Example:\n  zrk-dnssd record zrk-test.local. A hex:7f000001 --update-after 5 hex:7f000002");

    CLI::App *domains = app.add_subcommand("domains", "domains recommended for browsing (or registering)");
    domains->add_flag("--registration", line.registrationDomains, "domains recommended for registering");
    AddInterface(domains, raw);
    AddKeepTrying(domains, line);
    domains->footer(std::string(kOperationNote) + "Example:\n  zrk-dnssd --timeout 3 domains --registration");

    CLI::App *txt = app.add_subcommand("txt", "build a TXT record with TXTRecordZRK and read it back, or read one");
    txt->add_option("KEY=VALUE", raw.txt, "TXT items: KEY, KEY= (empty value) or KEY=VALUE (SetValue)");
    txt->add_option("--remove", line.removeKeys, "remove this key once the items are set (RemoveValue)")
        ->type_name("KEY")
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    txt->add_option("--get", line.getKeys, "look this key up (ContainsKey and Value)")
        ->type_name("KEY")
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    txt->add_option("--read", raw.read, "read this record instead, with the shared methods")->type_name("DATA");
    txt->footer("\nPrints the record's bytes in hex and its items as read back by the class.  DATA is text, or\n"
                "hex:BYTES.\nExamples:\n  zrk-dnssd txt path=/index.html version=1.0 secure --get path\n"
                "  zrk-dnssd txt --read hex:0b706174683d2f696e646578 --get path");

    CLI::App *fullname = app.add_subcommand("fullname", "the full DNS name of a service instance (ConstructFullName)");
    fullname->add_option("NAME", raw.name, "instance name; \"\" for the name of the type itself")->required();
    fullname->add_option("TYPE", line.type, "service type")->required();
    fullname->add_option("DOMAIN", raw.domain, "domain")->required();
    fullname->footer("Example:\n  zrk-dnssd fullname \"My Server\" _http._tcp local.");

    CLI::App *classes = app.add_subcommand("classes", "print every class, method, event and constant of the plug-in");
    classes->footer("Example:\n  zrk-dnssd classes");

    for (CLI::App *command : app.get_subcommands({})) {
        command->fallthrough();
        for (CLI::Option *option : command->get_options())
            if (option->get_positional())
                option->type_name("");
    }

    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
        const std::pair<CLI::App *, Verb> verbs[] = {
            {status_, Verb::Status}, {browse, Verb::Browse},   {resolve, Verb::Resolve}, {reg, Verb::Register},
            {record, Verb::Record},  {domains, Verb::Domains}, {txt, Verb::Txt},         {fullname, Verb::FullName},
            {classes, Verb::Classes},
        };
        CLI::App *command = nullptr;
        for (const auto &verb : verbs)
            if (verb.first->parsed()) {
                line.verb = verb.second;
                command = verb.first;
            }
        if (Given(command, "NAME"))
            line.name = raw.name;
        if (Given(command, "DOMAIN") || Given(command, "--domain"))
            line.domain = raw.domain;
        if (Given(command, "--host"))
            line.host = raw.host;
        if (!raw.timeout.empty())
            line.timeoutMs = Seconds("--timeout", raw.timeout, false);
        line.interfaceIndex = Interface(raw.interfaceIndex);
        if (line.verb == Verb::Register || line.verb == Verb::Txt)
            line.txt = Items(line.verb == Verb::Txt ? "KEY=VALUE" : "register", raw.txt);
        if (line.verb == Verb::Txt) {
            if (!raw.read.empty() || Given(txt, "--read")) {
                if (!raw.txt.empty() || !line.removeKeys.empty())
                    Refuse("--read", "reads a record as it is: no items to set or keys to remove");
                line.readRecord = Data("--read", raw.read);
            } else if (raw.txt.empty()) {
                Refuse("txt", "give KEY=VALUE items to build a record, or --read DATA");
            }
        }
        if (line.verb == Verb::FullName && line.name && line.name->empty())
            line.name.reset();
        if (line.verb == Verb::Register) {
            std::optional<uint64_t> port = ParseDecimal(raw.port, 0xFFFF);
            if (!port)
                Refuse("PORT", Quoted(raw.port) + " is not a port (0 to 65535)");
            line.port = (uint16_t)*port;
            if (line.name && line.name->empty())
                line.name.reset();
            if (!raw.addRecord.empty())
                line.addRecord = AddedRecord{Type("--add-record", raw.addRecord[0]), Data("--add-record", raw.addRecord[1])};
            if (!raw.update.empty()) {
                line.updateAfterMs = Seconds("--update-after", raw.update[0], true);
                line.updateTxt = Items("--update-after", {raw.update.begin() + 1, raw.update.end()});
            }
            if (!raw.removeRecordAfter.empty()) {
                if (!line.addRecord)
                    Refuse("--remove-record-after", "there is no record to remove without --add-record");
                line.removeRecordAfterMs = Seconds("--remove-record-after", raw.removeRecordAfter, true);
            }
            if (!raw.ttl.empty() && !line.addRecord && !line.updateAfterMs)
                Refuse("--ttl", "applies to --add-record and --update-after, and neither is given");
        }
        if (line.verb == Verb::Record) {
            line.recordType = Type("RRTYPE", raw.recordType);
            line.data = Data("DATA", raw.data);
            if (!raw.update.empty()) {
                line.updateAfterMs = Seconds("--update-after", raw.update[0], true);
                line.updateData = Data("--update-after", raw.update[1]);
            }
        }
        if (!raw.ttl.empty())
            line.ttl = Ttl(raw.ttl);
    } catch (const CLI::ParseError &error) {
        if (error.get_exit_code() == 0) {
            std::ostringstream text, ignored;
            app.exit(error, text, ignored);
            std::fputs(text.str().c_str(), out);
            *status = kExitDone;
            return std::nullopt;
        }
        std::string what = error.what();
        std::vector<std::string> left = app.remaining();
        if (app.get_subcommands().empty() && !left.empty())
            what = "'" + left[0] + "' is not a command";
        std::fprintf(err, "zrk-dnssd: %s\nRun 'zrk-dnssd --help' or 'zrk-dnssd COMMAND --help' for more.\n",
                     what.c_str());
        *status = kExitUsage;
        return std::nullopt;
    }
    return line;
}

}  // namespace tool
