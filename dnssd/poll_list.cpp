#include "poll_list.h"

#include "../platform/platform.h"
#include "dnssd_table.h"
#include "service_polling.h"

/* How long one tick may go on serving records that keep delivering, beyond
 * its first pass: short enough for the host's UI never to notice. */
enum { kTickBudgetMicroseconds = 4000 };

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

DNSServiceErrorType PollService(ServiceRecord *record, bool *served)
{
    *served = false;
    DNSServiceRef ref = record->Handle;
    if (!ref || !gDnsSd.DNSServiceRefSockFD || !gDnsSd.DNSServiceProcessResult)
        return kDNSServiceErr_NoError;
    int socket = gDnsSd.DNSServiceRefSockFD(ref);
    if (socket < 0 || PlatformSocketReadable(socket) <= 0)
        return kDNSServiceErr_NoError;
    *served = true;
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

/* One pass over the list.  The first pass of a tick (previous 0) visits
 * every open record; a later one only those its previous pass served.  Pass
 * numbers are unique across nested walks.  True when a reply was
 * processed. */
static bool WalkOnce(unsigned long pass, unsigned long previous)
{
    bool any = false;
    for (PollNode *node = gHead; node; node = node->next) {
        if (!node->record || node->processing || (previous && node->servedPass != previous))
            continue;
        node->processing = true;
        bool served;
        DNSServiceErrorType result = PollService(node->record, &served);
        node->processing = false;
        if (!served)
            continue;
        any = true;
        node->servedPass = pass;
        if (result != kDNSServiceErr_NoError && node->record)
            EndOperation(node, result);
    }
    return any;
}

/*
 * Apple's client library processes every reply already waiting in one call.
 * Avahi's compatibility library processes what one wake-up of its helper
 * thread brought and then has the thread look again: the socket of a record
 * just served may be readable again at once, and waiting for the next tick
 * would deliver a burst at one wake-up per 50 ms.  So records served in a
 * pass are looked at again, for as long as they keep delivering and the
 * tick's budget lasts; a library that delivers everything at once is called
 * once per tick, as before.
 */
void PollTimerProc(void)
{
    gTicks++;
    gWalkDepth++;
    uint64_t deadline = PlatformMonotonicMicroseconds() + kTickBudgetMicroseconds;
    unsigned long pass = ++gPasses;
    bool served = WalkOnce(pass, 0);
    while (served && PlatformMonotonicMicroseconds() < deadline) {
        unsigned long previous = pass;
        pass = ++gPasses;
        served = WalkOnce(pass, previous);
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
