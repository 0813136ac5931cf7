/*
 * TXTRecordZRK driven as a host program drives it, against Avahi's real TXT
 * functions (no daemon needed): records built with SetValue and RemoveValue,
 * and records of any bytes read through the shared methods, every answer
 * checked against the model in txt_model.h.  A wrong answer, a library
 * assertion, a string or hold left over ends the run.
 *
 * The input is a script: each step takes an operation and its arguments
 * from the fuzzer's bytes.
 */
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

#include "../host/plugin_main.h"
#include "../hostsim/host.h"
#include "txt_model.h"

namespace {

using hostsim::Value;
using txtmodel::Text;

hostsim::Host *gHost;

const char kClass[] = "TXTRecordZRK";

[[noreturn]] void Wrong(const std::string &what)
{
    std::fprintf(stderr, "txt_fuzz: %s\n", what.c_str());
    std::abort();
}

std::string Shown(const Text &text)
{
    if (!text)
        return "nil";
    std::string shown = "\"";
    for (unsigned char c : text->substr(0, 64)) {
        char hex[8];
        std::snprintf(hex, sizeof hex, c >= 0x20 && c < 0x7F && c != '\\' ? "%c" : "\\x%02x", c);
        shown += hex;
    }
    return shown + (text->size() > 64 ? "\"... (" + std::to_string(text->size()) + " bytes)" : "\"");
}

void ExpectText(const Value &got, const Text &want, uint32_t encoding, const std::string &what)
{
    if (got.type != hostsim::Type::String || got.text != want)
        Wrong(what + ": " + Shown(got.text) + ", expected " + Shown(want));
    if (want && got.encoding != encoding)
        Wrong(what + ": encoding " + std::to_string(got.encoding) + ", expected " + std::to_string(encoding));
}

void ExpectInteger(const Value &got, int64_t want, const std::string &what)
{
    if (got.type != hostsim::Type::Integer || got.integer != want)
        Wrong(what + ": " + std::to_string(got.integer) + ", expected " + std::to_string(want));
}

Value StrOrNil(const Text &text)
{
    return text ? Value::Str(*text) : Value::Nil();
}

/* The instance being built, and the model of what it holds. */
struct Instance {
    HostObject object = nullptr;
    txtmodel::Builder model;
    bool checked = false; /* CheckWhole has seen it as it is */
    std::optional<txtmodel::Reading> reading; /* of model, until it changes */

    const txtmodel::Reading &Held()
    {
        if (!reading)
            reading.emplace(model.Bytes());
        return *reading;
    }
    void Changed()
    {
        checked = false;
        reading.reset();
    }
};

/* A key to look up or set: often one the record holds, or one near it. */
Text TakeKey(FuzzedDataProvider &in, const txtmodel::Reading &reading)
{
    auto known = [&]() -> std::string {
        if (reading.Count() == 0)
            return "k";
        return std::string(txtmodel::KeyOf(reading.Item(in.ConsumeIntegralInRange<size_t>(0, reading.Count() - 1))));
    };
    switch (in.ConsumeIntegralInRange(0, 6)) {
    case 0: return in.ConsumeRandomLengthString(300);
    case 1: return known();
    case 2: {
        std::string key = known();
        for (char &c : key)
            if (c >= 'a' && c <= 'z')
                c = (char)(c - 'a' + 'A');
            else if (c >= 'A' && c <= 'Z')
                c = (char)(c - 'A' + 'a');
        return key;
    }
    case 3: {
        /* Lengths about the one-item limit, most of them at it. */
        size_t length = in.ConsumeBool() ? in.ConsumeIntegralInRange<size_t>(250, 260)
                                         : in.ConsumeIntegralInRange<size_t>(0, 300);
        return std::string(length, in.ConsumeIntegralInRange<char>(1, 127));
    }
    case 4: return std::string(in.ConsumeIntegralInRange<size_t>(0, 70000), 'k');
    case 5: {
        /* A known key cut, extended, or with "=" or NUL inside. */
        std::string key = known();
        std::string extra = in.ConsumeRandomLengthString(4);
        size_t at = in.ConsumeIntegralInRange<size_t>(0, key.size());
        return key.substr(0, at) + extra + (in.ConsumeBool() ? key.substr(at) : "");
    }
    default: return std::nullopt;
    }
}

Text TakeValue(FuzzedDataProvider &in)
{
    switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: return std::nullopt;
    case 1: return std::string(in.ConsumeIntegralInRange<size_t>(0, 300), in.ConsumeIntegral<char>());
    default: return in.ConsumeRandomLengthString(300);
    }
}

