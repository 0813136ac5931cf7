/*
 * dnssd_direct_client: the floor for the plug-in's reply latency.  It calls
 * the same DNS-SD library the plug-in loads, the way a program with nothing
 * else to do calls it: a blocking select() over every open reference's
 * socket, and DNSServiceProcessResult as soon as one is readable.
 *
 * It speaks the same line protocol as bench_plugin_client, so that
 * avahi_latency.sh drives both alike.  Commands come on standard input, one
 * a line; results go to standard output.  Every time is CLOCK_REALTIME in
 * microseconds, taken as the reply reaches the program's callback, so that it
 * compares with the publisher's times in another process:
 *
 *   expect ID add|rmv PREFIX COUNT
 *       ok ID, then, once COUNT distinct PREFIX-NUMBER instances were seen:
 *       complete ID FIRST_US LAST_US BUSY_US BUSY_CPU_US SLEEPS
 *   resolve ID NAME TYPE
 *       resolved ID CALL_US RETURN_US REPLY_US ERROR  (REPLY_US 0: it failed)
 *   quit
 *
 * Browse results print as "add NAME US" and "rmv NAME US".  From the return
 * of select() that brought the first counted reply to the one that brought
 * the last: SLEEPS is the number of times the main thread slept (its
 * voluntary context switches), BUSY_US the longest time from a return of
 * select() to its next call, leaving out those that ran a command, and
 * BUSY_CPU_US the longest CPU time of this thread in such a stretch (wall
 * time also counts the times another process had the CPU).
 *
 *   dnssd_direct_client [--browse TYPE] [--max-seconds N]
 *
 * End of input is not the end: the program then runs on until "quit" came or
 * the time is up, so that it can be left idle with nothing to read.
 */
#define _GNU_SOURCE /* RUSAGE_THREAD */

#include <dns_sd.h>

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/select.h>
#include <time.h>
#include <unistd.h>

enum { kMaxInstances = 4096 };

static long long RealtimeUs(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return (long long)ts.tv_sec * 1000000 + ts.tv_nsec / 1000;
}

static long long MonotonicUs(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * 1000000 + ts.tv_nsec / 1000;
}

static long long ThreadCpuUs(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return (long long)ts.tv_sec * 1000000 + ts.tv_nsec / 1000;
}

/* The burst being counted. */
static struct {
    int active;
    char id[64];
    int add; /* counting adds, else removals */
    char prefix[256];
    int count;
    int seen;
    unsigned char counted[kMaxInstances];
    long long firstUs, lastUs;
    int inWindow; /* the first counted reply has come */
    int finished; /* the last has come: report at the next wait */
    long long busyMaxUs, busyCpuMaxUs;
    long sleepsAtFirst;
} gExpect;

static struct {
    DNSServiceRef ref;
    char id[64];
    long long callUs, returnUs, replyUs;
    int error;
    int answered; /* reported: release the reference after this wake-up */
} gResolve;

static int gQuit;

static long ThreadSleeps(void)
{
    struct rusage usage;
    return getrusage(RUSAGE_THREAD, &usage) == 0 ? usage.ru_nvcsw : 0;
}

static void Count(const char *name, int add, long long nowUs)
{
    if (!gExpect.active || gExpect.add != add)
        return;
    size_t length = strlen(gExpect.prefix);
    if (strncmp(name, gExpect.prefix, length) != 0 || name[length] != '-')
        return;
    char *end = NULL;
    long number = strtol(name + length + 1, &end, 10);
    if (*end || number < 0 || number >= kMaxInstances || gExpect.counted[number])
        return;
    gExpect.counted[number] = 1;
    if (gExpect.seen++ == 0) {
        gExpect.firstUs = nowUs;
        gExpect.inWindow = 1;
        gExpect.sleepsAtFirst = ThreadSleeps();
    }
    gExpect.lastUs = nowUs;
    if (gExpect.seen == gExpect.count)
        gExpect.finished = 1;
}

