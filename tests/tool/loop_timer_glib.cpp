#include <glib.h>

#include "loop_timer.h"

namespace {

gboolean Step(gpointer data)
{
    return (*static_cast<std::function<bool()> *>(data))() ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
}

void Forget(gpointer data)
{
    delete static_cast<std::function<bool()> *>(data);
}

}  // namespace

void EveryOnLoop(int intervalMs, std::function<bool()> step)
{
    g_timeout_add_full(G_PRIORITY_DEFAULT, (guint)intervalMs, Step, new std::function<bool()>(std::move(step)),
                       Forget);
}
