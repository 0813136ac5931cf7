#ifndef ZRK_TESTS_TOOL_LOOP_TIMER_H
#define ZRK_TESTS_TOOL_LOOP_TIMER_H

#include <functional>

/* Calls step every intervalMs from the message loop of this thread (the one
 * the tool runs), until step answers false.  How a test plays the daemon's
 * part while the tool runs. */
void EveryOnLoop(int intervalMs, std::function<bool()> step);

#endif