int64_t TakeIndex(FuzzedDataProvider &in, int64_t count)
{
    if (in.ConsumeIntegralInRange(0, 7) == 0)
        return in.ConsumeIntegral<int64_t>();
    return in.ConsumeIntegralInRange<int64_t>(-2, count + 2);
}

/* A record as one may arrive from the network: any bytes, the instance's
 * record altered, or more than any record can be. */
std::string TakeRecord(FuzzedDataProvider &in, const Instance &instance)
{
    switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: return in.ConsumeRandomLengthString(70000);
    case 1: {
        std::string record = instance.model.Bytes();
        if (!record.empty()) {
            size_t at = in.ConsumeIntegralInRange<size_t>(0, record.size() - 1);
            record[at] = (char)(record[at] ^ in.ConsumeIntegral<char>());
        }
        return record.substr(0, in.ConsumeIntegralInRange<size_t>(0, record.size())) +
               in.ConsumeRandomLengthString(16);
    }
    case 2: return std::string(in.ConsumeIntegralInRange<size_t>(0xFFF0, 0x10010), '\x01');
    default: return instance.model.Bytes();
    }
}

/* One reading method on a record, the instance's own or one given as a
 * string, checked against the model. */
void CheckRead(FuzzedDataProvider &in, const txtmodel::Reading &model, const Value *record, HostObject object)
{
    auto call = [&](const char *method, std::vector<Value> arguments) {
        if (record) {
            arguments.insert(arguments.begin(), *record);
            return gHost->CallShared(kClass, method, std::move(arguments));
        }
        return gHost->Call(object, method, std::move(arguments));
    };
    std::string on = record ? "shared " : "";
    switch (in.ConsumeIntegralInRange(0, 4)) {
    case 0: {
        Text key = TakeKey(in, model);
        Value got = call("ContainsKey", {StrOrNil(key)});
        std::string k = key.value_or("");
        bool strict = model.ContainsKey(k);
        /* DNS-SD matches a text that is no key against the item's text. */
        bool libraryMatch = !txtmodel::IsKey(k) && model.ItemTextStartsWith(k);
        if (got.type != hostsim::Type::Boolean || (got.boolean != strict && !(got.boolean && libraryMatch)))
            Wrong(on + "ContainsKey(" + Shown(key) + ") " + (got.boolean ? "true" : "false"));
        break;
    }
    case 1: {
        Text key = TakeKey(in, model);
        ExpectText(call("Value", {StrOrNil(key)}), model.Value(key.value_or("")), kHostEncodingASCII,
                   on + "Value(" + Shown(key) + ")");
        break;
    }
    case 2: ExpectInteger(call("Count", {}), model.Count(), on + "Count"); break;
    case 3: {
        int64_t index = TakeIndex(in, model.Count());
        ExpectText(call("KeyAtIndex", {Value::Int(index)}), model.KeyAtIndex(index), kHostEncodingASCII,
                   on + "KeyAtIndex(" + std::to_string(index) + ")");
        break;
    }
    default: {
        int64_t index = TakeIndex(in, model.Count());
        ExpectText(call("ValueAtIndex", {Value::Int(index)}), model.ValueAtIndex(index), kHostEncodingASCII,
                   on + "ValueAtIndex(" + std::to_string(index) + ")");
        break;
    }
    }
}

