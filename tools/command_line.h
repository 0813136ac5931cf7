/*
 * The command line of zrk-dnssd, read in full before anything is loaded or
 * sent: every number strictly and within its range, every option known and
 * complete.  A command line that does not pass is a usage error.
 */
#ifndef ZRK_TOOLS_COMMAND_LINE_H
#define ZRK_TOOLS_COMMAND_LINE_H

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace tool {

enum ExitStatus { kExitDone = 0, kExitFailure = 1, kExitUsage = 2 };

enum class Verb { Status, Browse, Resolve, Register, Record, Domains, Txt, FullName, Classes };

/* One TXT item as given: KEY or KEY=VALUE (VALUE may be empty). */
struct TxtItem {
    std::string key;
    std::optional<std::string> value;
};

/* A resource record type as given: a number, or the name of a kType
 * constant without its "kType" (A, TXT, AAAA...), looked up in the plug-in. */
struct RecordType {
    std::string given;
    std::optional<uint16_t> number;
};

/* An extra record of a registration. */
struct AddedRecord {
    RecordType type;
    std::string data;
};

struct CommandLine {
    Verb verb = Verb::Status;

    /* Options of every command. */
    std::string plugin;                 /* empty: beside the tool, or where it is installed */
    std::optional<long long> timeoutMs; /* none: until Ctrl-C */
    bool parseable = false;

    /* Options of the operations. */
    int64_t interfaceIndex = 0; /* 0 any, -1 local only */
    bool keepTrying = false;

    /* browse, resolve, register, fullname */
    std::optional<std::string> name; /* register, fullname: none lets DNS-SD choose */
    std::string type;
    std::optional<std::string> domain;

    /* register */
    std::optional<std::string> host;
    uint16_t port = 0;
    bool noRename = false;
    std::vector<TxtItem> txt; /* also the items of the txt command */
    std::optional<AddedRecord> addRecord;
    std::optional<long long> removeRecordAfterMs;

    /* register (TXT items) and record (DATA): one UpdateRecord */
    std::optional<long long> updateAfterMs;
    std::vector<TxtItem> updateTxt;
    std::string updateData;

    /* register (AddRecord, UpdateRecord) and record: none gives DNS-SD's
     * default for register and 120 s for record */
    std::optional<uint32_t> ttl;

    /* record */
    std::string fullname;
    RecordType recordType;
    std::string data;
    bool shared = false;

    /* domains */
    bool registrationDomains = false;

    /* txt: keys to remove once the items are set, keys to look up, and a
     * record to read instead of building one */
    std::vector<std::string> removeKeys;
    std::vector<std::string> getKeys;
    std::optional<std::string> readRecord;
};

/* Reads the arguments after the program's name.  Returns nothing, with the
 * exit status in *status, when there is nothing to run: after --help or
 * --version (0, printed on out) or a usage error (2, explained on err). */
std::optional<CommandLine> ParseCommandLine(const std::vector<std::string> &args, FILE *out, FILE *err,
                                            int *status);

/* Strict readings, also for what the tool reads later.  Decimal digits only:
 * no sign, no spaces, no base prefix, no exponent. */
std::optional<uint64_t> ParseDecimal(const std::string &text, uint64_t max);
/* Seconds as digits with at most three decimals, in milliseconds, at most
 * kMaxSeconds. */
constexpr long long kMaxSeconds = 2147483;
std::optional<long long> ParseSeconds(const std::string &text);
/* DATA: text as it is, or hex:BYTES with two hex digits a byte. */
std::optional<std::string> ParseData(const std::string &text);

}  // namespace tool

#endif
