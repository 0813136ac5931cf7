#ifndef ZRK_TOOLS_PRINT_CLASSES_H
#define ZRK_TOOLS_PRINT_CLASSES_H

#include <string>

#include "../hostsim/host.h"

/* The host-visible surface of every registered class, in registration order,
 * one item a line. */
std::string DescribeClasses(const hostsim::Host &host);

#endif
