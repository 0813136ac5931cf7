#include "../host/plugin_main.h"
#include "../txt/txt_record.h"
#include "service_classes.h"

/* Base class first: the host resolves a superclass by name when a subclass is
 * registered. */
HostClassDefinition *const kPluginClasses[] = {
    &gServiceBaseClass,     &gServiceBrowseClass,         &gServiceResolveClass,
    &gServiceRegisterClass, &gServiceRegisterRecordClass, &gServiceDomainEnumerationClass,
    &gTxtRecordClass,
};
const size_t kPluginClassCount = sizeof kPluginClasses / sizeof kPluginClasses[0];
