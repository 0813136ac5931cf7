/*
 * How events are written: one line each, names and TXT items escaped so
 * that no byte can split a line or blur where a field ends.
 */
#ifndef ZRK_TOOLS_EVENT_FORMAT_H
#define ZRK_TOOLS_EVENT_FORMAT_H

#include <string>
#include <vector>

#include "../hostsim/host.h"

namespace tool {

/* "HH:MM:SS.mmm", local time: the start of every human line. */
std::string Timestamp();

/* Which bytes become \DDD (the byte's value in decimal, three digits).
 * Control bytes and DEL always do; besides them:
 *   Label         '\' (service names, types, domains)
 *   Presentation  nothing (full names and host names, which DNS-SD has
 *                 already escaped with '\')
 *   TxtItem       '\', ' ' and '"'; an empty item is written ""
 *   Field         '\' and ';' (parseable output) */
enum class Escaping { Label, Presentation, TxtItem, Field };
std::string Escape(const std::string &bytes, Escaping how);

/* The items of a TXT record as they are stored, "KEY=VALUE", "KEY=" or
 * "KEY"; an item whose length runs past the end keeps what is there. */
std::vector<std::string> TxtItems(const std::string &record);
/* Human form: the items escaped, separated by one space. */
std::string DescribeTxt(const hostsim::Text &record);

/* "kErrorBadParam (-65540)" for a code the plug-in names; DNS-SD's own name
 * for the codes it has no constant for, "kDNSServiceErr_ServiceNotRunning
 * (-65563)"; otherwise "error CODE". */
std::string ErrorName(const hostsim::Host &host, long long code);
/* The name alone, or "" for a code without one. */
std::string ErrorConstant(const hostsim::Host &host, long long code);

std::string Hex(const std::string &bytes);

}  // namespace tool

#endif
