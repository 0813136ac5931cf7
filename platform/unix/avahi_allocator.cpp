/*
 * Avahi's DNS-SD compatibility library (0.8, as Debian 12 ships it) makes its
 * references with a plain malloc and sets only the reply callback of the
 * operation it starts.  When the daemon goes away it calls the first callback
 * that is not null: an uninitialised one belonging to some other operation
 * kind, with the wrong arguments, which kills the host.  Avahi's own memory
 * functions take their allocator from avahi_set_allocator, so installing one
 * that hands out zero-filled memory leaves those pointers null, as later
 * Avahi releases do themselves.
 *
 * Only the library's dependency on libavahi-common carries the entry; Apple's
 * client library has none and is left alone.  The allocator is libc's own,
 * so memory a host program already got from Avahi before the plug-in loaded
 * is still freed correctly.
 */
#include "avahi_allocator.h"

#include <dlfcn.h>
#include <stdlib.h>

namespace {

/* The layout of Avahi's public AvahiAllocator (avahi-common/malloc.h). */
struct AvahiAllocator {
    void *(*malloc)(size_t size);
    void (*free)(void *block);
    void *(*realloc)(void *block, size_t size);
    void *(*calloc)(size_t count, size_t size);
};

typedef void (*AvahiSetAllocatorFn)(const AvahiAllocator *allocator);

void *ZeroedMalloc(size_t size)
{
    return calloc(1, size ? size : 1);
}

void LibcFree(void *block)
{
    free(block);
}

void *LibcRealloc(void *block, size_t size)
{
    return realloc(block, size);
}

void *LibcCalloc(size_t count, size_t size)
{
    return calloc(count, size);
}

/* Avahi keeps the pointer, not a copy. */
const AvahiAllocator kZeroFillingAllocator = {ZeroedMalloc, LibcFree, LibcRealloc, LibcCalloc};

}  // namespace

bool InstallZeroFillingAvahiAllocator(void *library)
{
    void *entry = dlsym(library, "avahi_set_allocator");
    if (entry)
        reinterpret_cast<AvahiSetAllocatorFn>(entry)(&kZeroFillingAllocator);
    return entry != nullptr;
}
