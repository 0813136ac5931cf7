#include "scripted_probe.h"

#include <winsock2.h>
#include <windows.h>

void *ProbeLoadedDnsSd(void)
{
    return GetModuleHandleA("dnssd.dll");
}

void *ProbeExport(void *library, const char *name)
{
    return library ? reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(library), name)) : nullptr;
}

/* Windows looks names up one module at a time; the DNS-SD functions can
 * only come from dnssd.dll. */
void *ProbeAnyExport(const char *name)
{
    return ProbeExport(ProbeLoadedDnsSd(), name);
}

bool ProbeReadable(int socket)
{
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(static_cast<SOCKET>(socket), &readable);
    struct timeval now = {0, 0};
    return select(0, &readable, nullptr, nullptr, &now) == 1;
}

bool ProbeOpen(int socket)
{
    int type = 0;
    int length = sizeof type;
    return getsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, SO_TYPE, reinterpret_cast<char *>(&type),
                      &length) == 0;
}

uint16_t ProbeNetworkOrder(uint16_t port)
{
    return htons(port);
}
