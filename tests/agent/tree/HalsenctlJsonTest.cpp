// halsenctl --json against the real dorvik in the sandbox, with the tests'
// plug-in as its one device: every command's output, parsed back.

#include "AgentConnection.h"
#include "HalsenClient.h"
#include "TestPluginAgent.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace
{
using Json = nlohmann::json;
using Lines = std::vector<Json>;

class HalsenctlJsonTest : public TestPluginAgent
{
protected:
    HalsenctlJsonTest() : TestPluginAgent("MVP") {}
};

struct JsonRun
{
    int status = -1;
    std::string out;
    Lines lines;
    // The lines that are no JSON.
    std::vector<std::string> broken;
};

// Runs halsenctl --json; only its standard output is parsed.
JsonRun RunJson(const std::string& args)
{
    JsonRun run;
    const agenttest::CommandResult result =
        agenttest::RunCommand(agenttest::Halsenctl() + " --timeout 3000 --json " + args + " 2>/dev/null");
    run.status = result.status;
    run.out = result.out;
    std::istringstream text(run.out);
    std::string line;
    while (std::getline(text, line))
    {
        try
        {
            run.lines.push_back(Json::parse(line));
        }
        catch (const Json::parse_error&)
        {
            run.broken.push_back(line);
        }
    }
    return run;
}

// The entry of `name` in a list of entries, or null.
Json Named(const Json& entries, const std::string& name)
{
    for (const Json& entry : entries)
    {
        if (entry.value("name", "") == name)
            return entry;
    }
    return nullptr;
}

std::string HexOf(const std::string& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes)
        hex += std::string(1, digits[c >> 4]) + digits[c & 15];
    return hex;
}

std::string PingHex()
{
    halsen::Packet ping;
    ping.command = halsen::kPing;
    ping.stamp = 5;
    ping.kind = 1;
    return HexOf(halsen::Encode(ping));
}

