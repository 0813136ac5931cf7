#include "host_entries.h"

namespace {

HostResolver gResolver;

/* One slot per entry.  A slot that the resolver left empty is asked again next
 * time: the host may simply not have the entry yet. */
struct EntrySlot {
    const char *name;
    void *address;
};

enum EntryIndex {
    kPluginRegisterClass,
    kInRuntime,
    kBuildString,
    kSetStringEncoding,
    kUnlockString,
    kLockObject,
    kUnlockObject,
    kGetEventInstance,
    kEntryCount
};

EntrySlot gSlots[kEntryCount] = {
    {"PluginRegisterClass", nullptr}, {"REALinRuntime", nullptr},
    {"REALBuildString", nullptr},     {"REALSetStringEncoding", nullptr},
    {"REALUnlockString", nullptr},    {"REALLockObject", nullptr},
    {"REALUnlockObject", nullptr},    {"GetEventInstance", nullptr},
};

void *ResolveEntry(const char *name)
{
    return gResolver ? gResolver(name) : nullptr;
}

template <typename Fn>
Fn Entry(EntryIndex index)
{
    EntrySlot &slot = gSlots[index];
    if (!slot.address)
        slot.address = ResolveEntry(slot.name);
    return reinterpret_cast<Fn>(slot.address);
}

}  // namespace

void HostEntriesInit(HostResolver resolver)
{
    gResolver = resolver;
}

void HostRegisterPluginVersion(HostInteger version)
{
    /* Asked once, by the entry, so it keeps no slot. */
    if (auto fn = reinterpret_cast<HostRegisterPluginVersionFn>(ResolveEntry("RegisterPluginVersion")))
        fn(version);
}

void HostPluginRegisterClass(HostClassDefinition *definition)
{
    if (auto fn = Entry<HostPluginRegisterClassFn>(kPluginRegisterClass))
        fn(definition);
}

bool HostInRuntime(void)
{
    auto fn = Entry<HostInRuntimeFn>(kInRuntime);
    return fn ? fn() : false;
}

HostString HostBuildString(const char *bytes, HostInteger length)
{
    auto fn = Entry<HostBuildStringFn>(kBuildString);
    return fn ? fn(bytes, length) : nullptr;
}

void HostSetStringEncoding(HostString string, uint32_t encoding)
{
    if (auto fn = Entry<HostSetStringEncodingFn>(kSetStringEncoding))
        fn(string, encoding);
}

void HostUnlockString(HostString string)
{
    if (auto fn = Entry<HostUnlockStringFn>(kUnlockString))
        fn(string);
}

bool HostLockObject(HostObject instance)
{
    auto lock = Entry<HostLockObjectFn>(kLockObject);
    if (!lock || !Entry<HostUnlockObjectFn>(kUnlockObject))
        return false;
    lock(instance);
    return true;
}

void HostUnlockObject(HostObject instance)
{
    if (auto fn = Entry<HostUnlockObjectFn>(kUnlockObject))
        fn(instance);
}

HostRoutine HostGetEventInstance(HostObject instance, const HostEventDefinition *event)
{
    auto fn = Entry<HostGetEventInstanceFn>(kGetEventInstance);
    return fn ? fn(instance, event->forSystemUse) : nullptr;
}
