#include "poll_list.h"

#include "../platform/platform.h"
#include "dnssd_table.h"

/*
 * A reply callback runs the host program's handler inside the walk, and the
 * handler may close any record, start new operations, let its instance go
 * (the host then frees the record), or run a nested message loop that walks
 * the list again.  So:
 * - a walk keeps its place in the list's own nodes and never touches a record
 *   after handing it to DNSServiceProcessResult;
 * - closing only clears the node's record; cleared nodes are unlinked and
 *   freed once no walk is under way;
 * - a nested walk skips the node whose reply an outer walk is processing.
 */
typedef struct PollNode {
    struct PollNode *next;
    ServiceRecord *record; /* null once its operation is closed */
    bool processing;       /* a walk is inside DNSServiceProcessResult for it */
} PollNode;

static PollNode *gHead;
static PollNode *gTail;
static int gWalkDepth;
static bool gHasCleared;
static unsigned long gTicks;

bool AddToPollList(ServiceRecord *record)
{
    if (!record->Handle)
        return false;
    PollNode *node = static_cast<PollNode *>(PlatformAllocZeroed(sizeof(PollNode)));
    if (!node)
        return true;
    node->record = record;
    if (gTail)
        gTail->next = node;
    else
        gHead = node;
    gTail = node;
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
        }
    if (gWalkDepth == 0 && gHasCleared)
        UnlinkClearedNodes();
}

void PollService(ServiceRecord *record)
{
    DNSServiceRef ref = record->Handle;
    if (!ref || !gDnsSd.DNSServiceRefSockFD || !gDnsSd.DNSServiceProcessResult)
        return;
    int socket = gDnsSd.DNSServiceRefSockFD(ref);
    if (socket < 0 || PlatformSocketReadable(socket) <= 0)
        return;
    /* The reply may close the record or free it with its instance. */
    gDnsSd.DNSServiceProcessResult(ref);
}

void PollTimerProc(void)
{
    gTicks++;
    gWalkDepth++;
    for (PollNode *node = gHead; node; node = node->next) {
        if (!node->record || node->processing)
            continue;
        node->processing = true;
        PollService(node->record);
        node->processing = false;
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