// Each command with its exit status and what its objects must say; every
// line must be JSON.
TEST_F(HalsenctlJsonTest, EveryCommandPrintsObjectsThatParseBack)
{
    const struct
    {
        std::string args;
        int status;
        // Takes the lines as its own, so that a key it misses reads as null.
        std::function<void(Lines&)> check;
    } cases[] = {
        {"dir", 0,
         [](Lines& l)
         {
             ASSERT_EQ(1u, l.size());
             EXPECT_EQ("dir", l[0]["command"]);
             EXPECT_EQ(true, l[0]["ok"]);
             EXPECT_EQ(800, l[0]["code"]);
             EXPECT_EQ("Functional", l[0]["reply"]);
             EXPECT_EQ((Json{{"name", "MVP"}, {"attribute", "o--"}, {"value", "14"}}),
                       Named(l[0]["entries"], "MVP"));
             EXPECT_FALSE(Named(l[0]["entries"], "Users").is_null());
         }},
        {"cd MVP get Model", 0,
         [](Lines& l)
         {
             ASSERT_EQ(2u, l.size());
             EXPECT_EQ((Json{{"command", "cd"}, {"args", {"MVP"}}, {"ok", true}, {"code", 800}, {"reply", "Functional"}}),
                       l[0]);
             EXPECT_EQ((Json::array({{{"name", "Model"}, {"attribute", "pr-"}, {"value", "TR-1000"}}})),
                       l[1]["entries"]);
         }},
        {"cd MVP get .", 0,
         [](Lines& l)
         {
             ASSERT_EQ(2u, l.size());
             EXPECT_EQ((Json::array({{{"name", "MVP"}, {"attribute", "o--"}, {"value", "14"}}})), l[1]["entries"]);
         }},
        {"cd MVP get Nothing", 1,
         [](Lines& l)
         {
             ASSERT_EQ(2u, l.size());
             EXPECT_EQ(false, l[1]["ok"]);
             EXPECT_EQ(803, l[1]["code"]);
             EXPECT_EQ("Not found", l[1]["reply"]);
             EXPECT_EQ((Json{"Nothing"}), l[1]["args"]);
         }},
        {"cd Nowhere", 1,
         [](Lines& l)
         {
             ASSERT_EQ(1u, l.size());
             EXPECT_EQ(false, l[0]["ok"]);
             EXPECT_EQ(803, l[0]["code"]);
         }},
        // The plug-in's change notice comes before the method's answer.
        {"cd MVP invoke Succeed ''", 0,
         [](Lines& l)
         {
             ASSERT_EQ(3u, l.size());
             EXPECT_EQ((Json{{"notice", 8194}, {"what", "changed"}, {"path", "\\MVP"}}), l[1]);
             EXPECT_EQ("invoke", l[2]["command"]);
             EXPECT_EQ((Json{"Succeed", ""}), l[2]["args"]);
             EXPECT_EQ(true, l[2]["ok"]);
             EXPECT_TRUE(l[2]["lines"].is_array());
         }},
        {"cd MVP invoke Fail ''", 1,
         [](Lines& l)
         {
             ASSERT_EQ(2u, l.size());
             EXPECT_EQ(false, l[1]["ok"]);
             EXPECT_EQ(801, l[1]["code"]);
         }},
        {"cd MVP set Label used get Label", 0,
         [](Lines& l)
         {
             ASSERT_EQ(3u, l.size());
             EXPECT_EQ(true, l[1]["ok"]);
             EXPECT_EQ("used", l[2]["entries"][0]["value"]);
         }},
        {"refresh wait 1", 0,
         [](Lines& l)
         {
             ASSERT_EQ(2u, l.size());
             EXPECT_EQ(true, l[0]["ok"]);
             EXPECT_EQ((Json{{"command", "wait"}, {"args", {"1"}}, {"ok", true}}), l[1]);
         }},
        {"tree MVP", 0,
         [](Lines& l)
         {
             ASSERT_EQ(1u, l.size());
             Json& tree = l[0]["tree"];
             EXPECT_EQ("MVP", tree["name"]);
             EXPECT_EQ("14", tree["value"]);
             Json adapter = Named(tree["entries"], "MVP1");
             Json array = Named(adapter["entries"], "array1");
             EXPECT_EQ("1.000 GB", Named(array["entries"], "Size")["value"]);
             Json channel = Named(adapter["entries"], "ch1");
             Json disk = Named(channel["entries"], "disk1");
             EXPECT_EQ("Disk A", Named(disk["entries"], "model")["value"]);
             EXPECT_EQ("m--", Named(tree["entries"], "Succeed")["attribute"]);
         }},
        {"tree Nowhere", 1,
         [](Lines& l)
         {
             ASSERT_EQ(1u, l.size());
             EXPECT_EQ("cd", l[0]["command"]);
             EXPECT_EQ(false, l[0]["ok"]);
         }},
        {"discover", 0,
         [](Lines& l)
         {
             ASSERT_EQ(1u, l.size());
             EXPECT_EQ("discover", l[0]["command"]);
             ASSERT_EQ(1u, l[0]["agents"].size());
             EXPECT_EQ("127.0.0.1", l[0]["agents"][0]["address"]);
         }},
        {"send 'get name' 'cd MVP'", 0,
         [](Lines& l)
         {
             ASSERT_GE(l.size(), 2u);
             for (const Json& p : l)
                 EXPECT_TRUE(p.contains("kind") && p.contains("command") && p.contains("body")) << p;
             EXPECT_EQ("data", l.front()["kind"]);
             EXPECT_EQ("done", l.back()["kind"]);
             EXPECT_EQ("cd", l.back()["name"]);
             EXPECT_EQ(halsen::kCd, l.back()["command"]);
             EXPECT_EQ("800@Functional", l.back()["body"]);
         }},
        {"--timeout 500 raw " + PingHex(), 0,
         [](Lines& l)
         {
             for (const Json& p : l)
                 EXPECT_TRUE(p.contains("kind") || p.contains("notice") || (p == Json{{"closed", true}})) << p;
         }},
        {"watch 1", 0, [](Lines& l) { EXPECT_TRUE(l.empty()) << l.size(); }},
        {"events '\\MVP\\MVP1' --limit 5", 0,
         [](Lines& l)
         {
             ASSERT_EQ(1u, l.size());
             EXPECT_EQ("events", l[0]["command"]);
             EXPECT_EQ((Json{"MVP", "MVP1"}), l[0]["folder"]);
             EXPECT_TRUE(l[0]["events"].is_array());
         }},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.args);
        const JsonRun run = RunJson(c.args);
        EXPECT_EQ(c.status, run.status) << run.out;
        EXPECT_TRUE(run.broken.empty()) << run.out;
        Lines lines = run.lines;
        c.check(lines);
    }
}
} // namespace
