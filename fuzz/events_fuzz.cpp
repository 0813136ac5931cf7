/*
 * Event delivery driven as host programs drive it: instances of the five
 * operation classes started, closed, restarted and let go, replies of any
 * content queued through the scripted DNS-SD library, connections broken,
 * poll ticks, and handlers that do any of this in the middle of a tick, run
 * a nested tick or message loop, or let their own instance go.
 *
 * Every event is checked against the reply it stands for: its instance's
 * open reference, in the order queued, with the same flags, codes, port and
 * bytes (strings nil where empty).  An operation whose connection broke is
 * ended at the next tick and told once.  After every step each open
 * operation has one live reference and one poll-list node; after each input
 * nothing is left: no reference, record, poll-list node, string or hold, and
 * the library saw no call it would not survive.
 *
 * Plug-in state lives as long as the process, so one host serves every
 * input, and each input opens and lets go of its own instances.
 *
 * Built twice: the library hands over one reply per DNSServiceProcessResult
 * (as Avahi's does), or, with ZRK_FUZZ_DELIVER_ALL, every reply waiting (as
 * Apple's does).
 */
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "../dnssd/poll_list.h"
#include "../dnssd/service_record.h"
#include "../host/plugin_main.h"
#include "../hostsim/host.h"
#include "scripted_dnssd.h"

namespace {

using hostsim::Value;

enum Kind { kBrowse, kResolve, kDomains, kRegister, kRecord, kKindCount };

const struct {
    const char *cls;
    const char *event;
    const char *startEntry; /* the DNS-SD function the start calls last */
    size_t errorArgument;
} kKinds[kKindCount] = {
    {"DNSServiceBrowseZRK", "ServiceBrowse", "DNSServiceBrowse", 2},
    {"DNSServiceResolveZRK", "ServiceResolve", "DNSServiceResolve", 2},
    {"DNSServiceDomainEnumerationZRK", "ServiceDomainEnumeration", "DNSServiceEnumerateDomains", 2},
    {"DNSServiceRegisterZRK", "ServiceRegistration", "DNSServiceRegister", 1},
    {"DNSServiceRegisterRecordZRK", "ServiceRegistration", "DNSServiceRegisterRecord", 1},
};

/* Per input. */
constexpr size_t kMaxInstances = 8;
constexpr int kMaxSteps = 48;
constexpr int kMaxReplies = 256;
constexpr int kMaxDepth = 3;

hostsim::Host *gHost;

[[noreturn]] void Wrong(const std::string &what)
{
    std::fprintf(stderr, "events_fuzz: %s\n", what.c_str());
    std::abort();
}

struct Instance {
    Kind kind;
    HostObject object;
    bool held = true;      /* the program still holds its reference */
    bool listening = true; /* a handler is set */
    DNSServiceRef lastRef = nullptr;
};

/* What is known of one reference handed out during the input. */
struct RefState {
    size_t instance;
    std::deque<std::vector<Value>> replies; /* queued, not yet delivered */
    /* Replies may have gone unheard: the instance had no handler for a
     * while. */
    bool mayDrop = false;
    DNSServiceErrorType broken = 0;
    unsigned long brokenAtTick = 0;
    bool told = false;
};

struct Input {
    FuzzedDataProvider *in;
    std::vector<Instance> instances;
    std::map<DNSServiceRef, RefState> refs;
    std::vector<DNSRecordRef> records;
    int replies = 0;
    int depth = 0;
};

Input *gInput;

FuzzedDataProvider &In()
{
    return *gInput->in;
}

Value Int32(uint32_t value)
{
    return Value::Int((HostInteger)(int32_t)value);
}

/* A string as an event carries it: nil when empty, tagged as given. */
Value EventString(const std::string &text, uint32_t encoding)
{
    if (text.empty())
        return Value::Nil();
    Value value = Value::Str(text);
    value.encoding = encoding;
    return value;
}

std::string Shown(const Value &value)
{
    if (value.type != hostsim::Type::String)
        return std::to_string(value.integer);
    if (!value.text)
        return "nil";
    std::string shown = "\"";
    for (unsigned char c : value.text->substr(0, 40)) {
        char hex[8];
        std::snprintf(hex, sizeof hex, c >= 0x20 && c < 0x7F && c != '\\' ? "%c" : "\\x%02x", c);
        shown += hex;
    }
    shown += "\"";
    if (value.text->size() > 40)
        shown += "... (" + std::to_string(value.text->size()) + " bytes)";
    return shown + " tag " + std::to_string(value.encoding);
}

bool SameValue(const Value &a, const Value &b)
{
    return a.type == b.type && a.integer == b.integer && a.boolean == b.boolean && a.text == b.text &&
           a.encoding == b.encoding;
}

void ExpectArguments(const std::vector<Value> &got, const std::vector<Value> &want, const std::string &what)
{
    bool same = got.size() == want.size();
    for (size_t i = 0; same && i < got.size(); i++)
        same = SameValue(got[i], want[i]);
    if (same)
        return;
    std::string text = what + ": got (";
    for (const Value &value : got)
        text += Shown(value) + ", ";
    text += ") expected (";
    for (const Value &value : want)
        text += Shown(value) + ", ";
    Wrong(text + ")");
}

ServiceRecord *RecordOf(const Instance &instance)
{
    return static_cast<ServiceRecord *>(gHost->ClassData(instance.object, "DNSServiceBaseZRK"));
}

DNSServiceRef HandleOf(const Instance &instance)
{
    return reinterpret_cast<DNSServiceRef>(gHost->Get(instance.object, "Handle").integer);
}

bool Alive(const Instance &instance)
{
    return gHost->Alive(instance.object);
}

/* ---- what a program passes ---- */

/* A name as a reply carries it: any bytes up to a NUL, of any length. */
std::string TakeName(FuzzedDataProvider &in)
{
    switch (in.ConsumeIntegralInRange(0, 7)) {
    case 0: return "";
    case 1: return std::string(in.ConsumeIntegralInRange<size_t>(0, 100000), in.ConsumeIntegralInRange<char>(1, 127));
    default: {
        std::string text = in.ConsumeRandomLengthString(2000);
        return text.substr(0, text.find('\0'));
    }
    }
}

/* A null pointer, or the name. */
const char *NameArgument(bool null, const std::string &text)
{
    return null ? nullptr : text.c_str();
}

Value TakeArgumentString(FuzzedDataProvider &in)
{
    switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: return Value::Nil();
    case 1: return Value::Str(std::string(in.ConsumeIntegralInRange<size_t>(0, 70000), 'x'));
    default: return Value::Str(in.ConsumeRandomLengthString(300));
    }
}

