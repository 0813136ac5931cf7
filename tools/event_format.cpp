#include "event_format.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace tool {

namespace {

/* The DNS-SD error codes that have no kError constant in the plug-in. */
const struct {
    long long code;
    const char *name;
} kMoreErrors[] = {
    {-65560, "kDNSServiceErr_BadSig"},
    {-65561, "kDNSServiceErr_BadKey"},
    {-65562, "kDNSServiceErr_Transient"},
    {-65563, "kDNSServiceErr_ServiceNotRunning"},
    {-65564, "kDNSServiceErr_NATPortMappingUnsupported"},
    {-65565, "kDNSServiceErr_NATPortMappingDisabled"},
    {-65566, "kDNSServiceErr_NoRouter"},
    {-65567, "kDNSServiceErr_PollingMode"},
    {-65568, "kDNSServiceErr_Timeout"},
    {-65569, "kDNSServiceErr_DefunctConnection"},
    {-65570, "kDNSServiceErr_PolicyDenied"},
    {-65571, "kDNSServiceErr_NotPermitted"},
};

bool Escaped(unsigned char c, Escaping how)
{
    if (c < 0x20 || c == 0x7F)
        return true;
    switch (how) {
    case Escaping::Label: return c == '\\';
    case Escaping::Presentation: return false;
    case Escaping::TxtItem: return c == '\\' || c == ' ' || c == '"';
    case Escaping::Field: return c == '\\' || c == ';';
    }
    return false;
}

}  // namespace

std::string Timestamp()
{
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t seconds = system_clock::to_time_t(now);
    int millis = (int)(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min, local.tm_sec, millis);
    return text;
}

std::string Escape(const std::string &bytes, Escaping how)
{
    if (bytes.empty() && how == Escaping::TxtItem)
        return "\"\"";
    std::string out;
    for (unsigned char c : bytes) {
        if (Escaped(c, how)) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\%03u", (unsigned)c);
            out += escaped;
        } else {
            out += (char)c;
        }
    }
    return out;
}

std::vector<std::string> TxtItems(const std::string &record)
{
    std::vector<std::string> items;
    size_t at = 0;
    while (at < record.size()) {
        size_t length = (unsigned char)record[at++];
        items.push_back(record.substr(at, length));
        at += length;
    }
    return items;
}

std::string DescribeTxt(const hostsim::Text &record)
{
    std::string out;
    for (const std::string &item : TxtItems(record.value_or(""))) {
        if (!out.empty())
            out += ' ';
        out += Escape(item, Escaping::TxtItem);
    }
    return out;
}

std::string ErrorConstant(const hostsim::Host &host, long long code)
{
    if (const hostsim::ClassInfo *base = host.FindClass("DNSServiceBaseZRK"))
        for (const auto &constant : base->constants)
            if (constant.first.rfind("kError", 0) == 0 && constant.second == code)
                return constant.first;
    for (const auto &error : kMoreErrors)
        if (error.code == code)
            return error.name;
    return "";
}

std::string ErrorName(const hostsim::Host &host, long long code)
{
    std::string name = ErrorConstant(host, code);
    return name.empty() ? "error " + std::to_string(code) : name + " (" + std::to_string(code) + ")";
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

}  // namespace tool
