#ifndef ZRK_SERVICE_CLASSES_H
#define ZRK_SERVICE_CLASSES_H

#include "../host/host_sdk.h"

extern HostClassDefinition gServiceBaseClass;
extern HostClassDefinition gServiceBrowseClass;
extern HostClassDefinition gServiceResolveClass;
extern HostClassDefinition gServiceRegisterClass;
extern HostClassDefinition gServiceRegisterRecordClass;
extern HostClassDefinition gServiceDomainEnumerationClass;

#endif
