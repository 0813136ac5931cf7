/* Libraries that lack some of the functions: only what needs them fails. */
#include "scripted_dnssd.h"
#include "support/dnssd_fixture.h"
#include "support/operation_cases.h"

namespace {

class PartialLibrary : public DnsSdTest {
protected:
    void SetUp() override { Start(); }
};

#if defined(ZRK_WITHOUT_GETPROPERTY)
TEST_F(PartialLibrary, WithoutGetPropertyIsAvailableWithDaemonVersionZero)
{
    EXPECT_TRUE(Shared("Available").boolean);
    EXPECT_EQ(Shared("GetDaemonVersion").integer, 0);
    HostObject object = host->New("DNSServiceBrowseZRK");
    EXPECT_TRUE(host->Call(object, "Browse", {Int(0), Str("_t._tcp"), Nil()}).boolean);
    host->Release(object);
}
#endif

#if defined(ZRK_WITHOUT_REGISTERRECORD)
TEST_F(PartialLibrary, WithoutRegisterRecordOpensNoConnection)
{
    EXPECT_TRUE(Shared("Available").boolean);
    HostObject object = host->New("DNSServiceRegisterRecordZRK");
    EXPECT_FALSE(host->Call(object, "RegisterRecord", {Int(0), Int(0), Str("h"), Int(1), Int(1), Str("x"), Int(0)})
                     .boolean);
    EXPECT_EQ(host->Get(object, "Lasterror").integer, -1);
    EXPECT_EQ(scripted::CallCount("DNSServiceCreateConnection"), 0);
    host->Release(object);
}
#endif

#if defined(ZRK_WITHOUT_CORE_ENTRY)
/* Without a socket to poll an operation would never deliver; without
 * deallocation it could never be ended.  Either way nothing starts, as
 * Available says. */
TEST_F(PartialLibrary, WithoutACoreEntryNothingStarts)
{
    EXPECT_FALSE(Shared("Available").boolean);
    for (const OperationCase &op : kOperations) {
        HostObject object = host->New(op.cls);
        EXPECT_FALSE(op.start(*host, object)) << op.cls;
        EXPECT_FALSE(host->Call(object, "Running").boolean) << op.cls;
        host->Release(object);
    }
    EXPECT_TRUE(scripted::Calls().empty());
    EXPECT_TRUE(scripted::LiveRefs().empty());
}
#endif

}  // namespace
