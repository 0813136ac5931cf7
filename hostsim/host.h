/*
 * The stand-in host: loads the plug-in for real, answers its host entries,
 * keeps its class records, makes instances and calls their methods the way a
 * host program would, and checks every host string and object hold.
 *
 * Plug-in state is process-wide and never reset, so there is one Host per
 * process.
 */
#ifndef HOSTSIM_HOST_H
#define HOSTSIM_HOST_H

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "../host/host_sdk.h"
#include "declaration.h"

namespace hostsim {

using Text = std::optional<std::string>;

struct Value {
    Type type = Type::Void;
    HostInteger integer = 0;
    bool boolean = false;
    Text text;             /* nullopt: nil */
    uint32_t encoding = 0; /* tag of a string the plug-in made; 0 if none */

    static Value Int(HostInteger v);
    static Value Bool(bool v);
    static Value Str(Text v);
    static Value Nil() { return Str(std::nullopt); }
    bool IsNil() const { return type == Type::String && !text; }
};

struct Options {
    std::set<std::string> missingEntries; /* the resolver answers null */
    bool inRuntime = true;                /* what "REALinRuntime" answers */
    bool buildStringFails = false;        /* "REALBuildString" answers null */
};

struct MethodInfo {
    const HostMethodDefinition *record;
    Signature signature;
};

struct EventInfo {
    HostInteger id;
    Signature signature;
};

struct ClassInfo {
    HostClassDefinition *record;
    const ClassInfo *super;
    std::vector<MethodInfo> methods;
    std::vector<MethodInfo> sharedMethods;
    std::vector<HostInteger> eventIds;
    std::map<std::string, long long> constants;
};

using EventHandler = std::function<void(HostObject instance, const std::vector<Value> &arguments)>;

class Host {
public:
    explicit Host(Options options = {});
    ~Host();
    Host(const Host &) = delete;
    Host &operator=(const Host &) = delete;

    static Host &Current();

    /* Where problems go; by default they are printed and the process aborts. */
    void SetFailureHandler(std::function<void(const std::string &)> handler);
    void Fail(const std::string &message);

    /* Loads the plug-in file and calls its exported entry. */
    bool LoadPlugin(const std::string &path);
    /* Calls an entry linked into this program. */
    void StartPlugin(HostPluginMain entry);
    static void *Resolve(const char *name);

    int LookupCount(const std::string &entry) const;
    int CallCount(const std::string &entry) const;
    std::map<std::string, int> CallCounts() const { return calls_; }
    std::optional<HostInteger> PluginVersion() const { return pluginVersion_; }

    const std::vector<std::unique_ptr<ClassInfo>> &Classes() const { return classes_; }
    const ClassInfo *FindClass(const std::string &name) const;
    std::optional<long long> Constant(const std::string &className, const std::string &name);

    /* A new instance; the host program holds one reference to it. */
    HostObject New(const std::string &className);
    /* The host program lets go of its reference. */
    void Release(HostObject instance);
    bool Alive(HostObject instance) const;
    void *ClassData(HostObject instance, const std::string &className) const;

    Value Call(HostObject instance, const std::string &method, std::vector<Value> arguments = {});
    Value CallShared(const std::string &className, const std::string &method,
                     std::vector<Value> arguments = {});
    Value Get(HostObject instance, const std::string &property);
    bool Set(HostObject instance, const std::string &property, const Value &value);

    void SetHandler(HostObject instance, const std::string &event, EventHandler handler);
    void ClearHandler(HostObject instance, const std::string &event);

    /* Runs the host's message loop on this thread for a time, or until done
     * answers true; may be called from inside an event handler. */
    void RunFor(int milliseconds);
    bool RunUntil(const std::function<bool()> &done, int timeoutMilliseconds);

    /* Strings the plug-in made and has not released, other than method
     * results, and holds not yet released. */
    int OpenPluginStrings() const;
    int OpenLocks() const;
    /* Strings the host still knows: the live ones and the recently released
     * ones it remembers. */
    size_t KnownStrings() const { return strings_.size(); }
    /* Reports leaks as failures. */
    void CheckBalanced();

    /* Entry points the host hands out; public for the resolver table. */
    struct Entries;

private:
    struct StringBlock;
    struct Instance;

    const MethodInfo *FindMethod(const ClassInfo *cls, const std::string &name, bool shared) const;
    Value Invoke(const MethodInfo &method, HostObject instance, std::vector<Value> &arguments);
    const HostPropertyDefinition *FindProperty(const ClassInfo *cls, const std::string &name,
                                               const ClassInfo **owner) const;
    const EventInfo *FindEvent(const ClassInfo *cls, const std::string &name) const;
    Instance *Live(HostObject instance, const char *what);
    StringBlock *LiveString(HostString string, const char *what);
    HostString MakeString(const char *bytes, HostInteger length, bool byPlugin);
    void ReleaseString(StringBlock *block);
    Value TakeString(HostString string, bool fromResult);
    void Unref(Instance *instance);

    void Register(HostClassDefinition *definition);
    HostRoutine EventHandlerFor(HostObject instance, HostInteger eventId);

public:
    /* Called by the event trampolines. */
    void DispatchSlot(const std::string &shape, int slot, HostObject instance,
                      std::vector<Value> arguments);
    Value ReadEventString(HostString string);

private:
    Options options_;
    std::function<void(const std::string &)> failure_;
    std::map<std::string, int> lookups_;
    std::map<std::string, int> calls_;
    std::optional<HostInteger> pluginVersion_;
    std::vector<std::unique_ptr<ClassInfo>> classes_;
    std::vector<EventInfo> events_; /* id - 1 indexes */
    std::map<std::string, int> slotsTaken_;
    std::map<HostInteger, std::pair<std::string, int>> eventSlots_;
    std::map<std::pair<std::string, int>, HostInteger> slotEvents_;
    std::map<HostObject, Instance *> instances_;
    std::map<std::pair<HostObject, HostInteger>, EventHandler> handlers_;
    /* Live strings and the most recently released ones, which stay known
     * so that a use after release is caught; released_ holds the latter,
     * oldest first. */
    static constexpr size_t kReleasedStringsKept = 4096;
    std::unordered_map<HostString, StringBlock *> strings_;
    std::deque<StringBlock *> released_;
};

}  // namespace hostsim

#endif