/* Small and valid most of the time; any 64-bit value now and then. */
Value TakeArgumentInteger(FuzzedDataProvider &in, HostInteger high)
{
    if (in.ConsumeIntegralInRange(0, 7) == 0)
        return Value::Int(in.ConsumeIntegral<HostInteger>());
    return Value::Int(in.ConsumeIntegralInRange<HostInteger>(0, high));
}

/* ---- the checks ---- */

/* Each open operation holds one live reference and one poll-list node; a
 * closed one neither. */
void CheckOperations(const std::string &when)
{
    size_t open = 0;
    for (const Instance &instance : gInput->instances) {
        if (!Alive(instance))
            continue;
        DNSServiceRef handle = HandleOf(instance);
        if (gHost->Call(instance.object, "Running").boolean != (handle != nullptr))
            Wrong(when + ": Running disagrees with Handle");
        if (!handle)
            continue;
        open++;
        if (!scripted::IsLive(handle))
            Wrong(when + ": an open operation's reference was deallocated");
        if (!gInput->refs.count(handle))
            Wrong(when + ": an open operation holds a reference no start made");
    }
    for (const auto &entry : gInput->refs) {
        bool held = false;
        for (const Instance &instance : gInput->instances)
            held = held || (Alive(instance) && HandleOf(instance) == entry.first);
        if (scripted::IsLive(entry.first) && !held)
            Wrong(when + ": a reference no operation holds is still live");
    }
    if (PollListLength() != open)
        Wrong(when + ": " + std::to_string(PollListLength()) + " poll-list nodes for " + std::to_string(open) +
              " open operations");
}

/* After a tick from the timer: every reply waiting was delivered in order
 * (the rest still waits), and every operation whose connection broke before
 * the tick has ended. */
