#include "../platform.h"

#include <dlfcn.h>
#include <glib.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <time.h>

#include "avahi_allocator.h"

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

/* Avahi's compatibility library gives each reference a thread that polls
 * the D-Bus connection and signals the reference's socket; Apple's client
 * library reads the daemon's socket itself. */
bool PlatformPrepareDnsSdLibrary(void *library)
{
    return InstallZeroFillingAvahiAllocator(library);
}

/* A client library that writes to its daemon's closed socket raises SIGPIPE,
 * whose default action ends the process.  The signal is blocked for this
 * thread during the call, and one raised meanwhile is taken off the thread
 * before the old mask returns, so the host's own disposition never sees it.
 * A caller that already blocks SIGPIPE keeps whatever is pending. */
void PlatformEnterLibraryCall(PlatformLibraryCall *call)
{
    sigset_t pipe, old;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    call->guarded = pthread_sigmask(SIG_BLOCK, &pipe, &old) == 0 && !sigismember(&old, SIGPIPE);
}

void PlatformLeaveLibraryCall(const PlatformLibraryCall *call)
{
    if (!call->guarded)
        return;
    sigset_t pipe, pending;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    if (sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE)) {
        const struct timespec now = {0, 0};
        sigtimedwait(&pipe, nullptr, &now);
    }
    pthread_sigmask(SIG_UNBLOCK, &pipe, nullptr);
}

static gboolean TimerTick(gpointer data)
{
    reinterpret_cast<PlatformTimerProc>(data)();
    return G_SOURCE_CONTINUE;
}

static guint gTimerSource;

bool PlatformStartTimer(unsigned intervalMs, PlatformTimerProc proc)
{
    /* A GTK host dispatches GLib's default main context on its main thread.
     * The source may recurse: an event handler that runs a nested loop (a
     * modal dialog) must go on receiving ticks. */
    GSource *source = g_timeout_source_new(intervalMs);
    g_source_set_callback(source, TimerTick, reinterpret_cast<gpointer>(proc), nullptr);
    g_source_set_can_recurse(source, TRUE);
    gTimerSource = g_source_attach(source, nullptr);
    g_source_unref(source);
    return gTimerSource != 0;
}

void PlatformStopTimer(void)
{
    /* Also from inside the source's own dispatch: GLib then drops it when
     * the callback returns. */
    if (gTimerSource)
        g_source_remove(gTimerSource);
    gTimerSource = 0;
}

uint64_t PlatformMonotonicMicroseconds(void)
{
    return (uint64_t)g_get_monotonic_time();
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

void PlatformWaitReadable(const int *sockets, size_t count, unsigned timeoutMicroseconds)
{
    enum { kMaxSockets = 64 };
    struct pollfd entries[kMaxSockets];
    nfds_t used = 0;
    for (size_t i = 0; i < count && used < kMaxSockets; i++)
        entries[used++] = {sockets[i], POLLIN, 0};
    const struct timespec timeout = {0, (long)timeoutMicroseconds * 1000};
    ppoll(entries, used, &timeout, nullptr);
}

void *PlatformAllocZeroed(size_t size)
{
    return calloc(1, size);
}

void PlatformFree(void *block)
{
    free(block);
}
