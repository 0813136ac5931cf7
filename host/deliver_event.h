/*
 * Delivering a DNS-SD reply as a host event.  The handler is looked up first;
 * without one nothing is made and the instance is not touched.  With one, the
 * instance is held across the handler call and every string made for it is
 * released once the handler has returned.
 */
#ifndef ZRK_DELIVER_EVENT_H
#define ZRK_DELIVER_EVENT_H

#include <tuple>

#include "host_entries.h"
#include "host_string.h"

/* A string argument of an event, made only when a handler exists. */
struct EventString {
    const void *bytes;
    HostInteger length; /* -1: bytes is a NUL-terminated text */
    uint32_t encoding;
};

inline EventString EventText(const char *text, uint32_t encoding)
{
    return EventString{text, -1, encoding};
}

inline EventString EventBytes(const void *bytes, HostInteger length, uint32_t encoding)
{
    return EventString{bytes, length, encoding};
}

namespace event_detail {

template <typename T>
struct Arg {
    static_assert(sizeof(T) == sizeof(HostInteger) && T(-1) < T(0), "event integers are HostInteger");
    using Type = T;
    static Type Make(T value) { return value; }
    static void Release(Type) {}
};

template <>
struct Arg<EventString> {
    using Type = HostString;
    static Type Make(EventString s)
    {
        if (s.length < 0)
            return BuildHostCString(static_cast<const char *>(s.bytes), s.encoding);
        return BuildHostString(s.bytes, s.length, s.encoding);
    }
    static void Release(Type string)
    {
        if (string)
            HostUnlockString(string);
    }
};

}  // namespace event_detail

/* Every non-string argument is a HostInteger. */
template <typename... Args>
void DeliverEvent(HostObject instance, const HostEventDefinition *event, Args... args)
{
    using Handler = void (*)(HostObject, typename event_detail::Arg<Args>::Type...);
    HostRoutine routine = HostGetEventInstance(instance, event);
    if (!routine)
        return;
    Handler handler = reinterpret_cast<Handler>(routine);
    std::tuple<typename event_detail::Arg<Args>::Type...> made{event_detail::Arg<Args>::Make(args)...};
    bool held = HostLockObject(instance);
    std::apply([&](auto... values) { handler(instance, values...); }, made);
    std::apply([](auto... values) { (event_detail::Arg<Args>::Release(values), ...); }, made);
    /* The host may destroy the instance here; nothing may touch it after. */
    if (held)
        HostUnlockObject(instance);
}

#endif
