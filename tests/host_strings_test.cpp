/* The stand-in host over a long run: strings the plug-in makes and releases
 * do not pile up, and a use after release is still reported as one. */
#include "../host/host_entries.h"
#include "../host/host_string.h"
#include "../host/plugin_main.h"
#include "support/host_fixture.h"

namespace {

class HostStrings : public HostTest {};

TEST_F(HostStrings, ReleasedStringsAreForgottenYetAUseAfterReleaseIsCaught)
{
    StartHost().StartPlugin(&REALPluginMain);
    size_t before = host->KnownStrings();
    for (int i = 0; i < 50000; i++)
        HostUnlockString(BuildHostCString("an event's name", kHostEncodingUTF8));
    EXPECT_LE(host->KnownStrings(), before + 4096);

    failuresExpected = true;
    HostString released = BuildHostCString("released", kHostEncodingUTF8);
    HostUnlockString(released);
    for (int i = 0; i < 100; i++)
        HostUnlockString(BuildHostCString("later", kHostEncodingUTF8));
    HostUnlockString(released);
    ASSERT_EQ(hostFailures.size(), 1u);
    EXPECT_NE(hostFailures[0].find("already released"), std::string::npos) << hostFailures[0];
}

}  // namespace
