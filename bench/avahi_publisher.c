/*
 * bench_avahi_publisher: publishes services through Avahi's own client
 * library, on command, and says when it did, so that avahi_latency.sh can
 * time how long each DNS-SD client takes to see them.
 *
 * Commands on standard input, one a line; answers on standard output, every
 * time CLOCK_REALTIME in microseconds:
 *
 *   add ID NAME TYPE PORT           one service in an entry group of its own
 *   burst ID PREFIX TYPE COUNT PORT COUNT services PREFIX-000, PREFIX-001, ...
 *       committed ID FIRST_COMMIT_US LAST_COMMIT_RETURNED_US
 *       established ID US           (every group of ID is established)
 *   remove ID                       withdraws ID's services
 *       removed ID US
 *   quit
 *
 * A burst is added to its groups in full before anything is committed, and
 * then every group is committed in a row, so that the daemon starts probing
 * them all at once.  It takes several groups because avahi-daemon takes at
 * most 32 services into one group unless its configuration says otherwise.
 *
 *   bench_avahi_publisher [--max-seconds N]
 */
#define _POSIX_C_SOURCE 200809L

#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-common/error.h>
#include <avahi-common/simple-watch.h>
#include <avahi-common/timeval.h>

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

enum {
    kServicesPerGroup = 32, /* avahi-daemon's default entries-per-entry-group-max */
    kMaxGroups = 64,
    kMaxPublications = 64,
};

typedef struct {
    int used;
    char id[64];
    AvahiEntryGroup *groups[kMaxGroups];
    int groupCount;
    int established;
} Publication;

static AvahiSimplePoll *gPoll;
static AvahiClient *gClient;
static Publication gPublications[kMaxPublications];

static long long RealtimeUs(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return (long long)ts.tv_sec * 1000000 + ts.tv_nsec / 1000;
}

static void OnGroup(AvahiEntryGroup *group, AvahiEntryGroupState state, void *userdata)
{
    Publication *publication = userdata;
    (void)group;
    if (state == AVAHI_ENTRY_GROUP_ESTABLISHED) {
        if (++publication->established == publication->groupCount)
            printf("established %s %lld\n", publication->id, RealtimeUs());
    } else if (state == AVAHI_ENTRY_GROUP_COLLISION || state == AVAHI_ENTRY_GROUP_FAILURE) {
        printf("group-failed %s %s\n", publication->id,
               state == AVAHI_ENTRY_GROUP_COLLISION ? "collision" : avahi_strerror(avahi_client_errno(gClient)));
    }
}

static Publication *NewPublication(const char *id)
{
    for (int i = 0; i < kMaxPublications; i++)
        if (!gPublications[i].used) {
            Publication *publication = &gPublications[i];
            memset(publication, 0, sizeof *publication);
            publication->used = 1;
            snprintf(publication->id, sizeof publication->id, "%s", id);
            return publication;
        }
    return NULL;
}

static void Withdraw(Publication *publication)
{
    for (int i = 0; i < publication->groupCount; i++)
        avahi_entry_group_free(publication->groups[i]);
    publication->used = 0;
}

static int AddService(Publication *publication, const char *name, const char *type, int port)
{
    return avahi_entry_group_add_service(publication->groups[publication->groupCount - 1], AVAHI_IF_UNSPEC,
                                         AVAHI_PROTO_UNSPEC, 0, name, type, NULL, NULL, (uint16_t)port, NULL);
}

/* Adds COUNT services to new groups of at most kServicesPerGroup, then
 * commits them all. */
static void Publish(const char *id, const char *prefix, const char *name, const char *type, int count, int port)
{
    Publication *publication = NewPublication(id);
    if (!publication || count < 1 || (count + kServicesPerGroup - 1) / kServicesPerGroup > kMaxGroups) {
        printf("failed %s too many\n", id);
        if (publication)
            publication->used = 0;
        return;
    }
    for (int i = 0; i < count; i++) {
        if (i % kServicesPerGroup == 0) {
            AvahiEntryGroup *group = avahi_entry_group_new(gClient, OnGroup, publication);
            if (!group) {
                printf("failed %s %s\n", id, avahi_strerror(avahi_client_errno(gClient)));
                Withdraw(publication);
                return;
            }
            publication->groups[publication->groupCount++] = group;
        }
        char instance[192];
        if (prefix)
            snprintf(instance, sizeof instance, "%s-%03d", prefix, i);
        else
            snprintf(instance, sizeof instance, "%s", name);
        if (AddService(publication, instance, type, port + i) < 0) {
            printf("failed %s %s\n", id, avahi_strerror(avahi_client_errno(gClient)));
            Withdraw(publication);
            return;
        }
    }
    long long firstUs = RealtimeUs();
    for (int i = 0; i < publication->groupCount; i++)
        if (avahi_entry_group_commit(publication->groups[i]) < 0) {
            printf("failed %s %s\n", id, avahi_strerror(avahi_client_errno(gClient)));
            Withdraw(publication);
            return;
        }
    printf("committed %s %lld %lld\n", id, firstUs, RealtimeUs());
}

