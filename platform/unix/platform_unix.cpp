#include "../platform.h"

#include <dlfcn.h>
#include <glib.h>
#include <poll.h>
#include <stdlib.h>

/* The soname of both Avahi's compatibility library and Apple's client
 * library. */
const char kPlatformDnsSdLibrary[] = "libdns_sd.so.1";

void *PlatformLoadLibrary(const char *fileName)
{
    return dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
}

PlatformSymbol PlatformLookupSymbol(void *library, const char *name)
{
    return reinterpret_cast<PlatformSymbol>(dlsym(library, name));
}

static gboolean TimerTick(gpointer data)
{
    reinterpret_cast<PlatformTimerProc>(data)();
    return G_SOURCE_CONTINUE;
}

bool PlatformStartTimer(unsigned intervalMs, PlatformTimerProc proc)
{
    /* A GTK host dispatches GLib's default main context on its main thread.
     * The source may recurse: an event handler that runs a nested loop (a
     * modal dialog) must go on receiving ticks. */
    GSource *source = g_timeout_source_new(intervalMs);
    g_source_set_callback(source, TimerTick, reinterpret_cast<gpointer>(proc), nullptr);
    g_source_set_can_recurse(source, TRUE);
    guint id = g_source_attach(source, nullptr);
    g_source_unref(source);
    return id != 0;
}

int PlatformSocketReadable(int socket)
{
    /* poll(), not select(): an fd_set cannot hold a descriptor at or above
     * FD_SETSIZE. */
    struct pollfd entry = {socket, POLLIN, 0};
    int ready = poll(&entry, 1, 0);
    if (ready < 0 || (entry.revents & POLLNVAL))
        return -1;
    return ready > 0 && (entry.revents & (POLLIN | POLLHUP | POLLERR)) ? 1 : 0;
}

void *PlatformAllocZeroed(size_t size)
{
    return calloc(1, size);
}

void PlatformFree(void *block)
{
    free(block);
}
