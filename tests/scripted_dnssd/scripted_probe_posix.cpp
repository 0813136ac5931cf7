#include "scripted_probe.h"

#include <arpa/inet.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>

void *ProbeLoadedDnsSd(void)
{
    void *library = dlopen("libdns_sd.so.1", RTLD_NOW | RTLD_NOLOAD);
    /* The process keeps it loaded; this look-up need not hold it too. */
    if (library)
        dlclose(library);
    return library;
}

void *ProbeExport(void *library, const char *name)
{
    return dlsym(library, name);
}

void *ProbeAnyExport(const char *name)
{
    return dlsym(RTLD_DEFAULT, name);
}

bool ProbeReadable(int socket)
{
    struct pollfd p = {socket, POLLIN, 0};
    return poll(&p, 1, 0) == 1 && (p.revents & POLLIN);
}

bool ProbeOpen(int socket)
{
    return fcntl(socket, F_GETFD) != -1;
}

uint16_t ProbeNetworkOrder(uint16_t port)
{
    return htons(port);
}
