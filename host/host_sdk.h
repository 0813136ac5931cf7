/*
 * The records and value types shared with the plug-in host.
 *
 * The host keeps pointers to the class, method, event, property and constant
 * records for the life of the process and writes its own words into them, so
 * every record handed over lives in static storage.  These declarations are
 * this library's own: they carry exactly the members the host reads or writes.
 */
#ifndef ZRK_HOST_SDK_H
#define ZRK_HOST_SDK_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The host language's Integer: a signed integer of pointer size. */
typedef intptr_t HostInteger;

/* An instance of a registered class.  Class data lives at the instance's
 * address plus the offset the host wrote into the class record. */
typedef struct HostObjectOpaque *HostObject;

/* A host string.  Only its first two members are fixed; the host owns the
 * rest.  A nil string is a null pointer. */
typedef struct HostStringHeader {
    const char *bytes;  /* NUL-terminated */
    HostInteger length; /* in bytes, NUL excluded */
} HostStringHeader;
typedef HostStringHeader *HostString;

/* Text-encoding codes understood by "REALSetStringEncoding". */
enum {
    kHostEncodingASCII = 0x0600,
    kHostEncodingUTF8 = 0x08000100,
    kHostEncodingRaw = 0xFFFF
};

typedef void (*HostRoutine)(void);

/* Marker in a property accessor member: the host reads or writes the field
 * itself, at the byte offset given in the record. */
#define kHostStandardAccessor ((HostRoutine)(intptr_t)-1)

enum { kHostClassVersion = 9, kHostClassFlags = 4, kHostMethodFlags = 4, kHostPropertyFlags = 6 };

typedef struct HostMethodDefinition {
    HostRoutine routine;
    HostRoutine setter; /* always null: methods have no setter */
    const char *declaration;
    uint32_t flags;
} HostMethodDefinition;

typedef struct HostEventDefinition {
    const char *declaration;
    HostInteger forSystemUse; /* the event's identifier, written by the host */
} HostEventDefinition;

typedef struct HostPropertyDefinition {
    const char *group; /* null: no group */
    const char *name;
    const char *type;
    uint32_t flags;
    HostRoutine getter; /* kHostStandardAccessor, a routine, or null */
    HostRoutine setter; /* kHostStandardAccessor, a routine, or null (read-only) */
    HostInteger param;  /* byte offset of the field inside the class data */
} HostPropertyDefinition;

typedef struct HostConstantDefinition {
    const char *declaration;
    const char *reserved1;
    HostInteger reserved2;
} HostConstantDefinition;

typedef struct HostClassDefinition {
    uint32_t version;
    const char *name;
    const char *superName; /* null for a root class */
    size_t dataSize;
    HostInteger forSystemUse; /* class-data offset, written by the host */
    HostRoutine constructor;  /* void (*)(HostObject), or null */
    HostRoutine destructor;   /* void (*)(HostObject), or null */
    const HostPropertyDefinition *properties;
    size_t propertyCount;
    const HostMethodDefinition *methods;
    size_t methodCount;
    HostEventDefinition *events; /* written by the host */
    size_t eventCount;
    const HostConstantDefinition *constants;
    size_t constantCount;
    uint32_t flags;
    const HostMethodDefinition *sharedMethods;
    size_t sharedMethodCount;
} HostClassDefinition;

/* What the host hands to the plug-in's entry: a name-to-address resolver. */
typedef void *(*HostResolver)(const char *entryName);
typedef void (*HostPluginMain)(HostResolver resolver);

/* The host entries, as the plug-in calls them. */
typedef void (*HostRegisterPluginVersionFn)(HostInteger version);
typedef void (*HostPluginRegisterClassFn)(HostClassDefinition *definition);
typedef bool (*HostInRuntimeFn)(void);
typedef HostString (*HostBuildStringFn)(const char *bytes, HostInteger length);
typedef void (*HostSetStringEncodingFn)(HostString string, uint32_t encoding);
typedef void (*HostUnlockStringFn)(HostString string);
typedef void (*HostLockObjectFn)(HostObject instance);
typedef void (*HostUnlockObjectFn)(HostObject instance);
typedef HostRoutine (*HostGetEventInstanceFn)(HostObject instance, HostInteger eventId);

#ifdef __cplusplus
}
#endif

#endif
