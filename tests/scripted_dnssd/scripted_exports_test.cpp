/*
 * A variant built without some exports must lack exactly those: the plug-in
 * tells a missing DNS-SD function by a failed look-up.  SCRIPTED_EXPECT_MISSING
 * names the one missing function, or is "ALL"; SCRIPTED_EXPORTS_SUITE keeps
 * the test names of the variants apart.
 */
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>

#include "scripted_dnssd.h"

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

/* Looked up the way the plug-in does: by file name, in the library the
 * process already has. */
TEST(SCRIPTED_EXPORTS_SUITE, VariantLacksExactlyTheFunctionsLeftOut)
{
    void *library = dlopen("libdns_sd.so.1", RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(library, nullptr) << "the linked variant is not the libdns_sd.so.1 the process has";
    for (const char *name : kNames) {
        EXPECT_EQ(dlsym(library, name) == nullptr, ExpectMissing(name)) << name;
        EXPECT_EQ(dlsym(RTLD_DEFAULT, name) == nullptr, ExpectMissing(name)) << name;
    }
    dlclose(library);
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
