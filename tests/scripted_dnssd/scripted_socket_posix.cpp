/* The scripted reference's socket on POSIX systems. */
#include "scripted_socket.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

/* Neither end may ever make the scripted library wait, and neither should
 * leak into a process a test starts. */
static bool SetQuiet(int fd)
{
    int status = fcntl(fd, F_GETFL);
    if (status < 0 || fcntl(fd, F_SETFL, status | O_NONBLOCK) < 0)
        return false;
    return fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

bool SocketPairOpen(SocketPair *pair)
{
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0)
        return false;
    if (!SetQuiet(fds[0]) || !SetQuiet(fds[1])) {
        close(fds[0]);
        close(fds[1]);
        return false;
    }
    pair->readEnd = fds[0];
    pair->writeEnd = fds[1];
    return true;
}

void SocketPairClose(SocketPair *pair)
{
    if (pair->readEnd >= 0)
        close(pair->readEnd);
    if (pair->writeEnd >= 0)
        close(pair->writeEnd);
    pair->readEnd = -1;
    pair->writeEnd = -1;
}

bool SocketSignal(SocketPair *pair)
{
    const char byte = 1;
    ssize_t n;
    do
        n = write(pair->writeEnd, &byte, 1);
    while (n < 0 && errno == EINTR);
    return n == 1;
}

bool SocketConsume(SocketPair *pair)
{
    char byte;
    ssize_t n;
    do
        n = read(pair->readEnd, &byte, 1);
    while (n < 0 && errno == EINTR);
    return n == 1;
}

bool SocketMoveReadEnd(SocketPair *pair, int target)
{
    if (target == pair->readEnd)
        return true;
    if (dup2(pair->readEnd, target) < 0)
        return false;
    /* dup2 does not carry the close-on-exec flag over. */
    fcntl(target, F_SETFD, FD_CLOEXEC);
    close(pair->readEnd);
    pair->readEnd = target;
    return true;
}

bool SocketWriteToClosedPeer(void)
{
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0)
        return false;
    close(fds[1]);
    const char byte = 0;
    ssize_t written = write(fds[0], &byte, 1);
    int error = errno;
    close(fds[0]);
    return written < 0 && error == EPIPE;
}
