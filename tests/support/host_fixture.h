#ifndef ZRK_TESTS_HOST_FIXTURE_H
#define ZRK_TESTS_HOST_FIXTURE_H

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../../hostsim/host.h"

/* One stand-in host for the test; its problems fail the test, and at the end
 * every string the plug-in made and every hold it took must be released. */
class HostTest : public ::testing::Test {
public:
    hostsim::Options options;
    std::unique_ptr<hostsim::Host> host;
    std::vector<std::string> hostFailures;
    bool failuresExpected = false;

    hostsim::Host &StartHost()
    {
        host = std::make_unique<hostsim::Host>(options);
        host->SetFailureHandler([this](const std::string &message) {
            hostFailures.push_back(message);
            if (!failuresExpected)
                ADD_FAILURE() << "host: " << message;
        });
        return *host;
    }

    void TearDown() override
    {
        if (host)
            host->CheckBalanced();
    }
};

inline hostsim::Value Int(HostInteger v)
{
    return hostsim::Value::Int(v);
}
inline hostsim::Value Str(const std::string &v)
{
    return hostsim::Value::Str(v);
}
inline hostsim::Value Nil()
{
    return hostsim::Value::Nil();
}

#endif
