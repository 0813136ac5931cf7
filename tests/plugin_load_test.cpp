/* The built plug-in, loaded through its export as the host loads it. */
#include "support/host_fixture.h"

namespace {

class PluginLoad : public HostTest {};

TEST_F(PluginLoad, EntryAnnouncesVersionNineAndAsksWhetherItRuns)
{
    options.inRuntime = false;
    ASSERT_TRUE(StartHost().LoadPlugin(ZRK_PLUGIN_PATH));
    EXPECT_EQ(host->PluginVersion(), 9);
    EXPECT_EQ(host->LookupCount("RegisterPluginVersion"), 1);
    EXPECT_EQ(host->CallCount("REALinRuntime"), 1);
}

}  // namespace
