#include "host.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "../platform/platform.h"
#include "call_shapes.h"
#include "loader_error.h"
#include "message_loop.h"

namespace hostsim {

namespace {

Host *gCurrent;

/* Where the first class's data starts inside an instance: the words before
 * it are the host's own. */
constexpr HostInteger kInstanceHeaderSize = 32;

std::string Lower(std::string text)
{
    for (char &c : text)
        c = (char)std::tolower((unsigned char)c);
    return text;
}

bool SameName(const std::string &a, const std::string &b)
{
    return Lower(a) == Lower(b);
}

std::string ShapeKey(const Signature &signature, bool withInstance)
{
    std::string key(1, CodeOf(signature.result));
    if (withInstance)
        key += 'O';
    for (const Parameter &p : signature.parameters)
        key += CodeOf(p.type);
    return key;
}

std::string Shown(const char *text)
{
    return text ? text : "(null)";
}

}  // namespace

char CodeOf(Type type)
{
    switch (type) {
    case Type::Void: return 'V';
    case Type::Integer: return 'I';
    case Type::String: return 'S';
    case Type::Boolean: return 'B';
    }
    return '?';
}

Value Value::Int(HostInteger v)
{
    Value value;
    value.type = Type::Integer;
    value.integer = v;
    return value;
}

Value Value::Bool(bool v)
{
    Value value;
    value.type = Type::Boolean;
    value.boolean = v;
    return value;
}

Value Value::Str(hostsim::Text v)
{
    Value value;
    value.type = Type::String;
    value.text = std::move(v);
    return value;
}

struct Host::StringBlock {
    HostStringHeader header; /* what the HostString points at */
    char *storage;
    bool byPlugin;
    bool released;
    bool result;
    uint32_t encoding;
};

struct Host::Instance {
    const ClassInfo *cls;
    unsigned char *memory;
    int programRefs;
    int locks;
    bool dying;
};

/* The entries handed to the plug-in.  None of them throws. */
struct Host::Entries {
    static Host *Self(const char *entry)
    {
        if (gCurrent)
            gCurrent->calls_[entry]++;
        return gCurrent;
    }
    static void RegisterPluginVersion(HostInteger version)
    {
        if (Host *host = Self("RegisterPluginVersion"))
            host->pluginVersion_ = version;
    }
    static void PluginRegisterClass(HostClassDefinition *definition)
    {
        if (Host *host = Self("PluginRegisterClass"))
            host->Register(definition);
    }
    static bool InRuntime()
    {
        Host *host = Self("REALinRuntime");
        return host && host->options_.inRuntime;
    }
    static HostString BuildString(const char *bytes, HostInteger length)
    {
        Host *host = Self("REALBuildString");
        if (!host || host->options_.buildStringFails)
            return nullptr;
        if (length < 0 || (!bytes && length > 0)) {
            host->Fail("REALBuildString given " + std::to_string(length) + " bytes at " +
                       (bytes ? "a pointer" : "null"));
            return nullptr;
        }
        return host->MakeString(bytes, length, true);
    }
    static void SetStringEncoding(HostString string, uint32_t encoding)
    {
        if (Host *host = Self("REALSetStringEncoding"))
            if (StringBlock *block = host->LiveString(string, "REALSetStringEncoding"))
                block->encoding = encoding;
    }
    static void UnlockString(HostString string)
    {
        if (Host *host = Self("REALUnlockString"))
            if (StringBlock *block = host->LiveString(string, "REALUnlockString"))
                host->ReleaseString(block);
    }
    static void LockObject(HostObject object)
    {
        if (Host *host = Self("REALLockObject"))
            if (Instance *instance = host->Live(object, "REALLockObject"))
                instance->locks++;
    }
    static void UnlockObject(HostObject object)
    {
        Host *host = Self("REALUnlockObject");
        Instance *instance = host ? host->Live(object, "REALUnlockObject") : nullptr;
        if (!instance)
            return;
        if (instance->locks == 0) {
            host->Fail("REALUnlockObject without a matching REALLockObject");
            return;
        }
        instance->locks--;
        host->Unref(instance);
    }
    static HostRoutine GetEventInstance(HostObject object, HostInteger eventId)
    {
        Host *host = Self("GetEventInstance");
        return host ? host->EventHandlerFor(object, eventId) : nullptr;
    }
};

Host::Host(Options options) : options_(std::move(options))
{
    if (gCurrent) {
        std::fprintf(stderr, "hostsim: one host per process: plug-in state is never reset\n");
        std::abort();
    }
    gCurrent = this;
}

Host::~Host()
{
    for (auto &entry : instances_) {
        std::free(entry.second->memory);
        delete entry.second;
    }
    for (auto &entry : strings_) {
        delete[] entry.second->storage;
        delete entry.second;
    }
    gCurrent = nullptr;
}

Host &Host::Current()
{
    if (!gCurrent) {
        std::fprintf(stderr, "hostsim: no host\n");
        std::abort();
    }
    return *gCurrent;
}

void Host::SetFailureHandler(std::function<void(const std::string &)> handler)
{
    failure_ = std::move(handler);
}

void Host::Fail(const std::string &message)
{
    if (failure_) {
        failure_(message);
        return;
    }
    std::fprintf(stderr, "hostsim: %s\n", message.c_str());
    std::abort();
}

void *Host::Resolve(const char *name)
{
    if (!gCurrent || !name)
        return nullptr;
    Host &host = *gCurrent;
    host.lookups_[name]++;
    if (host.options_.missingEntries.count(name))
        return nullptr;
    static const std::map<std::string, HostRoutine> entries = {
        {"RegisterPluginVersion", reinterpret_cast<HostRoutine>(&Entries::RegisterPluginVersion)},
        {"PluginRegisterClass", reinterpret_cast<HostRoutine>(&Entries::PluginRegisterClass)},
        {"REALinRuntime", reinterpret_cast<HostRoutine>(&Entries::InRuntime)},
        {"REALBuildString", reinterpret_cast<HostRoutine>(&Entries::BuildString)},
        {"REALSetStringEncoding", reinterpret_cast<HostRoutine>(&Entries::SetStringEncoding)},
        {"REALUnlockString", reinterpret_cast<HostRoutine>(&Entries::UnlockString)},
        {"REALLockObject", reinterpret_cast<HostRoutine>(&Entries::LockObject)},
        {"REALUnlockObject", reinterpret_cast<HostRoutine>(&Entries::UnlockObject)},
        {"GetEventInstance", reinterpret_cast<HostRoutine>(&Entries::GetEventInstance)},
    };
    auto found = entries.find(name);
    return found == entries.end() ? nullptr : reinterpret_cast<void *>(found->second);
}

bool Host::LoadPlugin(const std::string &path)
{
    void *library = PlatformLoadLibrary(path.c_str());
    if (!library) {
        std::string reason = LoaderError();
        Fail("cannot load the plug-in " + path + (reason.empty() ? "" : ": " + reason));
        return false;
    }
    auto entry = reinterpret_cast<HostPluginMain>(PlatformLookupSymbol(library, "REALPluginMain"));
    if (!entry) {
        Fail(path + " has no REALPluginMain");
        return false;
    }
    StartPlugin(entry);
    return true;
}

void Host::StartPlugin(HostPluginMain entry)
{
    entry(&Host::Resolve);
}

int Host::LookupCount(const std::string &entry) const
{
    auto found = lookups_.find(entry);
    return found == lookups_.end() ? 0 : found->second;
}

int Host::CallCount(const std::string &entry) const
{
    auto found = calls_.find(entry);
    return found == calls_.end() ? 0 : found->second;
}

/* ---- classes ---- */

void Host::Register(HostClassDefinition *record)
{
    if (!record || !record->name) {
        Fail("PluginRegisterClass given a record without a name");
        return;
    }
    std::string name = record->name;
    if (record->version != kHostClassVersion) {
        Fail("class " + name + ": version " + std::to_string(record->version));
        return;
    }
    if (FindClass(name)) {
        Fail("class " + name + " registered twice");
        return;
    }
    auto cls = std::make_unique<ClassInfo>();
    cls->record = record;
    cls->super = nullptr;
    if (record->superName) {
        cls->super = FindClass(record->superName);
        if (!cls->super) {
            Fail("class " + name + ": superclass " + record->superName + " is not registered");
            return;
        }
        record->forSystemUse = cls->super->record->forSystemUse + (HostInteger)cls->super->record->dataSize;
    } else {
        record->forSystemUse = kInstanceHeaderSize;
    }

    auto parse = [&](const char *what, const char *text, Signature &out) {
        std::string error;
        auto signature = text ? ParseSignature(text, error) : std::nullopt;
        if (!signature) {
            Fail("class " + name + ": cannot parse " + what + " declaration '" + Shown(text) + "': " +
                 (text ? error : "no text"));
            return false;
        }
        out = *signature;
        return true;
    };
    auto methods = [&](const HostMethodDefinition *list, size_t count, bool shared,
                       std::vector<MethodInfo> &out) {
        for (size_t i = 0; i < count; i++) {
            MethodInfo method{&list[i], {}};
            if (!parse(shared ? "shared method" : "method", list[i].declaration, method.signature))
                continue;
            if (!list[i].routine)
                Fail("class " + name + ": method " + method.signature.name + " has no routine");
            else if (!Invokers().count(ShapeKey(method.signature, !shared)))
                Fail("class " + name + ": no call shape " + ShapeKey(method.signature, !shared) + " for '" +
                     list[i].declaration + "'");
            else
                out.push_back(method);
        }
    };
    methods(record->methods, record->methodCount, false, cls->methods);
    methods(record->sharedMethods, record->sharedMethodCount, true, cls->sharedMethods);

    for (size_t i = 0; i < record->eventCount; i++) {
        HostEventDefinition &event = record->events[i];
        EventInfo info{(HostInteger)events_.size() + 1, {}};
        if (!parse("event", event.declaration, info.signature))
            continue;
        std::string key = ShapeKey(info.signature, true);
        auto pool = Trampolines().find(key);
        if (info.signature.result != Type::Void || pool == Trampolines().end()) {
            Fail("class " + name + ": no handler shape " + key + " for event '" + event.declaration + "'");
            continue;
        }
        int slot = slotsTaken_[key]++;
        if (slot >= kEventSlots) {
            Fail("class " + name + ": too many events of shape " + key);
            continue;
        }
        event.forSystemUse = info.id;
        eventSlots_[info.id] = {key, slot};
        slotEvents_[{key, slot}] = info.id;
        cls->eventIds.push_back(info.id);
        events_.push_back(info);
    }

    for (size_t i = 0; i < record->propertyCount; i++) {
        const HostPropertyDefinition &property = record->properties[i];
        auto type = property.type ? ParseTypeName(property.type) : std::nullopt;
        if (!property.name || !type || *type == Type::String) {
            Fail("class " + name + ": property " + Shown(property.name) + " of unsupported type " +
                 Shown(property.type));
            continue;
        }
        bool routines = (property.getter && property.getter != kHostStandardAccessor) ||
                        (property.setter && property.setter != kHostStandardAccessor);
        if (routines && *type != Type::Integer)
            Fail("class " + name + ": property " + property.name + ": accessor routines need Integer");
    }

    for (size_t i = 0; i < record->constantCount; i++) {
        const char *text = record->constants[i].declaration;
        std::string error;
        auto constant = text ? ParseConstant(text, error) : std::nullopt;
        if (!constant) {
            Fail("class " + name + ": cannot parse constant '" + Shown(text) + "': " + error);
            continue;
        }
        cls->constants[constant->name] = constant->value;
    }
    classes_.push_back(std::move(cls));
}

const ClassInfo *Host::FindClass(const std::string &name) const
{
    for (const auto &cls : classes_)
        if (SameName(cls->record->name, name))
            return cls.get();
    return nullptr;
}

std::optional<long long> Host::Constant(const std::string &className, const std::string &name)
{
    for (const ClassInfo *cls = FindClass(className); cls; cls = cls->super)
        for (const auto &entry : cls->constants)
            if (SameName(entry.first, name))
                return entry.second;
    Fail("no constant " + className + "." + name);
    return std::nullopt;
}

/* ---- instances ---- */

HostObject Host::New(const std::string &className)
{
    const ClassInfo *cls = FindClass(className);
    if (!cls) {
        Fail("New: no class " + className);
        return nullptr;
    }
    std::vector<const ClassInfo *> chain;
    for (const ClassInfo *c = cls; c; c = c->super)
        chain.insert(chain.begin(), c);
    size_t size = (size_t)cls->record->forSystemUse + cls->record->dataSize;
    auto *instance = new Instance{cls, static_cast<unsigned char *>(std::calloc(1, size)), 1, 0, false};
    HostObject object = reinterpret_cast<HostObject>(instance->memory);
    instances_[object] = instance;
    for (const ClassInfo *c : chain)
        if (c->record->constructor)
            reinterpret_cast<void (*)(HostObject)>(c->record->constructor)(object);
    return object;
}

void Host::Release(HostObject object)
{
    Instance *instance = Live(object, "Release");
    if (!instance)
        return;
    if (instance->programRefs == 0) {
        Fail("Release: the host program holds no reference");
        return;
    }
    instance->programRefs--;
    Unref(instance);
}

void Host::Unref(Instance *instance)
{
    if (instance->dying || instance->programRefs + instance->locks > 0)
        return;
    HostObject object = reinterpret_cast<HostObject>(instance->memory);
    instance->dying = true;
    for (auto it = handlers_.begin(); it != handlers_.end();)
        it = it->first.first == object ? handlers_.erase(it) : std::next(it);
    for (const ClassInfo *c = instance->cls; c; c = c->super)
        if (c->record->destructor)
            reinterpret_cast<void (*)(HostObject)>(c->record->destructor)(object);
    if (instance->locks)
        Fail(std::string("a destructor of ") + instance->cls->record->name + " left a hold on its instance");
    instances_.erase(object);
    std::free(instance->memory);
    delete instance;
}

bool Host::Alive(HostObject object) const
{
    return instances_.count(object) != 0;
}

void *Host::ClassData(HostObject object, const std::string &className) const
{
    const ClassInfo *cls = FindClass(className);
    if (!cls || !Alive(object))
        return nullptr;
    return reinterpret_cast<unsigned char *>(object) + cls->record->forSystemUse;
}

Host::Instance *Host::Live(HostObject object, const char *what)
{
    auto found = instances_.find(object);
    if (found == instances_.end()) {
        Fail(std::string(what) + " given an instance that is not alive");
        return nullptr;
    }
    return found->second;
}

/* ---- strings ---- */

HostString Host::MakeString(const char *bytes, HostInteger length, bool byPlugin)
{
    auto *block = new StringBlock{};
    block->storage = new char[(size_t)length + 1];
    if (length > 0)
        std::memcpy(block->storage, bytes, (size_t)length);
    block->storage[length] = '\0';
    block->header.bytes = block->storage;
    block->header.length = length;
    block->byPlugin = byPlugin;
    HostString string = &block->header;
    strings_[string] = block;
    return string;
}

Host::StringBlock *Host::LiveString(HostString string, const char *what)
{
    auto found = strings_.find(string);
    if (found == strings_.end()) {
        Fail(std::string(what) + " given " + (string ? "something that is not a host string" : "nil"));
        return nullptr;
    }
    if (found->second->released) {
        Fail(std::string(what) + " given a string already released");
        return nullptr;
    }
    return found->second;
}

/* A released string is remembered, emptied, among the most recently
 * released ones, so that a later use of it is reported as a use after
 * release; past that it is forgotten, so that a host that runs for days does
 * not grow with every string it ever made.  A use of a forgotten string still
 * fails, as something that is not a host string (unless a new string has
 * taken its address by then). */
void Host::ReleaseString(StringBlock *block)
{
    block->released = true;
    delete[] block->storage;
    block->storage = nullptr;
    block->header.bytes = nullptr; /* a later read faults at once */
    block->header.length = 0;
    released_.push_back(block);
    if (released_.size() > kReleasedStringsKept) {
        StringBlock *oldest = released_.front();
        released_.pop_front();
        strings_.erase(&oldest->header);
        delete oldest;
    }
}

Value Host::TakeString(HostString string, bool fromResult)
{
    if (!string)
        return Value::Nil();
    StringBlock *block = LiveString(string, fromResult ? "method result" : "event argument");
    if (!block)
        return Value::Nil();
    if (!block->byPlugin) {
        Fail("the plug-in returned a string it did not make");
        return Value::Nil();
    }
    Value value = Value::Str(std::string(block->header.bytes, (size_t)block->header.length));
    value.encoding = block->encoding;
    if (fromResult) {
        block->result = true;
        ReleaseString(block);
    }
    return value;
}

Value Host::ReadEventString(HostString string)
{
    return TakeString(string, false);
}

int Host::OpenPluginStrings() const
{
    int open = 0;
    for (const auto &entry : strings_)
        if (entry.second->byPlugin && !entry.second->released)
            open++;
    return open;
}

int Host::OpenLocks() const
{
    int locks = 0;
    for (const auto &entry : instances_)
        locks += entry.second->locks;
    return locks;
}

void Host::CheckBalanced()
{
    /* A host without the release entries cannot be given anything back. */
    if (!options_.missingEntries.count("REALUnlockString"))
    for (const auto &entry : strings_)
        if (entry.second->byPlugin && !entry.second->released)
            Fail("a string the plug-in made was never released: \"" +
                 std::string(entry.second->header.bytes, (size_t)entry.second->header.length) + "\"");
    if (int locks = options_.missingEntries.count("REALUnlockObject") ? 0 : OpenLocks())
        Fail(std::to_string(locks) + " REALLockObject holds never released");
}

/* ---- calls ---- */

const MethodInfo *Host::FindMethod(const ClassInfo *cls, const std::string &name, bool shared) const
{
    for (; cls; cls = cls->super)
        for (const MethodInfo &method : shared ? cls->sharedMethods : cls->methods)
            if (SameName(method.signature.name, name))
                return &method;
    return nullptr;
}

Value Host::Invoke(const MethodInfo &method, HostObject object, std::vector<Value> &arguments)
{
    const Signature &signature = method.signature;
    std::string declaration = method.record->declaration;
    if (arguments.size() != signature.parameters.size()) {
        Fail("'" + declaration + "' called with " + std::to_string(arguments.size()) + " arguments");
        return Value{};
    }
    std::vector<Raw> raw;
    std::vector<HostString> made;
    if (object)
        raw.push_back(ToRaw(object));
    for (size_t i = 0; i < arguments.size(); i++) {
        const Value &argument = arguments[i];
        Type declared = signature.parameters[i].type;
        if (argument.type != declared) {
            Fail("'" + declaration + "': argument " + std::to_string(i + 1) + " (" +
                 signature.parameters[i].name + ") is " + TypeName(argument.type) + ", declared " +
                 TypeName(declared));
            for (HostString string : made)
                ReleaseString(strings_.at(string));
            return Value{};
        }
        Raw r{};
        if (declared == Type::Integer) {
            r.integer = argument.integer;
        } else if (declared == Type::Boolean) {
            r.boolean = argument.boolean;
        } else if (argument.text) {
            r.string = MakeString(argument.text->data(), (HostInteger)argument.text->size(), false);
            made.push_back(r.string);
        }
        raw.push_back(r);
    }
    Invoker invoker = Invokers().at(ShapeKey(signature, object != nullptr));
    Raw result = invoker(method.record->routine, raw.data());
    /* Looked up anew: one the plug-in released may have been forgotten. */
    for (HostString string : made) {
        auto found = strings_.find(string);
        if (found != strings_.end() && !found->second->released)
            ReleaseString(found->second);
        else
            Fail("'" + declaration + "' released a string argument it did not own");
    }
    switch (signature.result) {
    case Type::Void: return Value{};
    case Type::Integer: return Value::Int(result.integer);
    case Type::Boolean: return Value::Bool(result.boolean);
    case Type::String: return TakeString(result.string, true);
    }
    return Value{};
}

Value Host::Call(HostObject object, const std::string &name, std::vector<Value> arguments)
{
    Instance *instance = Live(object, "Call");
    if (!instance)
        return Value{};
    const MethodInfo *method = FindMethod(instance->cls, name, false);
    if (!method) {
        Fail(std::string("class ") + instance->cls->record->name + " has no method " + name);
        return Value{};
    }
    /* The host program's own reference keeps the instance alive for the call. */
    instance->programRefs++;
    Value result = Invoke(*method, object, arguments);
    instance->programRefs--;
    Unref(instance);
    return result;
}

Value Host::CallShared(const std::string &className, const std::string &name, std::vector<Value> arguments)
{
    const ClassInfo *cls = FindClass(className);
    const MethodInfo *method = cls ? FindMethod(cls, name, true) : nullptr;
    if (!method) {
        Fail("no shared method " + className + "." + name);
        return Value{};
    }
    return Invoke(*method, nullptr, arguments);
}

const HostPropertyDefinition *Host::FindProperty(const ClassInfo *cls, const std::string &name,
                                                 const ClassInfo **owner) const
{
    for (; cls; cls = cls->super)
        for (size_t i = 0; i < cls->record->propertyCount; i++)
            if (cls->record->properties[i].name && SameName(cls->record->properties[i].name, name)) {
                *owner = cls;
                return &cls->record->properties[i];
            }
    return nullptr;
}

Value Host::Get(HostObject object, const std::string &name)
{
    Instance *instance = Live(object, "Get");
    const ClassInfo *owner = nullptr;
    const HostPropertyDefinition *property = instance ? FindProperty(instance->cls, name, &owner) : nullptr;
    if (!property) {
        if (instance)
            Fail("no property " + name);
        return Value{};
    }
    bool boolean = *ParseTypeName(property->type) == Type::Boolean;
    if (property->getter == kHostStandardAccessor) {
        unsigned char *field = instance->memory + owner->record->forSystemUse + property->param;
        if (boolean) {
            bool value;
            std::memcpy(&value, field, sizeof value);
            return Value::Bool(value);
        }
        HostInteger value;
        std::memcpy(&value, field, sizeof value);
        return Value::Int(value);
    }
    if (!property->getter) {
        Fail(std::string("property ") + property->name + " cannot be read");
        return Value{};
    }
    Raw raw[2] = {ToRaw(object), ToRaw(property->param)};
    return Value::Int(Shape<HostInteger, HostObject, HostInteger>::Invoke(property->getter, raw).integer);
}

bool Host::Set(HostObject object, const std::string &name, const Value &value)
{
    Instance *instance = Live(object, "Set");
    const ClassInfo *owner = nullptr;
    const HostPropertyDefinition *property = instance ? FindProperty(instance->cls, name, &owner) : nullptr;
    if (!property) {
        if (instance)
            Fail("no property " + name);
        return false;
    }
    Type type = *ParseTypeName(property->type);
    if (value.type != type) {
        Fail(std::string("property ") + property->name + " is " + TypeName(type) + ", given " +
             TypeName(value.type));
        return false;
    }
    if (!property->setter)
        return false; /* read-only */
    if (property->setter == kHostStandardAccessor) {
        unsigned char *field = instance->memory + owner->record->forSystemUse + property->param;
        if (type == Type::Boolean)
            std::memcpy(field, &value.boolean, sizeof value.boolean);
        else
            std::memcpy(field, &value.integer, sizeof value.integer);
        return true;
    }
    Raw raw[3] = {ToRaw(object), ToRaw(property->param), ToRaw(value.integer)};
    Shape<void, HostObject, HostInteger, HostInteger>::Invoke(property->setter, raw);
    return true;
}

/* ---- events ---- */

const EventInfo *Host::FindEvent(const ClassInfo *cls, const std::string &name) const
{
    for (; cls; cls = cls->super)
        for (HostInteger id : cls->eventIds)
            if (SameName(events_[(size_t)id - 1].signature.name, name))
                return &events_[(size_t)id - 1];
    return nullptr;
}

void Host::SetHandler(HostObject object, const std::string &name, EventHandler handler)
{
    Instance *instance = Live(object, "SetHandler");
    const EventInfo *event = instance ? FindEvent(instance->cls, name) : nullptr;
    if (!event) {
        if (instance)
            Fail(std::string("class ") + instance->cls->record->name + " has no event " + name);
        return;
    }
    handlers_[{object, event->id}] = std::move(handler);
}

void Host::ClearHandler(HostObject object, const std::string &name)
{
    Instance *instance = Live(object, "ClearHandler");
    if (const EventInfo *event = instance ? FindEvent(instance->cls, name) : nullptr)
        handlers_.erase({object, event->id});
}

HostRoutine Host::EventHandlerFor(HostObject object, HostInteger eventId)
{
    if (!Live(object, "GetEventInstance"))
        return nullptr;
    auto slot = eventSlots_.find(eventId);
    if (slot == eventSlots_.end()) {
        Fail("GetEventInstance given an unknown event identifier " + std::to_string(eventId));
        return nullptr;
    }
    if (!handlers_.count({object, eventId}))
        return nullptr;
    return Trampolines().at(slot->second.first)[(size_t)slot->second.second];
}

void Host::DispatchSlot(const std::string &shape, int slot, HostObject object, std::vector<Value> arguments)
{
    HostInteger id = slotEvents_.at({shape, slot});
    Instance *instance = Live(object, "an event handler");
    if (!instance)
        return;
    if (instance->locks == 0 && !options_.missingEntries.count("REALLockObject") &&
        !options_.missingEntries.count("REALUnlockObject"))
        Fail("event " + events_[(size_t)id - 1].signature.name + " delivered without a hold on its instance");
    auto handler = handlers_.find({object, id});
    if (handler == handlers_.end())
        return;
    EventHandler call = handler->second; /* the handler may replace itself */
    call(object, arguments);
}

/* ---- message loop ---- */

void Host::RunFor(int milliseconds)
{
    RunMessageLoop(nullptr, milliseconds);
}

bool Host::RunUntil(const std::function<bool()> &done, int timeoutMilliseconds)
{
    return RunMessageLoop(done, timeoutMilliseconds);
}

}  // namespace hostsim
