#ifndef ZRK_TOOLS_EVENT_FORMAT_H
#define ZRK_TOOLS_EVENT_FORMAT_H

#include <string>

#include "../hostsim/host.h"

/* "HH:MM:SS.mmm", local time: the start of every event line. */
std::string Timestamp();

/* A TXT record as space-separated key=value items; bytes outside printable
 * ASCII, and the backslash, are escaped as \xNN. */
std::string DescribeTxt(hostsim::Host &host, const hostsim::Text &txt);

/* Bytes made printable the same way. */
std::string Escape(const std::string &bytes);

/* The kError constant's name for a DNS-SD code, with the code. */
std::string ErrorName(hostsim::Host &host, long long code);

std::string Hex(const std::string &bytes);

#endif
