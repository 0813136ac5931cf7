#include "../platform.h"

#include <winsock2.h>
#include <windows.h>

#include "library_handle.h"

/* The file name of Apple's DNS-SD client library for Windows. */
const char kPlatformDnsSdLibrary[] = "dnssd.dll";

bool LibraryHandleLoaded(uintptr_t handle)
{
    return handle > 32;
}

void *PlatformLoadLibrary(const char *fileName)
{
    HMODULE library = LoadLibraryA(fileName);
    return LibraryHandleLoaded(reinterpret_cast<uintptr_t>(library)) ? library : nullptr;
}

PlatformSymbol PlatformLookupSymbol(void *library, const char *name)
{
    return reinterpret_cast<PlatformSymbol>(GetProcAddress(static_cast<HMODULE>(library), name));
}

/* Apple's library for Windows reads the daemon's socket itself. */
bool PlatformPrepareDnsSdLibrary(void *)
{
    return false;
}

/* Winsock raises no signal on a closed connection: a send fails instead. */
void PlatformEnterLibraryCall(PlatformLibraryCall *call)
{
    call->guarded = false;
}

void PlatformLeaveLibraryCall(const PlatformLibraryCall *)
{
}

/* A thread timer has no window to carry its procedure's argument, so the
 * one procedure the plug-in starts is kept here. */
static PlatformTimerProc gTimerProc;
static UINT_PTR gTimerId;

static void CALLBACK TimerTick(HWND, UINT, UINT_PTR, DWORD)
{
    gTimerProc();
}

bool PlatformStartTimer(unsigned intervalMs, PlatformTimerProc proc)
{
    /* Without a window the timer belongs to this thread: its WM_TIMER
     * messages come only through the host's own message loop, nested loops
     * (a modal dialog) included. */
    gTimerProc = proc;
    gTimerId = SetTimer(nullptr, 0, intervalMs, TimerTick);
    return gTimerId != 0;
}

void PlatformStopTimer(void)
{
    /* Also from inside TimerTick: no WM_TIMER of it is dispatched after. */
    if (gTimerId)
        KillTimer(nullptr, gTimerId);
    gTimerId = 0;
}

uint64_t PlatformMonotonicMicroseconds(void)
{
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return (uint64_t)(now.QuadPart / frequency.QuadPart * 1000000 +
                      now.QuadPart % frequency.QuadPart * 1000000 / frequency.QuadPart);
}

int PlatformSocketReadable(int socket)
{
    /* No WSAStartup here: the DNS-SD library that handed out the socket has
     * made that call, and without a library nothing is ever polled. */
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(static_cast<SOCKET>(socket), &readable);
    struct timeval now = {0, 0};
    /* The first argument is ignored by Winsock; given as POSIX reads it. */
    int ready = select(socket + 1, &readable, nullptr, nullptr, &now);
    if (ready == SOCKET_ERROR)
        return -1;
    return ready > 0 && FD_ISSET(static_cast<SOCKET>(socket), &readable) ? 1 : 0;
}

void PlatformWaitReadable(const int *sockets, size_t count, unsigned timeoutMicroseconds)
{
    fd_set readable;
    FD_ZERO(&readable);
    for (size_t i = 0; i < count && i < FD_SETSIZE; i++)
        FD_SET(static_cast<SOCKET>(sockets[i]), &readable);
    struct timeval timeout = {0, (long)timeoutMicroseconds};
    select(0, &readable, nullptr, nullptr, &timeout);
}

void *PlatformAllocZeroed(size_t size)
{
    return GlobalAlloc(GPTR, size);
}

void PlatformFree(void *block)
{
    if (block)
        GlobalFree(block);
}
