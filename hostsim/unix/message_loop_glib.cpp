#include "../message_loop.h"

#include <glib.h>

namespace hostsim {

namespace {

gboolean Expire(gpointer flag)
{
    *static_cast<bool *>(flag) = true;
    return G_SOURCE_REMOVE;
}

}  // namespace

/* A GTK host runs GLib's default main context. */
bool RunMessageLoop(const std::function<bool()> &done, int timeoutMilliseconds)
{
    GMainContext *context = g_main_context_default();
    bool expired = false;
    guint deadline = g_timeout_add_full(G_PRIORITY_HIGH, (guint)(timeoutMilliseconds > 0 ? timeoutMilliseconds : 0),
                                        Expire, &expired, nullptr);
    bool finished = done && done();
    while (!finished && !expired) {
        g_main_context_iteration(context, TRUE);
        finished = done && done();
    }
    if (!expired)
        g_source_remove(deadline);
    return finished;
}

}  // namespace hostsim
