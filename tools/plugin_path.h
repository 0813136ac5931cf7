#ifndef ZRK_TOOLS_PLUGIN_PATH_H
#define ZRK_TOOLS_PLUGIN_PATH_H

#include <string>

namespace tool {

/* The plug-in beside this program (as built), or else where an install puts
 * it relative to the program; the first when neither is there. */
std::string DefaultPluginPath();

}  // namespace tool

#endif