void CheckAfterTick(unsigned long tick)
{
    CheckOperations("after a tick");
    for (auto &entry : gInput->refs) {
        RefState &ref = entry.second;
        if (!scripted::IsLive(entry.first))
            continue;
        if (ref.broken && ref.brokenAtTick < tick)
            Wrong("an operation whose connection broke is still open after a tick");
        size_t waiting = (size_t)scripted::QueuedReplies(entry.first);
        if (!ref.broken && (ref.mayDrop ? ref.replies.size() < waiting : ref.replies.size() != waiting))
            Wrong(std::to_string(ref.replies.size()) + " replies expected, " + std::to_string(waiting) +
                  " waiting in the library");
    }
}

/* ---- what a program does ---- */

void OnEvent(size_t index, HostObject self, const std::vector<Value> &arguments);

bool Start(size_t index)
{
    Instance &instance = gInput->instances[index];
    FuzzedDataProvider &in = In();
    /* Now and then DNS-SD refuses. */
    const char *refusing = nullptr;
    if (in.ConsumeIntegralInRange(0, 15) == 0) {
        refusing = instance.kind == kRecord && in.ConsumeBool() ? "DNSServiceCreateConnection"
                                                                : kKinds[instance.kind].startEntry;
        scripted::SetResult(refusing, in.ConsumeIntegralInRange<int32_t>(-65571, -65537));
    }
    DNSServiceRef before = scripted::LastRef();
    std::vector<Value> arguments;
    const char *method = nullptr;
    switch (instance.kind) {
    case kBrowse:
        method = "Browse";
        arguments = {TakeArgumentInteger(in, 8), TakeArgumentString(in), TakeArgumentString(in)};
        break;
    case kResolve:
        method = "Resolve";
        arguments = {TakeArgumentInteger(in, 8), TakeArgumentString(in), TakeArgumentString(in),
                     TakeArgumentString(in)};
        break;
    case kDomains:
        method = "EnumerateDomains";
        arguments = {TakeArgumentInteger(in, 0xFF), TakeArgumentInteger(in, 8)};
        break;
    case kRegister:
        method = "Register";
        arguments = {TakeArgumentInteger(in, 8),  TakeArgumentInteger(in, 8),      TakeArgumentString(in),
                     TakeArgumentString(in),      TakeArgumentString(in),          TakeArgumentString(in),
                     TakeArgumentInteger(in, 0x10000), TakeArgumentString(in)};
        break;
    default:
        method = "RegisterRecord";
        arguments = {TakeArgumentInteger(in, 0xFF),    TakeArgumentInteger(in, 8),
                     TakeArgumentString(in),           TakeArgumentInteger(in, 0x10000),
                     TakeArgumentInteger(in, 0x10000), TakeArgumentString(in),
                     TakeArgumentInteger(in, 7200)};
        break;
    }
    bool started = gHost->Call(instance.object, method, std::move(arguments)).boolean;
    if (refusing)
        scripted::ClearResult(refusing);
    DNSServiceRef handle = HandleOf(instance);
    if (started != (handle != nullptr))
        Wrong(std::string(method) + " answered " + (started ? "true" : "false") + " with Handle " +
              (handle ? "set" : "0"));
    /* A reference the start made, kept or deallocated at once (a refused
     * record gives its connection back). */
    DNSServiceRef made = scripted::LastRef();
    if (made != before) {
        RefState state;
        state.instance = index;
        state.mayDrop = !instance.listening;
        gInput->refs[made] = state;
    }
    if (started) {
        if (handle != made)
            Wrong(std::string(method) + " holds a reference other than the one it made");
        instance.lastRef = handle;
        if (ServiceRecord *record = RecordOf(instance); record->RecordRef)
            gInput->records.push_back(record->RecordRef);
    }
    return started;
}

void Close(size_t index)
{
    gHost->Call(gInput->instances[index].object, "Close");
}

void Release(size_t index)
{
    Instance &instance = gInput->instances[index];
    if (!instance.held)
        return;
    instance.held = false;
    gHost->Release(instance.object);
}

void Listen(size_t index)
{
    Instance &instance = gInput->instances[index];
    instance.listening = true;
    gHost->SetHandler(instance.object, kKinds[instance.kind].event,
                      [index](HostObject self, const std::vector<Value> &arguments) {
                          OnEvent(index, self, arguments);
                      });
}

void StopListening(size_t index)
{
    Instance &instance = gInput->instances[index];
    instance.listening = false;
    gHost->ClearHandler(instance.object, kKinds[instance.kind].event);
    if (DNSServiceRef handle = HandleOf(instance))
        gInput->refs.at(handle).mayDrop = true;
}

