/* The scripted reference's socket on Windows: a connected pair of loopback
 * TCP sockets, as Windows has no socketpair().  Like the real library, this
 * one starts Winsock for itself; the plug-in never does. */
#include "scripted_socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

static bool StartWinsock(void)
{
    static bool started;
    if (!started) {
        WSADATA data;
        started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    return started;
}

/* Neither end may ever make the scripted library wait, nor be inherited by
 * a process a test starts; a single byte must leave at once. */
static bool SetQuiet(SOCKET s)
{
    u_long nonBlocking = 1;
    BOOL noDelay = TRUE;
    return ioctlsocket(s, FIONBIO, &nonBlocking) == 0 &&
           setsockopt(s, IPPROTO_TCP, TCP_NODELAY, (const char *)&noDelay, sizeof noDelay) == 0 &&
           SetHandleInformation((HANDLE)s, HANDLE_FLAG_INHERIT, 0);
}

static bool Connect(SOCKET *readEnd, SOCKET *writeEnd)
{
    SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener == INVALID_SOCKET)
        return false;
    struct sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int length = sizeof address;
    *writeEnd = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    /* Connecting to a listening loopback socket completes at once. */
    bool ok = *writeEnd != INVALID_SOCKET &&
              bind(listener, (struct sockaddr *)&address, sizeof address) == 0 &&
              getsockname(listener, (struct sockaddr *)&address, &length) == 0 && listen(listener, 1) == 0 &&
              connect(*writeEnd, (struct sockaddr *)&address, sizeof address) == 0 &&
              (*readEnd = accept(listener, nullptr, nullptr)) != INVALID_SOCKET;
    closesocket(listener);
    return ok;
}

/* Bytes waiting to be read, or -1. */
static long Waiting(SOCKET s)
{
    u_long count = 0;
    return ioctlsocket(s, FIONREAD, &count) == 0 ? (long)count : -1;
}

bool SocketPairOpen(SocketPair *pair)
{
    if (!StartWinsock())
        return false;
    SOCKET readEnd = INVALID_SOCKET, writeEnd = INVALID_SOCKET;
    if (!Connect(&readEnd, &writeEnd) || !SetQuiet(readEnd) || !SetQuiet(writeEnd)) {
        if (readEnd != INVALID_SOCKET)
            closesocket(readEnd);
        if (writeEnd != INVALID_SOCKET)
            closesocket(writeEnd);
        return false;
    }
    pair->readEnd = (int)readEnd;
    pair->writeEnd = (int)writeEnd;
    return true;
}

void SocketPairClose(SocketPair *pair)
{
    if (pair->readEnd >= 0)
        closesocket((SOCKET)pair->readEnd);
    if (pair->writeEnd >= 0)
        closesocket((SOCKET)pair->writeEnd);
    pair->readEnd = -1;
    pair->writeEnd = -1;
}

bool SocketSignal(SocketPair *pair)
{
    const char byte = 1;
    long before = Waiting((SOCKET)pair->readEnd);
    if (before < 0 || send((SOCKET)pair->writeEnd, &byte, 1, 0) != 1)
        return false;
    /* Each waiting reply must have its byte on the read end when this
     * returns: unlike a local socketpair, TCP may take a moment to carry it
     * across, and a reply whose byte is late would look like none. */
    for (int tries = 0; tries < 2000; tries++) {
        long now = Waiting((SOCKET)pair->readEnd);
        if (now < 0)
            return false;
        if (now > before)
            return true;
        Sleep(1);
    }
    return false;
}

bool SocketConsume(SocketPair *pair)
{
    char byte;
    return recv((SOCKET)pair->readEnd, &byte, 1, 0) == 1;
}

/* Windows has no numbered descriptors to move a socket to. */
bool SocketMoveReadEnd(SocketPair *, int)
{
    return false;
}

/* Winsock raises no signal: a send to a closed peer fails, nothing more. */
bool SocketWriteToClosedPeer(void)
{
    return false;
}
