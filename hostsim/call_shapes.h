/*
 * The call shapes the stand-in host knows.  A routine is always called
 * through the function type its declaration gives, never another, so each
 * shape a declaration may have is instantiated here once: an invoker for
 * methods and accessors, and a pool of handler trampolines for events.
 * A declaration whose shape is not listed is refused at registration.
 */
#ifndef HOSTSIM_CALL_SHAPES_H
#define HOSTSIM_CALL_SHAPES_H

#include <map>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "../host/host_sdk.h"
#include "host.h"

namespace hostsim {

union Raw {
    HostObject object;
    HostInteger integer;
    HostString string;
    bool boolean;
};

template <typename T>
struct TypeCode;
template <>
struct TypeCode<void> {
    static constexpr char code = 'V';
};
template <>
struct TypeCode<HostObject> {
    static constexpr char code = 'O';
};
template <>
struct TypeCode<HostInteger> {
    static constexpr char code = 'I';
};
template <>
struct TypeCode<HostString> {
    static constexpr char code = 'S';
};
template <>
struct TypeCode<bool> {
    static constexpr char code = 'B';
};

char CodeOf(Type type);

template <typename T>
T FromRaw(const Raw &raw)
{
    if constexpr (std::is_same_v<T, HostObject>)
        return raw.object;
    else if constexpr (std::is_same_v<T, HostInteger>)
        return raw.integer;
    else if constexpr (std::is_same_v<T, HostString>)
        return raw.string;
    else
        return raw.boolean;
}

template <typename T>
Raw ToRaw(T value)
{
    Raw raw{};
    if constexpr (std::is_same_v<T, HostObject>)
        raw.object = value;
    else if constexpr (std::is_same_v<T, HostInteger>)
        raw.integer = value;
    else if constexpr (std::is_same_v<T, HostString>)
        raw.string = value;
    else
        raw.boolean = value;
    return raw;
}

using Invoker = Raw (*)(HostRoutine routine, const Raw *arguments);

template <typename R, typename... A>
struct Shape {
    static std::string Key() { return std::string(1, TypeCode<R>::code) + std::string{TypeCode<A>::code...}; }

    template <size_t... I>
    static Raw InvokeAt(HostRoutine routine, const Raw *arguments, std::index_sequence<I...>)
    {
        (void)arguments;
        auto function = reinterpret_cast<R (*)(A...)>(routine);
        if constexpr (std::is_void_v<R>) {
            function(FromRaw<A>(arguments[I])...);
            return Raw{};
        } else {
            return ToRaw<R>(function(FromRaw<A>(arguments[I])...));
        }
    }

    static Raw Invoke(HostRoutine routine, const Raw *arguments)
    {
        return InvokeAt(routine, arguments, std::index_sequence_for<A...>{});
    }
};

constexpr int kEventSlots = 8;

inline Value EventValue(HostInteger value)
{
    return Value::Int(value);
}
inline Value EventValue(bool value)
{
    return Value::Bool(value);
}
inline Value EventValue(HostString value)
{
    return Host::Current().ReadEventString(value);
}

/* Handlers for events whose parameters after the instance are A... */
template <typename... A>
struct EventShape {
    static std::string Key() { return std::string("VO") + std::string{TypeCode<A>::code...}; }

    template <size_t Slot>
    static void Trampoline(HostObject instance, A... arguments)
    {
        Host::Current().DispatchSlot(Key(), (int)Slot, instance, {EventValue(arguments)...});
    }

    template <size_t... S>
    static std::vector<HostRoutine> Pool(std::index_sequence<S...>)
    {
        return {reinterpret_cast<HostRoutine>(&Trampoline<S>)...};
    }
    static std::vector<HostRoutine> Pool() { return Pool(std::make_index_sequence<kEventSlots>{}); }
};

namespace shapes {
using O = HostObject;
using I = HostInteger;
using S = HostString;
using B = bool;
using V = void;
}  // namespace shapes

template <typename... Shapes>
std::map<std::string, Invoker> InvokerTable()
{
    return {{Shapes::Key(), &Shapes::Invoke}...};
}

template <typename... Shapes>
std::map<std::string, std::vector<HostRoutine>> TrampolineTable()
{
    return {{Shapes::Key(), Shapes::Pool()}...};
}

/* Keyed by result code then parameter codes, the instance included. */
inline const std::map<std::string, Invoker> &Invokers()
{
    using namespace shapes;
    static const std::map<std::string, Invoker> table = InvokerTable<
        /* constructors, destructors, methods without arguments */
        Shape<V, O>, Shape<B, O>, Shape<I, O>, Shape<S, O>,
        /* one or two arguments */
        Shape<V, O, I>, Shape<V, O, S>, Shape<I, O, I>, Shape<B, O, I>, Shape<B, O, S>, Shape<S, O, S>,
        Shape<S, O, I>, Shape<I, O, S>, Shape<V, O, I, I>, Shape<V, O, S, I>, Shape<B, O, I, I>,
        Shape<I, O, I, I>, Shape<I, O, S, S>, Shape<S, O, S, I>, Shape<V, O, I, S>,
        /* the operation classes */
        Shape<B, O, I, S, S>, Shape<B, O, I, S, S, S>, Shape<V, O, I, S, I>,
        Shape<B, O, I, I, S, S, S, S, I, S>, Shape<B, O, I, I, S, I, I, S, I>,
        /* shared methods */
        Shape<I>, Shape<B>, Shape<S>, Shape<I, I>, Shape<I, I, I>, Shape<I, S>, Shape<B, S, S>,
        Shape<S, S, S>, Shape<S, S, I>, Shape<S, S, S, S>>();
    return table;
}

/* Keyed by "VO" then the codes of the parameters after the instance. */
inline const std::map<std::string, std::vector<HostRoutine>> &Trampolines()
{
    using namespace shapes;
    static const std::map<std::string, std::vector<HostRoutine>> table = TrampolineTable<
        EventShape<>, EventShape<I>, EventShape<S>, EventShape<I, I>, EventShape<I, S>,
        EventShape<S, I, S>, EventShape<I, I, I, S>, EventShape<I, I, S, S, S>,
        EventShape<I, I, I, S, S, S>, EventShape<I, I, I, S, S, I, S>>();
    return table;
}

}  // namespace hostsim

#endif
