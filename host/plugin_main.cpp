#include "plugin_main.h"

#include "../dnssd/service_polling.h"
#include "host_entries.h"

enum { kPluginInterfaceVersion = 9 };

void RegisterHostClass(HostClassDefinition *definition)
{
    definition->dataSize = (definition->dataSize + 15) & ~(size_t)15;
    HostPluginRegisterClass(definition);
}

extern "C" ZRK_EXPORT void REALPluginMain(HostResolver resolver)
{
    HostEntriesInit(resolver);
    HostRegisterPluginVersion(kPluginInterfaceVersion);
    for (size_t i = 0; i < kPluginClassCount; i++)
        RegisterHostClass(kPluginClasses[i]);
    /* The development environment loads the plug-in only to show its
     * classes; DNS-SD is loaded and polled only in a built application. */
    if (HostInRuntime())
        StartServicePolling();
}
