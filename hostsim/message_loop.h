#ifndef HOSTSIM_MESSAGE_LOOP_H
#define HOSTSIM_MESSAGE_LOOP_H

#include <functional>

namespace hostsim {

/* Dispatches the host's messages on this thread until done answers true or
 * the time is up; done may be empty.  Returns what done last answered.  May
 * run inside a handler that an outer loop dispatched. */
bool RunMessageLoop(const std::function<bool()> &done, int timeoutMilliseconds);

}  // namespace hostsim

#endif
