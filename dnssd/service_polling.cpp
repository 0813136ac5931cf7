#include "service_polling.h"

#include "../platform/platform.h"
#include "dnssd_table.h"
#include "poll_list.h"

enum { kPollIntervalMs = 50 };

static bool gTimerRunning;

void StartServicePolling(void)
{
    static bool started;
    if (started)
        return;
    started = true;
    LoadDnsSdLibrary();
}

void StartPollTimer(void)
{
    if (!gTimerRunning)
        gTimerRunning = PlatformStartTimer(kPollIntervalMs, PollTimerProc);
}

void StopPollTimer(void)
{
    if (gTimerRunning)
        PlatformStopTimer();
    gTimerRunning = false;
}
