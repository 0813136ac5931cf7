#include "service_polling.h"

#include "../platform/platform.h"
#include "dnssd_table.h"
#include "poll_list.h"

enum { kPollIntervalMs = 50 };

void StartServicePolling(void)
{
    static bool started;
    if (started)
        return;
    started = true;
    LoadDnsSdLibrary();
    /* Runs with or without a library, for the life of the process. */
    PlatformStartTimer(kPollIntervalMs, PollTimerProc);
}
