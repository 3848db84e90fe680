#include "ApiRequest.h"

#include <gtest/gtest.h>

namespace
{
struct PathCase
{
    const char* text;
    bool ok;
    const char* path;
};

TEST(ApiRequest, FolderPaths)
{
    const PathCase cases[] = {
        {"", true, "\\"},
        {"/", true, "\\"},
        {"\\RAID\\MVP1", true, "\\RAID\\MVP1"},
        {"/RAID/MVP1/", true, "\\RAID\\MVP1"},
        {"RAID//MVP1", true, "\\RAID\\MVP1"},
        {"/RAID/../Users", false, ""},
        {"/RAID/./MVP1", false, ""},
        {"/RAID@x", false, ""},
        {"/RAID\n", false, ""},
    };
    for (const PathCase& c : cases)
    {
        std::string path, problem;
        EXPECT_EQ(halsend::ParseFolderPath(c.text, path, problem), c.ok) << c.text;
        EXPECT_EQ(c.ok ? path : problem.empty() ? "no reason" : "", c.ok ? c.path : "") << c.text;
    }
    std::string path, problem;
    EXPECT_FALSE(halsend::ParseFolderPath(std::string(600, 'a'), path, problem));
}

struct InvokeCase
{
    std::string body;
    bool ok;
};

TEST(ApiRequest, InvokeBodies)
{
    const InvokeCase cases[] = {
        {R"({"path":"/RAID/MVP1/System","method":"RebuildArray","arguments":"512@2"})", true},
        {R"({"path":"/RAID/MVP1","method":"SilentBuzzer"})", true},
        {R"({"path":"/RAID","method":"Bad@Name","arguments":""})", false},
        {R"({"path":"/RAID","method":""})", false},
        {R"({"path":"/RAID"})", false},
        {R"({"method":"x"})", false},
        {R"({"path":5,"method":"x"})", false},
        {R"({"path":"/","method":"x","arguments":7})", false},
        {R"(["path"])", false},
        {R"({"path":"/","method":"x",)", false},
        {"", false},
        {R"({"path":"/","method":"x","arguments":")" + std::string(1200, 'a') + "\"}", false},
    };
    for (const InvokeCase& c : cases)
    {
        halsend::InvokeRequest r;
        std::string problem;
        EXPECT_EQ(halsend::ParseInvokeBody(c.body, r, problem), c.ok) << c.body << ": " << problem;
    }
    halsend::InvokeRequest r;
    std::string problem;
    ASSERT_TRUE(halsend::ParseInvokeBody(R"({"path":"RAID/MVP1","method":"SetSmart","arguments":"1"})", r, problem));
    EXPECT_EQ(r.path, "\\RAID\\MVP1");
    EXPECT_EQ(r.method, "SetSmart");
    EXPECT_EQ(r.arguments, "1");
}

struct EventsCase
{
    const char* folder;
    const char* limit;
    const char* from;
    const char* order;
    bool ok;
    const char* body;
};

TEST(ApiRequest, EventQueries)
{
    const EventsCase cases[] = {
        {"/RAID/MVP1", "", "", "", true, "ReadEvent@0@50@0"},
        {"/RAID/MVP1", "5", "", "oldest", true, "ReadEvent@0@-5@0"},
        {"/RAID/MVP1", "10", "120:1700000000", "newest", true, "ReadEvent@120@10@1700000000"},
        {"", "", "", "", false, ""},
        {"/RAID", "0", "", "", false, ""},
        {"/RAID", "1001", "", "", false, ""},
        {"/RAID", "-1", "", "", false, ""},
        {"/RAID", "", "12", "", false, ""},
        {"/RAID", "", "a:b", "", false, ""},
        {"/RAID", "", "99999999999:1", "", false, ""},
        {"/RAID", "", "", "sideways", false, ""},
    };
    for (const EventsCase& c : cases)
    {
        std::string path, problem;
        halsen::EventQuery q;
        EXPECT_EQ(halsend::ParseEventsQuery(c.folder, c.limit, c.from, c.order, path, q, problem), c.ok)
            << c.folder << " " << c.limit << " " << c.from;
        if (c.ok)
        {
            EXPECT_EQ(halsen::ReadEventBody(q), c.body);
        }
    }
}
} // namespace