/* Everything the instance answers about its record. */
void CheckWhole(Instance &instance)
{
    if (instance.checked)
        return;
    instance.checked = true;
    std::string bytes = instance.model.Bytes();
    const txtmodel::Reading &model = instance.Held();
    HostObject object = instance.object;
    ExpectText(gHost->Call(object, "Bytes"), bytes.empty() ? Text() : bytes, kHostEncodingRaw, "Bytes");
    ExpectInteger(gHost->Call(object, "Length"), (int64_t)bytes.size(), "Length");
    ExpectInteger(gHost->Call(object, "Count"), model.Count(), "Count");
    /* Bytes pins down every item; reading each of a long record back would
     * cost more than it finds, so a long one is read at its ends and a
     * few places between. */
    int64_t count = model.Count(), stride = std::max<int64_t>(1, count / 16);
    for (int64_t i = 0; i < count; i += i < 8 || i >= count - 9 ? 1 : stride) {
        std::string key(txtmodel::KeyOf(model.Item((size_t)i)));
        ExpectText(gHost->Call(object, "KeyAtIndex", {Value::Int(i)}), model.KeyAtIndex(i), kHostEncodingASCII,
                   "KeyAtIndex(" + std::to_string(i) + ")");
        ExpectText(gHost->Call(object, "ValueAtIndex", {Value::Int(i)}), model.ValueAtIndex(i), kHostEncodingASCII,
                   "ValueAtIndex(" + std::to_string(i) + ")");
        if (!gHost->Call(object, "ContainsKey", {Value::Str(key)}).boolean)
            Wrong("ContainsKey(" + Shown(key) + ") false for the key of item " + std::to_string(i));
        ExpectText(gHost->Call(object, "Value", {Value::Str(key)}), model.Value(key), kHostEncodingASCII,
                   "Value(" + Shown(key) + ")");
    }
}

void SetValue(Instance &instance, const Text &key, const Text &value)
{
    std::string k = key.value_or("");
    txtmodel::Builder::SetAnswer want = instance.model.ExpectSet(k, value);
    Value got = gHost->Call(instance.object, "SetValue", {StrOrNil(key), StrOrNil(value)});
    bool full = want.mayBeFull && got.integer == txtmodel::kNoMemory;
    if (!full)
        ExpectInteger(got, want.code, "SetValue(" + Shown(key) + ", " + Shown(value) + ") at " +
                                          std::to_string(instance.model.Size()) + " bytes");
    if (got.integer == txtmodel::kNoError) {
        instance.model.Set(k, value);
        instance.Changed();
    }
}

void Run(FuzzedDataProvider &in)
{
    Instance instance;
    instance.object = gHost->New(kClass);
    size_t bulkLeft = 600;
    for (int step = 0; step < 64 && in.remaining_bytes() > 0; step++) {
        const txtmodel::Reading &held = instance.Held();
        switch (in.ConsumeIntegralInRange(0, 6)) {
        case 0: {
            Text key = TakeKey(in, held);
            SetValue(instance, key, TakeValue(in));
            break;
        }
        case 1: {
            Text key = TakeKey(in, held);
            gHost->Call(instance.object, "RemoveValue", {StrOrNil(key)});
            instance.model.Remove(key.value_or(""));
            instance.Changed();
            break;
        }
        case 2: CheckRead(in, held, nullptr, instance.object); break;
        case 3: {
            std::string bytes = TakeRecord(in, instance);
            Value record = bytes.empty() && in.ConsumeBool() ? Value::Nil() : Value::Str(bytes);
            CheckRead(in, txtmodel::Reading(bytes), &record, nullptr);
            break;
        }
        case 4: {
            /* Many items at once, towards the record's 16-bit limit: enough
             * in one input to reach it twice, and no more, for speed. */
            size_t count = in.ConsumeIntegralInRange<size_t>(0, std::min<size_t>(300, bulkLeft));
            bulkLeft -= count;
            std::string prefix = in.ConsumeRandomLengthString(8);
            size_t length = in.ConsumeIntegralInRange<size_t>(0, 253);
            for (size_t i = 0; i < count; i++)
                SetValue(instance, prefix + std::to_string(i), std::string(length, 'v'));
            break;
        }
        case 5: CheckWhole(instance); break;
        default:
            /* A new instance; the old one goes, as the program lets it go. */
            CheckWhole(instance);
            gHost->Release(instance.object);
            instance.model = txtmodel::Builder();
            instance.Changed();
            instance.object = gHost->New(kClass);
            break;
        }
    }
    CheckWhole(instance);
    gHost->Release(instance.object);
    gHost->CheckBalanced();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    /* Avahi's library warns on stderr that it is a compatibility layer. */
    setenv("AVAHI_COMPAT_NOWARN", "1", 0);
    gHost = new hostsim::Host();
    gHost->StartPlugin(&REALPluginMain);
    if (!gHost->CallShared("DNSServiceBaseZRK", "Available").boolean) {
        std::fprintf(stderr, "txt_fuzz: no DNS-SD library: Avahi's libdns_sd.so.1 is not installed\n");
        std::exit(1);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    Run(in);
    return 0;
}
