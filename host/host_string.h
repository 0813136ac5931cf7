/*
 * Host strings in and out: reading a string argument as bytes, and making the
 * strings the plug-in hands to the host.
 */
#ifndef ZRK_HOST_STRING_H
#define ZRK_HOST_STRING_H

#include "host_sdk.h"

/* Bytes of a string argument.  `bytes` is NUL-terminated, or null when a nil
 * argument is read as "no value". */
typedef struct HostText {
    const char *bytes;
    size_t length;
} HostText;

/* Nil reads as "" with length 0. */
HostText HostStringText(HostString string);
/* Nil reads as no value at all: null with length 0. */
HostText HostStringValue(HostString string);

/* A new host string owned by the caller, or nil when bytes is null, length is
 * 0 or less, or the host makes none. */
HostString BuildHostString(const void *bytes, HostInteger length, uint32_t encoding);
/* The same for a NUL-terminated text; an empty text gives nil. */
HostString BuildHostCString(const char *text, uint32_t encoding);

#endif
