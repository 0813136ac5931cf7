#include "event_format.h"

#include <chrono>
#include <cstdio>
#include <ctime>

std::string Timestamp()
{
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t seconds = system_clock::to_time_t(now);
    int millis = (int)(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min, local.tm_sec, millis);
    return text;
}

std::string Escape(const std::string &bytes)
{
    std::string out;
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += (char)c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            out += escaped;
        }
    }
    return out;
}

std::string Hex(const std::string &bytes)
{
    std::string out;
    for (unsigned char c : bytes) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02x", c);
        out += pair;
    }
    return out;
}

std::string DescribeTxt(hostsim::Host &host, const hostsim::Text &txt)
{
    using hostsim::Value;
    if (!txt)
        return "(empty)";
    Value record = Value::Str(*txt);
    HostInteger count = host.CallShared("TXTRecordZRK", "Count", {record}).integer;
    std::string out;
    for (HostInteger i = 0; i < count; i++) {
        Value key = host.CallShared("TXTRecordZRK", "KeyAtIndex", {record, Value::Int(i)});
        Value value = host.CallShared("TXTRecordZRK", "ValueAtIndex", {record, Value::Int(i)});
        if (!out.empty())
            out += ' ';
        out += Escape(key.text.value_or(""));
        if (value.text)
            out += "=" + Escape(*value.text);
    }
    return out.empty() ? "(empty)" : out;
}

std::string ErrorName(hostsim::Host &host, long long code)
{
    if (const hostsim::ClassInfo *base = host.FindClass("DNSServiceBaseZRK"))
        for (const auto &constant : base->constants)
            if (constant.first.rfind("kError", 0) == 0 && constant.second == code)
                return constant.first + " (" + std::to_string(code) + ")";
    return "error " + std::to_string(code);
}