void ToggleListening(size_t index)
{
    if (gInput->instances[index].listening)
        StopListening(index);
    else
        Listen(index);
}

size_t NewInstance(Kind kind)
{
    Instance instance;
    instance.kind = kind;
    instance.object = gHost->New(kKinds[kind].cls);
    gInput->instances.push_back(instance);
    size_t index = gInput->instances.size() - 1;
    Listen(index);
    return index;
}

/* One reply for the instance's open operation, of any content. */
void QueueReply(size_t index)
{
    Instance &instance = gInput->instances[index];
    DNSServiceRef handle = Alive(instance) ? HandleOf(instance) : nullptr;
    if (!handle || gInput->replies >= kMaxReplies)
        return;
    RefState &ref = gInput->refs.at(handle);
    if (ref.broken)
        return;
    gInput->replies++;
    FuzzedDataProvider &in = In();
    auto flags = in.ConsumeIntegral<uint32_t>();
    auto interfaceIndex = in.ConsumeIntegral<uint32_t>();
    auto error = in.ConsumeIntegral<int32_t>();
    const uint32_t utf8 = kHostEncodingUTF8;
    std::vector<Value> want;
    switch (instance.kind) {
    case kBrowse: {
        bool nulls[3] = {in.ConsumeBool(), in.ConsumeBool(), in.ConsumeBool()};
        std::string name = TakeName(in), type = TakeName(in), domain = TakeName(in);
        scripted::QueueBrowseReply(handle, flags, interfaceIndex, error, NameArgument(nulls[0], name),
                                   NameArgument(nulls[1], type), NameArgument(nulls[2], domain));
        want = {Int32(flags), Int32(interfaceIndex), Int32((uint32_t)error), EventString(nulls[0] ? "" : name, utf8),
                EventString(nulls[1] ? "" : type, utf8), EventString(nulls[2] ? "" : domain, utf8)};
        break;
    }
    case kResolve: {
        bool nulls[2] = {in.ConsumeBool(), in.ConsumeBool()};
        std::string fullname = TakeName(in), target = TakeName(in);
        auto port = in.ConsumeIntegral<uint16_t>();
        std::string txt = in.ConsumeBool() ? std::string(in.ConsumeIntegralInRange<size_t>(0, 0xFFFF), '\x03')
                                           : in.ConsumeRandomLengthString(0xFFFF);
        const unsigned char travelling[2] = {(unsigned char)(port >> 8), (unsigned char)port};
        uint16_t networkPort;
        std::memcpy(&networkPort, travelling, sizeof networkPort);
        scripted::QueueResolveReply(handle, flags, interfaceIndex, error, NameArgument(nulls[0], fullname),
                                    NameArgument(nulls[1], target), networkPort, txt);
        want = {Int32(flags),
                Int32(interfaceIndex),
                Int32((uint32_t)error),
                EventString(nulls[0] ? "" : fullname, utf8),
                EventString(nulls[1] ? "" : target, utf8),
                Value::Int(port),
                EventString(txt, kHostEncodingRaw)};
        break;
    }
    case kDomains: {
        bool null = in.ConsumeBool();
        std::string domain = TakeName(in);
        scripted::QueueDomainReply(handle, flags, interfaceIndex, error, NameArgument(null, domain));
        want = {Int32(flags), Int32(interfaceIndex), Int32((uint32_t)error), EventString(null ? "" : domain, utf8)};
        break;
    }
    case kRegister: {
        bool nulls[3] = {in.ConsumeBool(), in.ConsumeBool(), in.ConsumeBool()};
        std::string name = TakeName(in), type = TakeName(in), domain = TakeName(in);
        scripted::QueueRegisterReply(handle, flags, error, NameArgument(nulls[0], name), NameArgument(nulls[1], type),
                                     NameArgument(nulls[2], domain));
        want = {Int32(flags), Int32((uint32_t)error), EventString(nulls[0] ? "" : name, utf8),
                EventString(nulls[1] ? "" : type, utf8), EventString(nulls[2] ? "" : domain, utf8)};
        break;
    }
    default:
        scripted::QueueRecordReply(handle, RecordOf(instance)->RecordRef, flags, error);
        want = {Int32(flags), Int32((uint32_t)error)};
        break;
    }
    ref.replies.push_back(std::move(want));
}

