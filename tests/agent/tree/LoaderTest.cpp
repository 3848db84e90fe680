#include "CAgentDoc.h"
#include "CProfile.h"
#include "CRAIDMachine.h"
#include "StartedDocument.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace
{
testing::Environment* const kStartedDocument = testing::AddGlobalTestEnvironment(new StartedDocument);

// Each case runs in a sandbox of its own, with a fresh profile and a
// fresh agent document.
void WriteDevices(const std::vector<std::pair<std::string, std::string>>& devices)
{
    CProfile profile("/etc/tavrine/Dorvik.rc");
    profile.WriteProfile("Morliven", "NumOfDevice", static_cast<int>(devices.size()));
    for (size_t i = 0; i < devices.size(); ++i)
    {
        std::string n = std::to_string(i + 1);
        profile.WriteProfile("Morliven", ("Device" + n).c_str(), devices[i].first.c_str());
        profile.WriteProfile("Morliven", ("Path" + n).c_str(), devices[i].second.c_str());
    }
}

std::vector<CVirtualFolder*> DeviceFolders()
{
    std::vector<CVirtualFolder*> folders;
    CPea* root = g_AgentDoc.m_pRoot->GetPea();
    for (int i = 1; i <= root->GetPeaCount(); ++i)
    {
        if (CVirtualFolder* folder = CVirtualFolder::FromPea(root->GetPeaAt(i)))
            folders.push_back(folder);
    }
    return folders;
}

TEST(PluginLoading, FailuresAreToldAndGiveNoRiver)
{
    struct Row
    {
        const char* path;
        const char* output; // what the diagnostics begin with
    } rows[] = {
        {"", "No so to load!\n"},
        {"/nonexistent/libnone.so", "Failed to load /nonexistent/libnone.so!\n/nonexistent/libnone.so: "},
        {NOEXPORTS_PATH, "Couldn't find MVRaid_TimerProc()!\n"},
    };
    for (const Row& row : rows)
    {
        CaptureStdout();
        EXPECT_EQ(nullptr, g_AgentDoc.CreateObject(row.path)) << row.path;
        std::string output = GetCapturedStdout();
        EXPECT_EQ(0u, output.find(row.output)) << output;
    }
    EXPECT_EQ(0, g_AgentDoc.m_SoList.GetCount()) << "failed libraries are unloaded";
    EXPECT_EQ(nullptr, g_AgentDoc.m_pfnTimerProc);
}

TEST(PluginLoading, ALibraryWithoutCreateInstanceLeavesNoTimerEntry)
{
    CaptureStdout();
    EXPECT_EQ(nullptr, g_AgentDoc.CreateObject(NOEXPORTS_PATH));
    std::string output = GetCapturedStdout();
    EXPECT_NE(std::string::npos, output.find("Couldn't find CreateInstance()!\n")) << output;
    EXPECT_NE(std::string::npos, output.find("undefined symbol: CreateInstance")) << output;
    EXPECT_EQ(nullptr, g_AgentDoc.m_pfnTimerProc);
}

TEST(PluginLoading, ThePluginsRiverAndTimerAreTaken)
{
    IRiver* river = g_AgentDoc.CreateObject(TEST_PLUGIN_PATH);
    ASSERT_NE(nullptr, river);
    ASSERT_NE(nullptr, g_AgentDoc.m_pfnTimerProc);
    EXPECT_EQ(1, g_AgentDoc.m_SoList.GetCount());
    g_AgentDoc.m_pfnTimerProc();
    char* ticks = nullptr;
    ASSERT_EQ(S_OK, river->get("Ticks", &ticks));
    EXPECT_STREQ("1", ticks);
    delete[] ticks;
    river->Release();
    g_AgentDoc.DeleteContents();
    EXPECT_EQ(0, g_AgentDoc.m_SoList.GetCount());
}

TEST(PluginLoading, EveryDeviceGetsAFolderAndAFailedOneStaysEmpty)
{
    WriteDevices({{"", TEST_PLUGIN_PATH}, {"Broken", "/nonexistent/libnone.so"}, {"Good", TEST_PLUGIN_PATH}});
    CaptureStdout();
    g_AgentDoc.InitRiver();
    std::string output = GetCapturedStdout();
    EXPECT_NE(std::string::npos, output.find("Failed to load /nonexistent/libnone.so!\n")) << output;

    std::vector<CVirtualFolder*> folders = DeviceFolders();
    ASSERT_EQ(2u, folders.size()) << "a device without a name is skipped";
    CString text;
    folders[0]->GetPea()->ToString(text);
    EXPECT_STREQ("Broken@o--@14", text);
    EXPECT_EQ(nullptr, folders[0]->GetRiver());
    EXPECT_EQ(0, folders[0]->GetPea()->GetPeaCount());

    folders[1]->GetPea()->ToString(text);
    EXPECT_STREQ("Good@o--@14", text);
    ASSERT_NE(nullptr, folders[1]->GetRiver());
    CPea* adapter = folders[1]->GetPea()->FindPea("MVP1");
    ASSERT_NE(nullptr, CVirtualFolder::FromPea(adapter));
    CPea* array = adapter->FindPea("array1");
    ASSERT_NE(nullptr, array);
    CString path;
    array->GetBaseRef(path, true);
    EXPECT_STREQ("\\Good\\MVP1\\array1", path);
    EXPECT_EQ(801, folders[1]->InvokeDispatch(nullptr, "Fail", ""));
    EXPECT_EQ(800, folders[1]->InvokeDispatch(nullptr, "Succeed", ""));

    // The tree goes before the library that made its rivers.
    g_AgentDoc.DeleteContents();
    EXPECT_EQ(nullptr, g_AgentDoc.m_pRoot);
    EXPECT_EQ(0, g_AgentDoc.m_SoList.GetCount());
}

TEST(PluginLoading, WithoutDevicesNoFolderIsMade)
{
    CaptureStdout();
    g_AgentDoc.InitRiver();
    EXPECT_EQ("", GetCapturedStdout());
    EXPECT_TRUE(DeviceFolders().empty());
}

TEST(AgentIdentity, TheRootAndTheLocationValue)
{
    CString text;
    g_AgentDoc.m_pRoot->GetPea()->ToString(text);
    EXPECT_EQ(0, std::string(text).find(std::string(g_AgentDoc.m_strHostName) + "@o--@2"));
    EXPECT_TRUE(g_AgentDoc.m_pRoot->GetPea()->IsRoot());

    CProfile profile("/etc/tavrine/Dorvik.rc");
    int value1 = 0, value2 = 0;
    profile.GetProfile("Location", "Value1", &value1);
    profile.GetProfile("Location", "Value2", &value2);
    EXPECT_EQ(static_cast<int32_t>(g_AgentDoc.m_Location[0]), value1);
    EXPECT_EQ(static_cast<int32_t>(g_AgentDoc.m_Location[1]), value2);

    unsigned long copy[2] = {g_AgentDoc.m_Location[0], g_AgentDoc.m_Location[1]};
    EXPECT_TRUE(g_AgentDoc.CheckLocation(copy));
    copy[1] ^= 1;
    EXPECT_FALSE(g_AgentDoc.CheckLocation(copy));
    EXPECT_FALSE(g_AgentDoc.CheckLocation(nullptr));
}
} // namespace
