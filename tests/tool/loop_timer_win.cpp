#include <windows.h>

#include <map>

#include "loop_timer.h"

namespace {

std::map<UINT_PTR, std::function<bool()>> &Steps()
{
    static std::map<UINT_PTR, std::function<bool()>> steps;
    return steps;
}

void CALLBACK Step(HWND, UINT, UINT_PTR id, DWORD)
{
    auto found = Steps().find(id);
    if (found == Steps().end())
        return;
    /* Called where it is kept: a step keeps its state between calls.  A map's
     * elements stay where they are while others come and go. */
    if (!found->second()) {
        KillTimer(nullptr, id);
        Steps().erase(id);
    }
}

}  // namespace

void EveryOnLoop(int intervalMs, std::function<bool()> step)
{
    UINT_PTR id = SetTimer(nullptr, 0, (UINT)intervalMs, Step);
    if (id)
        Steps()[id] = std::move(step);
}
