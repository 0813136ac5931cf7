#include "../message_loop.h"

#include <windows.h>

namespace hostsim {

namespace {

/* Milliseconds left until the deadline; GetTickCount wraps, the difference
 * does not. */
DWORD Remaining(DWORD start, DWORD timeout)
{
    DWORD elapsed = GetTickCount() - start;
    return elapsed >= timeout ? 0 : timeout - elapsed;
}

}  // namespace

/* A Win32 host dispatches its thread's message queue; a thread timer's
 * WM_TIMER reaches its procedure through DispatchMessage. */
bool RunMessageLoop(const std::function<bool()> &done, int timeoutMilliseconds)
{
    const DWORD start = GetTickCount();
    const DWORD timeout = timeoutMilliseconds > 0 ? (DWORD)timeoutMilliseconds : 0;
    bool finished = done && done();
    while (!finished) {
        MSG message;
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                /* Not ours to swallow: an outer loop must see it too. */
                PostQuitMessage((int)message.wParam);
                break;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
            finished = done && done();
            if (Remaining(start, timeout) == 0)
                break;
            continue;
        }
        DWORD left = Remaining(start, timeout);
        if (left == 0)
            break;
        /* The queue is empty, so any message that arrives is new and wakes
         * the wait; a timer's WM_TIMER counts as input. */
        MsgWaitForMultipleObjects(0, nullptr, FALSE, left, QS_ALLINPUT);
        finished = done && done();
    }
    return finished;
}

}  // namespace hostsim
