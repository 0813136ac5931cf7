/*
 * A variant built without some exports must lack exactly those: the plug-in
 * tells a missing DNS-SD function by a failed look-up.  SCRIPTED_EXPECT_MISSING
 * names the one missing function, or is "ALL"; SCRIPTED_EXPORTS_SUITE keeps
 * the test names of the variants apart.
 */
#include <gtest/gtest.h>

#include <cstring>

#include "../../platform/platform.h"
#include "scripted_dnssd.h"
#include "scripted_probe.h"

namespace {

const char *const kNames[] = {
    "DNSServiceRefDeallocate", "DNSServiceEnumerateDomains", "DNSServiceRegister",
    "DNSServiceUpdateRecord", "DNSServiceBrowse", "DNSServiceResolve",
    "DNSServiceRefSockFD", "DNSServiceProcessResult", "DNSServiceRegisterRecord",
    "DNSServiceRemoveRecord", "DNSServiceCreateConnection", "DNSServiceAddRecord",
    "TXTRecordDeallocate", "TXTRecordGetLength", "TXTRecordCreate",
    "TXTRecordRemoveValue", "TXTRecordGetBytesPtr", "TXTRecordSetValue",
    "TXTRecordContainsKey", "TXTRecordGetValuePtr", "TXTRecordGetCount",
    "DNSServiceConstructFullName", "TXTRecordGetItemAtIndex", "DNSServiceGetProperty",
};

bool ExpectMissing(const char *name)
{
    return strcmp(SCRIPTED_EXPECT_MISSING, "ALL") == 0 || strcmp(SCRIPTED_EXPECT_MISSING, name) == 0;
}

/* The linked variant is the DNS-SD library the process already has, and
 * loading the platform's file name as the plug-in does finds that same
 * library rather than another file of the name. */
TEST(SCRIPTED_EXPORTS_SUITE, VariantLacksExactlyTheFunctionsLeftOut)
{
    void *library = ProbeLoadedDnsSd();
    ASSERT_NE(library, nullptr) << "the linked variant is not the " << kPlatformDnsSdLibrary << " the process has";
    EXPECT_EQ(PlatformLoadLibrary(kPlatformDnsSdLibrary), library);
    for (const char *name : kNames) {
        EXPECT_EQ(ProbeExport(library, name) == nullptr, ExpectMissing(name)) << name;
        EXPECT_EQ(ProbeAnyExport(name) == nullptr, ExpectMissing(name)) << name;
    }
}

/* The control interface is there in every variant. */
TEST(SCRIPTED_EXPORTS_SUITE, ControlInterfaceWorksWithoutExports)
{
    scripted::SetResult("DNSServiceBrowse", -65537);
    EXPECT_EQ(scripted::CallCount("DNSServiceBrowse"), 0);
    EXPECT_TRUE(scripted::LiveRefs().empty());
    EXPECT_TRUE(scripted::Misuses().empty());
}

}  // namespace
