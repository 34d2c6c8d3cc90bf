// What the doors on the network let in: lines of an HTTP request on the
// control protocol's port, the token, the Host and Origin a browser sends,
// and each client's pace.

#include <gtest/gtest.h>

#include "control/access.h"

namespace plenvo::control {
namespace {

TEST(DoorAccess, TellsHttpFromTheControlProtocol)
{
    struct Case {
        const char* line;
        bool http;
    };
    for (const Case& c : {
             Case{"POST / HTTP/1.1", true},
             Case{"GET /status HTTP/1.0", true},
             Case{"OPTIONS * HTTP/1.1", true},
             Case{"Host: 127.0.0.1:4000", true},
             Case{"content-type: text/plain", true},
             Case{"Content-Length:14", true},
             Case{"set output vga", false},
             Case{"set aspect 4:3", false},
             Case{"status json", false},
             Case{"auth abc:def", false},
             Case{"", false},
             Case{": nothing before the colon", false},
             Case{"set output HTTP/1.1", true},
         })
        EXPECT_EQ(is_http_line(c.line), c.http) << c.line;
}

TEST(DoorAccess, ChecksTheTokenWhole)
{
    EXPECT_EQ(auth_token("auth s3cret"), "s3cret");
    EXPECT_EQ(auth_token("  AUTH  s3cret "), "s3cret");
    EXPECT_EQ(auth_token("auth"), std::nullopt);
    EXPECT_EQ(auth_token("auth a b"), std::nullopt);
    EXPECT_EQ(auth_token("status"), std::nullopt);

    struct Case {
        const char* given;
        const char* token;
        bool same;
    };
    for (const Case& c : {Case{"abcdef", "abcdef", true}, Case{"abcdeg", "abcdef", false},
                          Case{"abcde", "abcdef", false}, Case{"abcdefg", "abcdef", false},
                          Case{"", "abcdef", false}, Case{"", "", false}})
        EXPECT_EQ(same_token(c.given, c.token), c.same) << c.given << " / " << c.token;
}

TEST(DoorAccess, LetsInOnlyItsOwnHostAndOrigin)
{
    const std::vector<std::string> names{"127.0.0.1", "localhost", "::1", "192.168.1.20", "rack"};
    struct Case {
        const char* host;
        bool allowed;
    };
    for (const Case& c : {
             Case{"127.0.0.1:8080", true},
             Case{"LOCALHOST:8080", true},
             Case{"[::1]:8080", true},
             Case{"rack:8080", true},
             Case{"192.168.1.20:8080", true},
             Case{"127.0.0.1:8081", false},
             Case{"127.0.0.1", false},
             Case{"evil.example:8080", false},
             Case{"rack.evil.example:8080", false},
             Case{"", false},
             Case{"127.0.0.1:80800", false},
             Case{"127.0.0.1:", false},
             Case{"user@127.0.0.1:8080", false},
         })
        EXPECT_EQ(host_allowed(c.host, names, 8080), c.allowed) << c.host;
    EXPECT_TRUE(host_allowed("rack", names, 80));

    struct OriginCase {
        const char* origin;
        const char* host;
        bool allowed;
    };
    for (const OriginCase& c : {
             OriginCase{"", "127.0.0.1:8080", true},
             OriginCase{"http://127.0.0.1:8080", "127.0.0.1:8080", true},
             OriginCase{"http://LocalHost:8080", "localhost:8080", true},
             OriginCase{"http://localhost:8080", "127.0.0.1:8080", false},
             OriginCase{"http://evil.example", "127.0.0.1:8080", false},
             OriginCase{"http://127.0.0.1:9999", "127.0.0.1:8080", false},
             OriginCase{"https://127.0.0.1:8080", "127.0.0.1:8080", false},
             OriginCase{"null", "127.0.0.1:8080", false},
         })
        EXPECT_EQ(origin_allowed(c.origin, c.host), c.allowed) << c.origin << " on " << c.host;
}

TEST(DoorAccess, AllowsSoManyCommandsInAnySecond)
{
    RateLimit limit(3);
    struct Step {
        uint64_t at_ms;
        bool taken;
    };
    for (const Step& step : {Step{1000, true}, Step{1001, true}, Step{1500, true}, Step{1999, false},
                             Step{2000, true}, Step{2100, true}, Step{2200, true}, Step{2300, false},
                             Step{9000, true}})
        EXPECT_EQ(limit.take(step.at_ms), step.taken) << step.at_ms;
}

}  // namespace
}  // namespace plenvo::control