static void Command(char *line)
{
    char verb[16], id[64], a[128], b[128];
    int count, port;
    if (sscanf(line, "%15s", verb) != 1)
        return;
    if (strcmp(verb, "quit") == 0) {
        avahi_simple_poll_quit(gPoll);
    } else if (strcmp(verb, "add") == 0 && sscanf(line, "%*s %63s %127s %127s %d", id, a, b, &port) == 4) {
        Publish(id, NULL, a, b, 1, port);
    } else if (strcmp(verb, "burst") == 0 &&
               sscanf(line, "%*s %63s %127s %127s %d %d", id, a, b, &count, &port) == 5) {
        Publish(id, a, NULL, b, count, port);
    } else if (strcmp(verb, "remove") == 0 && sscanf(line, "%*s %63s", id) == 1) {
        for (int i = 0; i < kMaxPublications; i++)
            if (gPublications[i].used && strcmp(gPublications[i].id, id) == 0) {
                Withdraw(&gPublications[i]);
                printf("removed %s %lld\n", id, RealtimeUs());
            }
    } else {
        printf("unknown-command %s\n", verb);
    }
}

static void OnInput(AvahiWatch *watch, int fd, AvahiWatchEvent event, void *userdata)
{
    static char buffer[4096];
    static size_t used;
    (void)event;
    (void)userdata;
    ssize_t n = read(fd, buffer + used, sizeof buffer - 1 - used);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (n <= 0) {
        /* Without its driver there is nothing more to publish. */
        avahi_simple_poll_get(gPoll)->watch_free(watch);
        avahi_simple_poll_quit(gPoll);
        return;
    }
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
        used = 0;
}

static void OnClient(AvahiClient *client, AvahiClientState state, void *userdata)
{
    (void)userdata;
    if (state == AVAHI_CLIENT_S_RUNNING) {
        printf("ready %lld\n", RealtimeUs());
    } else if (state == AVAHI_CLIENT_FAILURE) {
        printf("client-failed %s\n", avahi_strerror(avahi_client_errno(client)));
        avahi_simple_poll_quit(gPoll);
    }
}

static void OnTimeUp(AvahiTimeout *timeout, void *userdata)
{
    (void)timeout;
    (void)userdata;
    printf("time-up\n");
    avahi_simple_poll_quit(gPoll);
}

int main(int argc, char **argv)
{
    int maxSeconds = 600;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--max-seconds") == 0 && i + 1 < argc) {
            maxSeconds = atoi(argv[++i]);
        } else {
            fprintf(stderr, "usage: bench_avahi_publisher [--max-seconds N]\n");
            return 2;
        }
    }
    setvbuf(stdout, NULL, _IOLBF, 0);

    gPoll = avahi_simple_poll_new();
    if (!gPoll)
        return 1;
    const AvahiPoll *api = avahi_simple_poll_get(gPoll);
    int error = 0;
    gClient = avahi_client_new(api, 0, OnClient, NULL, &error);
    if (!gClient) {
        fprintf(stderr, "bench_avahi_publisher: %s\n", avahi_strerror(error));
        return 1;
    }
    api->watch_new(api, STDIN_FILENO, AVAHI_WATCH_IN | AVAHI_WATCH_HUP, OnInput, NULL);
    struct timeval until;
    api->timeout_new(api, avahi_elapse_time(&until, (unsigned)maxSeconds * 1000, 0), OnTimeUp, NULL);

    avahi_simple_poll_loop(gPoll);

    for (int i = 0; i < kMaxPublications; i++)
        if (gPublications[i].used)
            Withdraw(&gPublications[i]);
    avahi_client_free(gClient);
    avahi_simple_poll_free(gPoll);
    return 0;
}
