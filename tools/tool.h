/*
 * zrk-dnssd: a host program for the plug-in, run from the command line.  It
 * loads the plug-in through the stand-in host and uses it only as a host
 * program would: by class, method and event name.
 */
#ifndef ZRK_TOOLS_TOOL_H
#define ZRK_TOOLS_TOOL_H

#include <cstdio>
#include <string>
#include <vector>

namespace tool {

/* Runs one command line (the arguments after the program's name), writing
 * events and results to out and messages to err; returns the exit status
 * (command_line.h).  Once per process: the plug-in's state is never reset. */
int RunTool(const std::vector<std::string> &args, FILE *out, FILE *err);

}  // namespace tool

#endif
