/*
 * The readable socket behind each scripted reference.  This is the only part
 * of the scripted library that knows how descriptors are made, signalled and
 * moved; scripted_socket_posix.cpp is its one implementation so far.
 */
#ifndef ZRK_SCRIPTED_SOCKET_H
#define ZRK_SCRIPTED_SOCKET_H

/* Two connected stream sockets: what is written to writeEnd becomes readable
 * on readEnd, the end a caller of DNSServiceRefSockFD polls. */
struct SocketPair {
    int readEnd;
    int writeEnd;
};

bool SocketPairOpen(SocketPair *pair);
void SocketPairClose(SocketPair *pair);

/* One byte to writeEnd.  Fails rather than waits when the socket is full. */
bool SocketSignal(SocketPair *pair);
/* One byte from readEnd.  Fails rather than waits when there is none. */
bool SocketConsume(SocketPair *pair);

/* Puts readEnd on descriptor number target and closes the old number. */
bool SocketMoveReadEnd(SocketPair *pair, int target);

/* Writes to a connection whose peer is gone, as a client library does to
 * its dead daemon: on POSIX this raises SIGPIPE for the calling thread.
 * False where the system raises no such signal. */
bool SocketWriteToClosedPeer(void);

#endif
