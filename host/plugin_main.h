#ifndef ZRK_PLUGIN_MAIN_H
#define ZRK_PLUGIN_MAIN_H

#include "host_sdk.h"

#if defined(_WIN32)
#define ZRK_EXPORT __declspec(dllexport)
#else
#define ZRK_EXPORT __attribute__((visibility("default")))
#endif

extern "C" ZRK_EXPORT void REALPluginMain(HostResolver resolver);

/* Rounds the class data size up to a multiple of 16 and hands the record to
 * the host. */
void RegisterHostClass(HostClassDefinition *definition);

/* The plug-in's classes, registered at start-up in this order. */
extern HostClassDefinition *const kPluginClasses[];
extern const size_t kPluginClassCount;

#endif