void BreakConnection(size_t index)
{
    Instance &instance = gInput->instances[index];
    DNSServiceRef handle = Alive(instance) ? HandleOf(instance) : nullptr;
    if (!handle)
        return;
    RefState &ref = gInput->refs.at(handle);
    if (ref.broken)
        return;
    ref.broken = In().ConsumeIntegralInRange<int32_t>(-65571, -65537);
    ref.brokenAtTick = PollTickCount();
    scripted::BreakConnection(handle, ref.broken);
}

/* The register classes' record methods, with data of any length. */
void RecordMethods(size_t index)
{
    Instance &instance = gInput->instances[index];
    FuzzedDataProvider &in = In();
    if (instance.kind != kRegister && instance.kind != kRecord)
        return;
    int which = instance.kind == kRecord ? 2 : in.ConsumeIntegralInRange(0, 2);
    if (which == 0) {
        gHost->Call(instance.object, "AddRecord",
                    {TakeArgumentInteger(in, 0x10000), TakeArgumentString(in), TakeArgumentInteger(in, 7200)});
        if (ServiceRecord *record = RecordOf(instance); record->RecordRef)
            gInput->records.push_back(record->RecordRef);
    } else if (which == 1) {
        gHost->Call(instance.object, "RemoveRecord");
    } else {
        gHost->Call(instance.object, "UpdateRecord", {TakeArgumentString(in), TakeArgumentInteger(in, 7200)});
    }
}

/* The timer's tick, as the host's message loop delivers it. */
void Tick()
{
    unsigned long tick = PollTickCount() + 1;
    PollTimerProc();
    if (gInput->depth == 0)
        CheckAfterTick(tick);
}

/* Another instance the program still holds. */
bool PickOther(size_t index, size_t *other)
{
    std::vector<size_t> alive;
    for (size_t i = 0; i < gInput->instances.size(); i++)
        if (i != index && gInput->instances[i].held)
            alive.push_back(i);
    if (alive.empty())
        return false;
    *other = alive[In().ConsumeIntegralInRange<size_t>(0, alive.size() - 1)];
    return true;
}

/* What a handler does with its own instance and the others. */
void HandlerAction(size_t self)
{
    FuzzedDataProvider &in = In();
    size_t other;
    switch (in.ConsumeIntegralInRange(0, 14)) {
    case 0: Close(self); break;
    case 1: Start(self); break;
    case 2: Release(self); break;
    case 3:
        if (PickOther(self, &other))
            Close(other);
        break;
    case 4:
        if (PickOther(self, &other))
            Start(other);
        break;
    case 5:
        if (PickOther(self, &other))
            Release(other);
        break;
    case 6:
        if (gInput->instances.size() < kMaxInstances)
            Start(NewInstance((Kind)in.ConsumeIntegralInRange(0, kKindCount - 1)));
        break;
    case 7:
        /* As the timer fires inside a modal dialog's loop. */
        if (gInput->depth < kMaxDepth)
            Tick();
        break;
    case 8:
        if (gInput->depth < kMaxDepth)
            gHost->RunFor(0);
        break;
    case 9: QueueReply(in.ConsumeBool() && PickOther(self, &other) ? other : self); break;
    case 10:
        if (PickOther(self, &other))
            BreakConnection(other);
        break;
    case 11: ToggleListening(in.ConsumeBool() && PickOther(self, &other) ? other : self); break;
    case 12: RecordMethods(self); break;
    case 13:
        if (PickOther(self, &other))
            QueueReply(other);
        break;
    default: gHost->Get(gInput->instances[self].object, "Lasterror"); break;
    }
}

