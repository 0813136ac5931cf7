#include "poll_list.h"

#include "../platform/platform.h"
#include "dnssd_table.h"
#include "service_polling.h"

/* How long a tick may go on serving records that keep delivering once its
 * first pass (every open record once) is done: it stops asking for more
 * this long after it began, short enough for the host's UI never to notice.
 * And how long, at most, a library's own thread is given to hand over what
 * it already has. */
static const uint64_t kTickBudgetMicroseconds = 4000;
static const uint64_t kThreadWaitMicroseconds = 1000;

/*
 * A reply callback runs the host program's handler inside the walk, and the
 * handler may close any record, start new operations, let its instance go
 * (the host then frees the record), or run a nested message loop that walks
 * the list again.  So:
 * - a walk keeps its place in the list's own nodes and never touches a record
 *   after handing it to DNSServiceProcessResult;
 * - closing only clears the node's record; cleared nodes are unlinked and
 *   freed once no walk is under way;
 * - a nested walk skips the node whose reply an outer walk is processing;
 * - a node whose record is still set after its reply was processed belongs
 *   to the same open operation: closing or restarting it clears the node.
 */
typedef struct PollNode {
    struct PollNode *next;
    ServiceRecord *record; /* null once its operation is closed */
    HostObject instance;   /* whose record it is */
    PollEndedProc ended;
    bool processing;          /* a walk is inside DNSServiceProcessResult for it */
    unsigned long servedPass; /* the last pass that processed a reply of it */
} PollNode;

static PollNode *gHead;
static PollNode *gTail;
static int gWalkDepth;
static bool gHasCleared;
static unsigned long gTicks;
static unsigned long gPasses;
static size_t gPolled;        /* nodes with a record: the timer runs while any */

bool AddToPollList(ServiceRecord *record, HostObject instance, PollEndedProc ended)
{
    if (!record->Handle)
        return false;
    PollNode *node = static_cast<PollNode *>(PlatformAllocZeroed(sizeof(PollNode)));
    if (!node)
        return true;
    node->record = record;
    node->instance = instance;
    node->ended = ended;
    if (gTail)
        gTail->next = node;
    else
        gHead = node;
    gTail = node;
    gPolled++;
    StartPollTimer();
    return true;
}

static void UnlinkClearedNodes(void)
{
    PollNode **link = &gHead;
    gTail = nullptr;
    while (PollNode *node = *link) {
        if (node->record) {
            gTail = node;
            link = &node->next;
        } else {
            *link = node->next;
            PlatformFree(node);
        }
    }
    gHasCleared = false;
}

void RemoveFromPollList(ServiceRecord *record)
{
    for (PollNode *node = gHead; node; node = node->next)
        if (node->record == record) {
            node->record = nullptr;
            gHasCleared = true;
            if (--gPolled == 0)
                StopPollTimer();
        }
    if (gWalkDepth == 0 && gHasCleared)
        UnlinkClearedNodes();
}

DNSServiceErrorType PollService(ServiceRecord *record, int *servedSocket)
{
    *servedSocket = -1;
    DNSServiceRef ref = record->Handle;
    if (!ref || !gDnsSd.DNSServiceRefSockFD || !gDnsSd.DNSServiceProcessResult)
        return kDNSServiceErr_NoError;
    int socket = gDnsSd.DNSServiceRefSockFD(ref);
    if (socket < 0 || PlatformSocketReadable(socket) <= 0)
        return kDNSServiceErr_NoError;
    *servedSocket = socket;
    /* The reply may close the record or free it with its instance. */
    DnsSdCallGuard guard;
    return gDnsSd.DNSServiceProcessResult(ref);
}

/* A reference whose reply fails stays readable and fails again on every
 * call (Apple's library then answers each call on it with an error, and
 * after enough of them sleeps a second per call): the operation is over.
 * It is closed first, so that nothing polls it again, whatever the handler
 * then does. */
static void EndOperation(PollNode *node, DNSServiceErrorType code)
{
    ServiceRecord *record = node->record;
    HostObject instance = node->instance;
    PollEndedProc ended = node->ended;
    CloseServiceRecord(record);
    record->Lasterror = code;
    if (ended)
        ended(instance, code);
}

/* The sockets a pass served, for the library's thread to be waited on. */
enum { kMaxServedSockets = 64 };
typedef struct ServedSockets {
    int sockets[kMaxServedSockets];
    size_t count;
} ServedSockets;

/* One pass over the list.  The first pass of a tick (previous 0) visits
 * every open record; a later one only those its previous pass served, and
 * only until the deadline.  Pass numbers are unique across nested walks.
 * True when a reply was processed. */
static bool WalkOnce(unsigned long pass, unsigned long previous, uint64_t deadline, ServedSockets *served)
{
    served->count = 0;
    for (PollNode *node = gHead; node; node = node->next) {
        if (!node->record || node->processing || (previous && node->servedPass != previous))
            continue;
        if (previous && PlatformMonotonicMicroseconds() >= deadline)
            break;
        node->processing = true;
        int socket;
        DNSServiceErrorType result = PollService(node->record, &socket);
        node->processing = false;
        if (socket < 0)
            continue;
        if (served->count < kMaxServedSockets)
            served->sockets[served->count++] = socket;
        node->servedPass = pass;
        if (result != kDNSServiceErr_NoError && node->record)
            EndOperation(node, result);
    }
    return served->count > 0;
}

/*
 * Apple's client library processes every reply already waiting in one call.
 * Avahi's compatibility library processes what one wake-up of its helper
 * thread brought and then has the thread look again: the socket of a record
 * just served becomes readable again a moment later when more is waiting,
 * and leaving that to the next tick would deliver a burst at one wake-up per
 * 50 ms.  So records served in a pass are looked at again, for as long as
 * they keep delivering and the tick's budget lasts; with a library that
 * hands replies over from its own thread, the next look first gives that
 * thread a moment.  A library that delivers everything at once is called
 * once per tick, and never waited for.
 */
void PollTimerProc(void)
{
    gTicks++;
    gWalkDepth++;
    uint64_t deadline = PlatformMonotonicMicroseconds() + kTickBudgetMicroseconds;
    ServedSockets served;
    unsigned long pass = ++gPasses;
    bool any = WalkOnce(pass, 0, deadline, &served);
    for (;;) {
        uint64_t now = PlatformMonotonicMicroseconds();
        if (!any || now >= deadline)
            break;
        if (gDnsSdRepliesThroughThread) {
            uint64_t left = deadline - now;
            PlatformWaitReadable(served.sockets, served.count,
                                 (unsigned)(left < kThreadWaitMicroseconds ? left : kThreadWaitMicroseconds));
        }
        unsigned long previous = pass;
        pass = ++gPasses;
        any = WalkOnce(pass, previous, deadline, &served);
    }
    if (--gWalkDepth == 0 && gHasCleared)
        UnlinkClearedNodes();
}

size_t PollListLength(void)
{
    size_t length = 0;
    for (PollNode *node = gHead; node; node = node->next)
        length++;
    return length;
}

unsigned long PollTickCount(void)
{
    return gTicks;
}
