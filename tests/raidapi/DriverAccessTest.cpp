// Finding, opening and checking the driver.

#include "Morliven.h"
#include "SimDriver.h"
#include "SimHelpers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace zelsim;
using simtest::LoadPreset;
using simtest::Sim;
using simtest::Snapshot;

namespace
{
void Devices(const std::string& text)
{
    Sim([&](SimState& s) {
        s.useDevicesText = 1;
        snprintf(s.devicesText, sizeof(s.devicesText), "%s", text.c_str());
    });
}

class DriverAccess : public ::testing::Test
{
protected:
    void SetUp() override { LoadPreset("one-adapter"); }
};

TEST_F(DriverAccess, MakesTheNodeForMajorAfterOtherLines)
{
    Devices("Character devices:\n  1 mem\n\nBlock devices:\n  8 sd\n253 zel_st\n254 mdp\n");
    Morliven m(0);
    HANDLE h = m.OpenMorliven();
    ASSERT_NE(h, -1);
    EXPECT_EQ(m.CloseMorliven(h), 0);
    auto s = Snapshot();
    EXPECT_EQ(s->nodeMode, 0x61A4u); // block special, 0644
    EXPECT_EQ(s->nodeDev, 253u << 8);
    EXPECT_EQ(s->counters.badMknods, 0u);
}

TEST_F(DriverAccess, RefusesListingsThatDoNotNameAUsableMajor)
{
    const std::string longLine = std::string(120, 'x') + "\n";
    struct
    {
        const char* what;
        std::string text;
    } const rows[] = {
        {"major below 100", "Block devices:\n 60 zel_st\n"},
        {"no driver line", "Block devices:\n  8 sd\n"},
        {"name beyond the number buffer", "Block devices:\n253        zel_st\n"},
        {"name past the line buffer", "Block devices:\n253 " + std::string(100, ' ') + "zel_st\n"},
        {"name at the start", "zel_st\n"},
        {"major that is not a number", "Block devices:\nab3 zel_st\n"},
    };
    for (const auto& r : rows)
    {
        SCOPED_TRACE(r.what);
        Devices(r.text);
        uint32_t before = Snapshot()->counters.mknods;
        Morliven m(0);
        EXPECT_EQ(m.OpenMorliven(), -1);
        EXPECT_EQ(Snapshot()->counters.mknods, before);
    }
    // A long line elsewhere does not hide the driver's own line.
    Devices("Block devices:\n" + longLine + "253 zel_st\n");
    Morliven m(0);
    HANDLE h = m.OpenMorliven();
    EXPECT_NE(h, -1);
    m.CloseMorliven(h);
}

TEST_F(DriverAccess, LastLineWithoutNewlineCounts)
{
    Devices("Block devices:\n  8 sd\n253 zel_st");
    Morliven m(0);
    HANDLE h = m.OpenMorliven();
    EXPECT_NE(h, -1);
    m.CloseMorliven(h);
}

TEST_F(DriverAccess, AdapterOutsideZeroAndOneNeverReachesTheDriver)
{
    uint32_t before = Snapshot()->counters.procDevicesOpens;
    Morliven m(2);
    EXPECT_EQ(m.OpenMorliven(), -1);
    EXPECT_TRUE(m.m_ulFlag & Morliven::FLAG_NO_DRIVER);
    tagDISKBLOCKINFO d;
    EXPECT_EQ(m.GetDiskBlock(0, 0, &d, Morliven::THIS_ADAPTER), 0u);
    tagCHANNELINFO c;
    EXPECT_EQ(m.GetChannel(0, &c), 0u);
    EXPECT_EQ(m.GetArrays(-1), Morliven::UNKNOWN_COUNT);
    EXPECT_EQ(m.UpdateArrayStatus(-1), 0);
    EXPECT_EQ(Snapshot()->counters.procDevicesOpens, before);
}

TEST(AscToInt, Conversions)
{
    struct
    {
        const char* text;
        int length;
        int value;
    } const rows[] = {
        {"12a", -1, -1}, {"007", 3, 7},  {"253 zel_st", 3, 253}, {" 60", 3, -1}, {"", -1, 0},
        {"42", 10, 42},  {"4294967296", -1, -1}, {"2147483647", -1, 2147483647},
    };
    for (const auto& r : rows)
        EXPECT_EQ(Morliven::AscToInt(r.text, r.length), r.value) << r.text;
    std::string longText(80, '1');
    EXPECT_EQ(Morliven::AscToInt(longText.c_str(), -1), -1);
}

TEST_F(DriverAccess, VersionRule)
{
    struct
    {
        uint32_t major, minor, beta;
        UINT expected;
    } const rows[] = {
        {1, 11, 0, 0},
        {1, 11, 200, 0},
        {1, 12, 0, 0},
        {2, 0, 0, 0},
        {1, 10, 9, Morliven::ERR_VERSION_MISMATCH},
        {0, 99, 0, Morliven::ERR_VERSION_MISMATCH},
    };
    for (const auto& r : rows)
    {
        Sim([&](SimState& s) { s.driverVersion = PackVersion(r.major, r.minor, r.beta); });
        Morliven m(0);
        HANDLE h = m.OpenMorliven();
        ASSERT_NE(h, -1);
        EXPECT_EQ(m.CheckVersion(h), r.expected) << r.major << "." << r.minor << "." << r.beta;
        m.CloseMorliven(h);
    }
}

TEST_F(DriverAccess, VersionMismatchText)
{
    Sim([](SimState& s) { s.driverVersion = PackVersion(1, 10, 0); });
    Morliven m(0);
    HANDLE h = m.OpenMorliven();
    ASSERT_EQ(m.CheckVersion(h), Morliven::ERR_VERSION_MISMATCH);
    m.CloseMorliven(h);
    char text[256] = "";
    EXPECT_EQ(m.IsValid(text), Morliven::ERR_VERSION_MISMATCH);
    EXPECT_STREQ(text, "This version of Orbelle utility require driver version 1.11 or later.");
}

TEST_F(DriverAccess, DriverNotFoundText)
{
    Sim([](SimState& s) { s.driverLoaded = 0; });
    Morliven m(0);
    char text[256] = "untouched";
    EXPECT_EQ(m.IsValid(text), Morliven::ERR_DRIVER_NOT_FOUND);
    EXPECT_STREQ(text, "Morliven controller or driver not found.");
    Sim([](SimState& s) { s.driverLoaded = 1; });
    Morliven ok(0);
    char none[32] = "untouched";
    EXPECT_EQ(ok.IsValid(none), 0u);
    EXPECT_STREQ(none, "untouched");
}

TEST_F(DriverAccess, CheckVersionWithoutAnswerMeansNoDriver)
{
    Morliven m(0);
    HANDLE h = m.OpenMorliven();
    Sim([](SimState& s) { SetFault(s, IOCTL_VERSION, FaultMode::Fail, 1); });
    EXPECT_EQ(m.CheckVersion(h), Morliven::ERR_DRIVER_NOT_FOUND);
    m.CloseMorliven(h);
}

TEST_F(DriverAccess, InvalidHandleIssuesNoRequest)
{
    Morliven m(0);
    uint32_t before = Snapshot()->counters.ioctls;
    StructNUMBER n = {0xFFFFFFFF};
    EXPECT_EQ(m.MorlivenIoControl(-1, IOCTL_NUM_CONTROLLER, &n), 0);
    EXPECT_EQ(n.number, 0xFFFFFFFFu);
    EXPECT_EQ(Snapshot()->counters.ioctls, before);
}

TEST_F(DriverAccess, DriverVersionTexts)
{
    Morliven m(0);
    char version[64] = {};
    char stamp[64] = {};
    EXPECT_EQ(m.GetDriverVersion(version, stamp), 1);
    EXPECT_STREQ(version, "1.12.3");
    EXPECT_STREQ(stamp, "2026-11-02 10:41");
    Sim([](SimState& s) { s.driverLoaded = 0; });
    char v2[64] = {};
    char t2[64] = {};
    EXPECT_EQ(m.GetDriverVersion(v2, t2), 0);
    EXPECT_STREQ(v2, "UNKNOWN");
    EXPECT_STREQ(t2, "UNKNOWN");
}

TEST_F(DriverAccess, GarbledVersionLengthsStayInsideTheTexts)
{
    Morliven m(0);
    Sim([](SimState& s) { SetFault(s, IOCTL_VERSION, FaultMode::Garbage, 1); });
    // Exactly the record's text size plus a terminator: the sanitizer
    // build catches a copy past it.
    char version[VERSION_TEXT_LENGTH + 1] = {};
    char stamp[VERSION_TEXT_LENGTH + 1] = {};
    m.GetDriverVersion(version, stamp);
    EXPECT_EQ(version[VERSION_TEXT_LENGTH], '\0');
}

TEST_F(DriverAccess, FailingOpenPrintsItsMessage)
{
    Sim([](SimState& s) { s.driverLoaded = 0; }); // listed, but the node does not answer
    Devices("Block devices:\n253 zel_st\n");
    Morliven m(0);
    testing::internal::CaptureStdout();
    EXPECT_EQ(m.OpenMorliven(), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Fail to open Morliven card!!!\n");
}
} // namespace
