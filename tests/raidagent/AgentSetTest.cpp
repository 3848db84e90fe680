// Writes of the RAID plug-in's writable properties through the agent's
// set: one that the driver carries out answers 800 and shows the value
// the driver keeps; one that cannot be written answers as a folder with
// nothing to write does, and the value stays.

#include "RaidAgent.h"

#include <string>

namespace
{
class AgentSet : public raidagent::RaidAgentTest
{
};

TEST_F(AgentSet, AnsweredWithWhatTheWriteDid)
{
    Start("two-adapters");
    const struct
    {
        const char* property;
        const char* value;
        const char* finish;
        // The value get shows afterwards; null for the one it showed before.
        const char* shown;
        // The name the driver keeps afterwards.
        const char* stored;
    } cases[] = {
        {"RAID_Mode", "JBOD", "0@Functional", nullptr, "Vault"},
        {"Block Size", "128 (kb)", "0@Functional", nullptr, "Vault"},
        {"Cyls", "1", "0@Functional", nullptr, "Vault"},
        {"Size", "1", "802@Access Denied", nullptr, "Vault"},
        {"name", "Z@d", "805@Invalid argument", nullptr, "Vault"},
        {"name", "Zed", "800@Functional", "Zed", "Zed"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string(c.property) + "@" + c.value);
        const std::string before = Prop("MVP2\\Vault", c.property);
        EXPECT_EQ(c.finish, Client().Set(c.property, c.value).finish);
        const halsen::Answer got = Client().Get(c.property);
        ASSERT_EQ(1u, got.lines.size());
        const std::string after = c.shown ? std::string(c.shown) : before;
        EXPECT_EQ(after, halsen::ParseEntry(got.lines[0]).value) << "as the folder holds it";
        EXPECT_EQ(after, Prop("MVP2\\Vault", c.property)) << "read anew from the plug-in";
        EXPECT_STREQ(c.stored, reinterpret_cast<const char*>(simtest::Snapshot()->arrays[5].Name));
    }
    EXPECT_EQ("PARITY", Prop("MVP2\\Vault", "RAID_Mode"));
}
} // namespace
