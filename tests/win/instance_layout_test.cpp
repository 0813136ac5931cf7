/* The instance data as the host lays it out: the host reads "Handle" and
 * "Lasterror" itself at the offsets the class record gives, so these numbers
 * are part of the plug-in's interface.  The 32-bit row is the one the
 * shipped DLL must meet; the 64-bit row is what a 64-bit test build meets. */
#include <cstring>

#include "../support/dnssd_fixture.h"

namespace {

struct Layout {
    size_t dataSize;
    HostInteger handle, lastError;
};

Layout Expected()
{
    return sizeof(void *) == 4 ? Layout{16, 0, 4} : Layout{32, 0, 8};
}

class InstanceLayout : public DnsSdTest {};

TEST_F(InstanceLayout, ServiceRecordHasTheHostsLayout)
{
    const Layout expected = Expected();
    Start();
    const hostsim::ClassInfo *base = host->FindClass("DNSServiceBaseZRK");
    ASSERT_NE(base, nullptr);
    EXPECT_EQ(base->record->dataSize, expected.dataSize);
    ASSERT_EQ(base->record->propertyCount, 2u);
    const HostPropertyDefinition *properties = base->record->properties;
    EXPECT_STREQ(properties[0].name, "Handle");
    EXPECT_EQ(properties[0].param, expected.handle);
    EXPECT_STREQ(properties[1].name, "Lasterror");
    EXPECT_EQ(properties[1].param, expected.lastError);

    /* What the plug-in stores is what the host finds at that offset. */
    HostObject browse = host->New("DNSServiceBrowseZRK");
    EXPECT_FALSE(host->Call(browse, "Browse", {Int(0), Str("_t._tcp"), Nil()}).boolean);
    HostInteger lastError = 0;
    std::memcpy(&lastError, static_cast<char *>(host->ClassData(browse, "DNSServiceBaseZRK")) + expected.lastError,
                sizeof lastError);
    EXPECT_EQ(lastError, -1);
    host->Release(browse);
}

}  // namespace
