#include "../host/plugin_main.h"

/* Base class first: the host resolves a superclass by name when a subclass is
 * registered. */
HostClassDefinition *const kPluginClasses[] = {nullptr};
const size_t kPluginClassCount = 0;