/* Whatever the event, the instance is alive and held for the handler. */
void OnEvent(size_t index, HostObject self, const std::vector<Value> &arguments)
{
    Instance &instance = gInput->instances[index];
    const auto &kind = kKinds[instance.kind];
    if (self != instance.object)
        Wrong(std::string(kind.event) + " delivered to another instance");
    DNSServiceRef handle = HandleOf(instance);
    if (handle) {
        auto found = gInput->refs.find(handle);
        if (found == gInput->refs.end() || found->second.instance != index)
            Wrong(std::string(kind.event) + " for a reference its instance did not start");
        RefState &ref = found->second;
        size_t waiting = (size_t)scripted::QueuedReplies(handle);
        while (ref.mayDrop && ref.replies.size() > waiting + 1)
            ref.replies.pop_front();
        if (ref.replies.size() != waiting + 1)
            Wrong(std::string(kind.event) + ": " + std::to_string(ref.replies.size()) + " replies expected, " +
                  std::to_string(waiting) + " more waiting");
        ExpectArguments(arguments, ref.replies.front(), kind.event);
        ref.replies.pop_front();
    } else {
        /* The operation has ended: closed first, then told with its code. */
        auto found = gInput->refs.find(instance.lastRef);
        if (found == gInput->refs.end() || !found->second.broken || found->second.told)
            Wrong(std::string(kind.event) + " while closed, for no broken connection or told twice");
        RefState &ref = found->second;
        ref.told = true;
        std::vector<Value> want(arguments.size(), Value::Int(0));
        for (size_t i = 0; i < want.size(); i++)
            if (arguments[i].type == hostsim::Type::String)
                want[i] = Value::Nil();
        want[kind.errorArgument] = Int32((uint32_t)ref.broken);
        ExpectArguments(arguments, want, std::string(kind.event) + " that ends the operation");
        if (gHost->Get(self, "Lasterror").integer != ref.broken)
            Wrong("Lasterror after the end is not the code");
    }
    gInput->depth++;
    for (int actions = In().ConsumeIntegralInRange(0, 2); actions > 0; actions--)
        HandlerAction(index);
    gInput->depth--;
}

void Run(FuzzedDataProvider &in)
{
    Input input;
    input.in = &in;
    gInput = &input;
    size_t misuses = scripted::Misuses().size();
    int callsAfterFailure = scripted::CallsAfterFailure();

    for (int count = in.ConsumeIntegralInRange(1, 4); count > 0; count--)
        Start(NewInstance((Kind)in.ConsumeIntegralInRange(0, kKindCount - 1)));
    for (int step = 0; step < kMaxSteps && in.remaining_bytes() > 0; step++) {
        size_t index = in.ConsumeIntegralInRange<size_t>(0, input.instances.size() - 1);
        bool alive = Alive(input.instances[index]);
        switch (in.ConsumeIntegralInRange(0, 11)) {
        case 0:
        case 1:
        case 2:
            for (int replies = in.ConsumeIntegralInRange(1, 4); replies > 0; replies--)
                QueueReply(index);
            break;
        case 3: Tick(); break;
        case 4:
            if (in.ConsumeBool())
                Tick();
            else
                gHost->RunFor(0);
            break;
        case 5:
            if (alive)
                Start(index);
            break;
        case 6:
            if (alive)
                Close(index);
            break;
        case 7: Release(index); break;
        case 8:
            if (input.instances.size() < kMaxInstances)
                Start(NewInstance((Kind)in.ConsumeIntegralInRange(0, kKindCount - 1)));
            break;
        case 9: BreakConnection(index); break;
        case 10:
            if (alive)
                ToggleListening(index);
            break;
        default:
            if (alive)
                RecordMethods(index);
            break;
        }
        CheckOperations("after a step");
    }

    for (size_t i = 0; i < input.instances.size(); i++)
        Release(i);
    for (const Instance &instance : input.instances)
        if (Alive(instance))
            Wrong(std::string("an instance of ") + kKinds[instance.kind].cls + " outlived its last reference");
    for (const auto &entry : input.refs)
        if (scripted::IsLive(entry.first))
            Wrong("a reference is still live once every instance is gone");
    for (DNSRecordRef record : input.records)
        if (scripted::IsLiveRecord(record))
            Wrong("a record is still registered once every instance is gone");
    if (PollListLength() != 0)
        Wrong(std::to_string(PollListLength()) + " poll-list nodes once every instance is gone");
    gHost->CheckBalanced();
    std::vector<std::string> seen = scripted::Misuses();
    if (seen.size() != misuses)
        Wrong("the DNS-SD library was misused: " + seen.back());
    if (scripted::CallsAfterFailure() != callsAfterFailure)
        Wrong("a broken reference was called after its failure");
    scripted::ClearCalls();
    gInput = nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
#ifdef ZRK_FUZZ_DELIVER_ALL
    scripted::DeliverAllInOneCall();
#endif
    gHost = new hostsim::Host();
    gHost->StartPlugin(&REALPluginMain);
    if (!gHost->CallShared("DNSServiceBaseZRK", "Available").boolean) {
        std::fprintf(stderr, "events_fuzz: the scripted DNS-SD library was not loaded\n");
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