static void DNSSD_API OnBrowse(DNSServiceRef ref, DNSServiceFlags flags, uint32_t interfaceIndex,
                               DNSServiceErrorType error, const char *name, const char *type,
                               const char *domain, void *context)
{
    long long nowUs = RealtimeUs();
    (void)ref;
    (void)interfaceIndex;
    (void)type;
    (void)domain;
    (void)context;
    if (error != kDNSServiceErr_NoError) {
        printf("browse-error %d %lld\n", (int)error, nowUs);
        return;
    }
    int add = (flags & kDNSServiceFlagsAdd) != 0;
    printf("%s %s %lld\n", add ? "add" : "rmv", name, nowUs);
    Count(name, add, nowUs);
}

static void DNSSD_API OnResolve(DNSServiceRef ref, DNSServiceFlags flags, uint32_t interfaceIndex,
                                DNSServiceErrorType error, const char *fullname, const char *hosttarget,
                                uint16_t port, uint16_t txtLen, const unsigned char *txtRecord, void *context)
{
    long long nowUs = RealtimeUs();
    (void)ref;
    (void)flags;
    (void)interfaceIndex;
    (void)fullname;
    (void)hosttarget;
    (void)port;
    (void)txtLen;
    (void)txtRecord;
    (void)context;
    if (gResolve.answered)
        return;
    gResolve.replyUs = error == kDNSServiceErr_NoError ? nowUs : 0;
    gResolve.error = (int)error;
    gResolve.answered = 1;
}

static void ReportResolve(void)
{
    printf("resolved %s %lld %lld %lld %d\n", gResolve.id, gResolve.callUs, gResolve.returnUs, gResolve.replyUs,
           gResolve.error);
}

static void EndResolve(void)
{
    if (gResolve.ref)
        DNSServiceRefDeallocate(gResolve.ref);
    gResolve.ref = NULL;
    gResolve.answered = 0;
}

static void Command(char *line)
{
    char verb[16], id[64], a[256], b[256];
    int count;
    if (sscanf(line, "%15s", verb) != 1)
        return;
    if (strcmp(verb, "quit") == 0) {
        gQuit = 1;
    } else if (strcmp(verb, "expect") == 0 && sscanf(line, "%*s %63s %255s %255s %d", id, a, b, &count) == 4) {
        memset(&gExpect, 0, sizeof gExpect);
        snprintf(gExpect.id, sizeof gExpect.id, "%s", id);
        snprintf(gExpect.prefix, sizeof gExpect.prefix, "%s", b);
        gExpect.add = strcmp(a, "add") == 0;
        gExpect.count = count;
        gExpect.active = count > 0;
        printf("ok %s\n", id);
    } else if (strcmp(verb, "resolve") == 0 && sscanf(line, "%*s %63s %255s %255s", id, a, b) == 3) {
        if (gResolve.ref) {
            /* The one before never answered. */
            ReportResolve();
            EndResolve();
        }
        snprintf(gResolve.id, sizeof gResolve.id, "%s", id);
        gResolve.replyUs = 0;
        gResolve.error = 0;
        gResolve.callUs = RealtimeUs();
        DNSServiceErrorType error = DNSServiceResolve(&gResolve.ref, 0, 0, a, b, "local.", OnResolve, NULL);
        gResolve.returnUs = RealtimeUs();
        if (error != kDNSServiceErr_NoError) {
            gResolve.ref = NULL;
            gResolve.error = (int)error;
            ReportResolve();
        }
    } else {
        printf("unknown-command %s\n", verb);
    }
}

/* Runs each complete line of input; returns 0 at end of input. */
static int ReadCommands(void)
{
    static char buffer[4096];
    static size_t used;
    ssize_t n = read(STDIN_FILENO, buffer + used, sizeof buffer - 1 - used);
    if (n < 0)
        return errno == EINTR || errno == EAGAIN;
    if (n == 0)
        return 0;
    used += (size_t)n;
    buffer[used] = '\0';
    char *start = buffer;
    char *newline;
    while ((newline = strchr(start, '\n')) != NULL) {
        *newline = '\0';
        Command(start);
        start = newline + 1;
    }
    used = strlen(start);
    memmove(buffer, start, used + 1);
    if (used == sizeof buffer - 1)
        used = 0; /* a line longer than any command: dropped */
    return 1;
}

