#ifndef HOSTSIM_LOADER_ERROR_H
#define HOSTSIM_LOADER_ERROR_H

#include <string>

namespace hostsim {

/* Why the operating system's loader last refused a library on this thread,
 * as it says it; empty when it says nothing. */
std::string LoaderError();

}  // namespace hostsim

#endif