static int Process(DNSServiceRef ref, const char *what)
{
    DNSServiceErrorType error = DNSServiceProcessResult(ref);
    if (error != kDNSServiceErr_NoError) {
        printf("process-error %s %d\n", what, (int)error);
        return 0;
    }
    return 1;
}

int main(int argc, char **argv)
{
    const char *browseType = NULL;
    int maxSeconds = 600;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--browse") == 0 && i + 1 < argc)
            browseType = argv[++i];
        else if (strcmp(argv[i], "--max-seconds") == 0 && i + 1 < argc)
            maxSeconds = atoi(argv[++i]);
        else {
            fprintf(stderr, "usage: dnssd_direct_client [--browse TYPE] [--max-seconds N]\n");
            return 2;
        }
    }
    setvbuf(stdout, NULL, _IOLBF, 0);

    DNSServiceRef browse = NULL;
    if (browseType) {
        DNSServiceErrorType error = DNSServiceBrowse(&browse, 0, 0, browseType, NULL, OnBrowse, NULL);
        if (error != kDNSServiceErr_NoError) {
            fprintf(stderr, "dnssd_direct_client: DNSServiceBrowse failed: %d\n", (int)error);
            return 1;
        }
    }
    printf("ready %lld\n", RealtimeUs());

    int input = 1;
    long long deadline = MonotonicUs() + (long long)maxSeconds * 1000000;
    long long wokeUs = -1; /* when select() last returned */
    long long wokeCpuUs = 0;
    int commandRan = 0;    /* during the last wake-up */
    while (!gQuit) {
        long long nowUs = MonotonicUs();
        if (wokeUs >= 0 && gExpect.inWindow) {
            long long busy = nowUs - wokeUs;
            long long busyCpu = ThreadCpuUs() - wokeCpuUs;
            if (!commandRan && busy > gExpect.busyMaxUs)
                gExpect.busyMaxUs = busy;
            if (!commandRan && busyCpu > gExpect.busyCpuMaxUs)
                gExpect.busyCpuMaxUs = busyCpu;
            if (gExpect.finished) {
                printf("complete %s %lld %lld %lld %lld %ld\n", gExpect.id, gExpect.firstUs, gExpect.lastUs,
                       gExpect.busyMaxUs, gExpect.busyCpuMaxUs, ThreadSleeps() - gExpect.sleepsAtFirst);
                gExpect.active = 0;
                gExpect.inWindow = 0;
                gExpect.finished = 0;
            }
        }
        if (nowUs >= deadline)
            break;

        fd_set readable;
        FD_ZERO(&readable);
        int top = -1;
        int browseFd = browse ? DNSServiceRefSockFD(browse) : -1;
        int resolveFd = gResolve.ref ? DNSServiceRefSockFD(gResolve.ref) : -1;
        int fds[3] = {input ? STDIN_FILENO : -1, browseFd, resolveFd};
        for (int i = 0; i < 3; i++)
            if (fds[i] >= 0 && fds[i] < FD_SETSIZE) {
                FD_SET(fds[i], &readable);
                if (fds[i] > top)
                    top = fds[i];
            }
        long long waitUs = deadline - nowUs;
        struct timeval timeout = {(time_t)(waitUs / 1000000), (suseconds_t)(waitUs % 1000000)};
        int ready = select(top + 1, &readable, NULL, NULL, &timeout);
        wokeUs = MonotonicUs();
        wokeCpuUs = ThreadCpuUs();
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            perror("dnssd_direct_client: select");
            return 1;
        }
        if (browseFd >= 0 && FD_ISSET(browseFd, &readable) && !Process(browse, "browse")) {
            DNSServiceRefDeallocate(browse);
            browse = NULL;
        }
        if (resolveFd >= 0 && FD_ISSET(resolveFd, &readable) && !Process(gResolve.ref, "resolve")) {
            gResolve.error = gResolve.error ? gResolve.error : -1;
            gResolve.answered = 1;
        }
        if (gResolve.answered) {
            ReportResolve();
            EndResolve();
        }
        commandRan = input && FD_ISSET(STDIN_FILENO, &readable);
        if (commandRan)
            input = ReadCommands();
    }
    EndResolve();
    if (browse)
        DNSServiceRefDeallocate(browse);
    return 0;
}
