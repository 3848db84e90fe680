// Adapter settings, enclosure, battery and memory values, with the driver
// there and without it; and the text helpers.

#include "Morliven.h"
#include "MorlivenText.h"
#include "SimHelpers.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

using namespace zelsim;
using simtest::LoadPreset;
using simtest::Shell;
using simtest::Sim;

namespace
{
class Settings : public ::testing::Test
{
protected:
    void SetUp() override { LoadPreset("enclosure-battery"); }
};

TEST_F(Settings, ValuesTheDriverReports)
{
    Morliven m(0);
    struct
    {
        const char* what;
        std::function<long()> read;
        long value;
    } const rows[] = {
        {"maintenance length", [&] { return long(m.GetMaintenanceLength()); }, 1},
        {"channel threshold", [&] { return long(m.GetChannelThreshold()); }, 8},
        {"original channel count", [&] { return long(m.GetOriginalChannelCount()); }, 4},
        {"read threshold", [&] { return long(m.GetReadThreshold()); }, 100},
        {"write threshold", [&] { return long(m.GetWriteThreshold()); }, 100},
        {"submit threshold", [&] { return long(m.GetSubmitChannelThreshold()); }, 4},
        {"write mode", [&] { return long(m.GetWriteMode()); }, 0},
        {"sync rate", [&] { return long(m.GetSyncRate(1, 0)); }, 50},
        {"enclosure type", [&] { return long(m.GetEnclosureType(0, 0)); }, 17},
        {"second enclosure type", [&] { return long(m.GetEnclosureType(1, 0)); }, 1},
        {"no enclosure", [&] { return long(m.GetEnclosureType(3, 0)); }, 0xFF},
        {"fan", [&] { return long(m.GetFanStatus(0, 0)); }, 4200},
        {"temperature", [&] { return long(m.GetTemperature(0, 0)); }, 70},
        {"5 V", [&] { return long(m.GetV5VStatus(0, 0)); }, 5020},
        {"12 V", [&] { return long(m.GetV12VStatus(0, 0)); }, 12050},
        {"capabilities", [&] { return long(m.EnclosureCommand(ENC_CAPABILITIES, 2, 0)); }, 0x4C},
        {"unknown sub-command", [&] { return long(m.EnclosureCommand(9, 0, 0)); }, -1},
        {"battery module", [&] { return long(m.CheckBatteryBackModule(0)); }, 1},
        {"battery pack", [&] { return long(m.CheckBatteryPack(0)); }, 1},
        {"charge status", [&] { return long(m.GetChargeStatus(0)); }, 0x20},
        {"charge cycles", [&] { return long(m.GetChargeCycle(0)); }, 12},
        {"battery temperature", [&] { return long(m.GetBatteryTemperature(0)); }, 30},
        {"battery voltage", [&] { return long(m.GetBatteryVoltage(0)); }, 8200},
        {"dimm", [&] { return long(m.GetDimmSize(0)); }, 128},
        {"hardware type", [&] { return long(m.GetHardwareType(0)); }, 0x4000},
        {"busy", [&] { return long(m.CheckBusy()); }, 0},
        {"clear log", [&] { return long(m.ClearLog()); }, 1},
        {"reset disk information", [&] { return long(m.ResetHDInfo()); }, 0},
    };
    for (const auto& r : rows)
        EXPECT_EQ(r.read(), r.value) << r.what;
}

TEST_F(Settings, ChangesReachTheDriver)
{
    Morliven m(0);
    EXPECT_EQ(m.PutMaintenanceLength(7), 1);
    EXPECT_EQ(m.GetMaintenanceLength(), 7);
    EXPECT_EQ(m.PutChannelThreshold(3), 1);
    EXPECT_EQ(m.GetChannelThreshold(), 3);
    EXPECT_EQ(m.PutOriginalChannelCount(2), 1);
    EXPECT_EQ(m.GetOriginalChannelCount(), 2);
    EXPECT_NE(m.SetReadThreshold(30), 0u);
    EXPECT_EQ(m.GetReadThreshold(), 30u);
    EXPECT_NE(m.SetWriteThreshold(40), 0u);
    EXPECT_EQ(m.GetWriteThreshold(), 40u);
    EXPECT_NE(m.SetSubmitChannelThreshold(6), 0u);
    EXPECT_EQ(m.GetSubmitChannelThreshold(), 6u);
    EXPECT_NE(m.SetWriteMode(1), 0u);
    EXPECT_EQ(m.GetWriteMode(), 1u);
    EXPECT_EQ(m.SetWriteMode(5), 0u);

    EXPECT_EQ(m.SetRebuildRate(2, 0, 90), 0);
    EXPECT_EQ(m.GetRebuildRate(2, 0), 90);
    EXPECT_EQ(m.GetSyncRate(2, 0), 50);
    EXPECT_EQ(m.SetExpanConvRate(0, 0, 10), 0);
    EXPECT_EQ(m.GetExpanConvRate(0, 0), 10);
    EXPECT_EQ(m.SetSyncRate(1, 1, 20), 0);
    EXPECT_EQ(m.GetSyncRate(1, 1), 20);

    using Getter = int (Morliven::*)(BOOL&);
    using Setter = int (Morliven::*)(BOOL);
    const std::pair<Getter, Setter> switches[] = {
        {&Morliven::GetWriteCacheEnabled, &Morliven::SetWriteCacheEnabled},
        {&Morliven::GetHotSparesEnabled, &Morliven::SetHotSparesEnabled},
        {&Morliven::GetHotSwapEnabled, &Morliven::SetHotSwapEnabled},
        {&Morliven::GetAlarmBuzzerEnabled, &Morliven::SetAlarmBuzzerEnabled},
        {&Morliven::GetSmartCheckEnabled, &Morliven::SetSmartCheckEnable},
    };
    for (const auto& [get, set] : switches)
    {
        BOOL on = 7;
        EXPECT_EQ((m.*get)(on), 0);
        EXPECT_EQ(on, 1);
        EXPECT_EQ((m.*set)(0), 0);
        EXPECT_EQ((m.*get)(on), 0);
        EXPECT_EQ(on, 0);
    }

    EXPECT_EQ(m.SwapBoxPowerOnOff(0, 0, 0), 1);
    EXPECT_EQ(m.GetFanStatus(0, 0), 0) << "no fan without power";
    EXPECT_EQ(m.SwapBoxPowerOnOff(0, 0, 1), 1);
    Shell("zelsim busy on");
    EXPECT_EQ(m.CheckBusy(), 1u);
}

TEST_F(Settings, FailedRequestLeavesTheFlag)
{
    Morliven m(0);
    Shell("zelsim fault 4024 fail 1");
    BOOL on = 7;
    EXPECT_EQ(m.GetWriteCacheEnabled(on), -1);
    EXPECT_EQ(on, 7);
    Shell("zelsim fault 4018 fail 1");
    EXPECT_EQ(m.GetEnclosureType(0, 0), -1);
}

TEST_F(Settings, SmartStatusByPosition)
{
    Morliven m(0);
    int status = -1;
    EXPECT_EQ(m.GetDiskSmartStatus(0, 0, &status), 0);
    EXPECT_EQ(status, 1);
    Shell("zelsim set-smart 0 2 2");
    EXPECT_EQ(m.GetDiskSmartStatus(1, 0, &status), 0);
    EXPECT_EQ(status, 2);
    EXPECT_EQ(m.GetDiskSmartStatus(0, 1, &status), 0) << "empty position";
    EXPECT_EQ(status, 0);
}

TEST(NoDriver, EveryAccessorGivesItsNoDriverValue)
{
    LoadPreset("two-adapters");
    Sim([](SimState& s) { s.driverLoaded = 0; });
    testing::internal::CaptureStdout();
    auto owner = std::make_unique<Morliven>(0);
    Morliven& m = *owner;
    EXPECT_TRUE(m.m_ulFlag & Morliven::FLAG_NO_DRIVER);
    tagARRAYINFO ai;
    tagCONTROLLERINFO ci;
    tagCHANNELINFO chi;
    tagDISKBLOCKINFO di;
    BOOL flag = 7;
    int smart = -1;
    char version[64] = {};
    char stamp[64] = {};
    char err[128] = "";
    struct
    {
        const char* what;
        std::function<long()> call;
        long value;
    } const rows[] = {
        {"GetNumOfArray", [&] { return long(m.GetNumOfArray()); }, 0},
        {"GetNumOfController", [&] { return long(m.GetNumOfController()); }, 0},
        {"GetNumOfDiskBlock", [&] { return long(m.GetNumOfDiskBlock()); }, 0},
        {"GetNumOfArray(-1)", [&] { return long(m.GetNumOfArray(-1)); }, 0xFFFFFFFFL},
        {"GetNumOfDiskBlock(-1)", [&] { return long(m.GetNumOfDiskBlock(-1)); }, 0xFFFFFFFFL},
        {"GetArray", [&] { return long(m.GetArray(0, &ai)); }, 0},
        {"GetController", [&] { return long(m.GetController(0, &ci)); }, 0},
        {"GetChannel", [&] { return long(m.GetChannel(0, &chi)); }, 0},
        {"GetDiskBlock by position", [&] { return long(m.GetDiskBlock(0, 0, &di, Morliven::THIS_ADAPTER)); }, 0},
        {"GetDiskBlock by index", [&] { return long(m.GetDiskBlock(0, &di)); }, 0},
        {"GetDiskBlock by member", [&] { return long(m.GetDiskBlock(0u, 0u, &di)); }, 0},
        {"UpdateMorlivenInfo", [&] { return long(m.UpdateMorlivenInfo()); }, 0},
        {"UpdateArrayStatus", [&] { return long(m.UpdateArrayStatus(-1)); }, 0},
        {"GetNotifyData", [&] { return long(m.GetNotifyData()); }, 0},
        {"CheckError", [&] { return long(m.CheckError()); }, 0},
        {"GetMaintenanceLength", [&] { return long(m.GetMaintenanceLength()); }, 255},
        {"PutMaintenanceLength", [&] { return long(m.PutMaintenanceLength(1)); }, 255},
        {"GetChannelThreshold", [&] { return long(m.GetChannelThreshold()); }, 255},
        {"PutChannelThreshold", [&] { return long(m.PutChannelThreshold(1)); }, 255},
        {"GetOriginalChannelCount", [&] { return long(m.GetOriginalChannelCount()); }, 255},
        {"PutOriginalChannelCount", [&] { return long(m.PutOriginalChannelCount(1)); }, 255},
        {"GetReadThreshold", [&] { return long(m.GetReadThreshold()); }, 0},
        {"GetWriteThreshold", [&] { return long(m.GetWriteThreshold()); }, 0},
        {"SetReadThreshold", [&] { return long(m.SetReadThreshold(1)); }, 0},
        {"SetWriteThreshold", [&] { return long(m.SetWriteThreshold(1)); }, 0},
        {"GetSubmitChannelThreshold", [&] { return long(m.GetSubmitChannelThreshold()); }, 255},
        {"SetSubmitChannelThreshold", [&] { return long(m.SetSubmitChannelThreshold(1)); }, 0},
        {"GetWriteMode", [&] { return long(m.GetWriteMode()); }, 255},
        {"SetWriteMode", [&] { return long(m.SetWriteMode(1)); }, 255},
        {"GetWriteCacheEnabled", [&] { return long(m.GetWriteCacheEnabled(flag)); }, 0},
        {"GetHotSparesEnabled", [&] { return long(m.GetHotSparesEnabled(flag)); }, 0},
        {"GetHotSwapEnabled", [&] { return long(m.GetHotSwapEnabled(flag)); }, 0},
        {"GetAlarmBuzzerEnabled", [&] { return long(m.GetAlarmBuzzerEnabled(flag)); }, 0},
        {"GetSmartCheckEnabled", [&] { return long(m.GetSmartCheckEnabled(flag)); }, 0},
        {"the flags stay as they were", [&] { return long(flag); }, 7},
        {"SetWriteCacheEnabled", [&] { return long(m.SetWriteCacheEnabled(1)); }, 0},
        {"SetHotSparesEnabled", [&] { return long(m.SetHotSparesEnabled(1)); }, 0},
        {"SetHotSwapEnabled", [&] { return long(m.SetHotSwapEnabled(1)); }, 0},
        {"SetAlarmBuzzerEnabled", [&] { return long(m.SetAlarmBuzzerEnabled(1)); }, 0},
        {"SetSmartCheckEnable", [&] { return long(m.SetSmartCheckEnable(1)); }, 0},
        {"GetSyncRate", [&] { return long(m.GetSyncRate(0, 0)); }, 255},
        {"GetRebuildRate", [&] { return long(m.GetRebuildRate(0, 0)); }, 255},
        {"GetExpanConvRate", [&] { return long(m.GetExpanConvRate(0, 0)); }, 255},
        {"SetSyncRate", [&] { return long(m.SetSyncRate(0, 0, 1)); }, 255},
        {"SetRebuildRate", [&] { return long(m.SetRebuildRate(0, 0, 1)); }, 255},
        {"SetExpanConvRate", [&] { return long(m.SetExpanConvRate(0, 0, 1)); }, 255},
        {"GetDiskSmartStatus", [&] { return long(m.GetDiskSmartStatus(0, 0, &smart)); }, 0},
        {"the SMART status", [&] { return long(smart); }, 0},
        {"GetEnclosureType", [&] { return long(m.GetEnclosureType(0, 0)); }, 0},
        {"GetFanStatus", [&] { return long(m.GetFanStatus(0, 0)); }, 0},
        {"GetTemperature", [&] { return long(m.GetTemperature(0, 0)); }, 0},
        {"GetV5VStatus", [&] { return long(m.GetV5VStatus(0, 0)); }, 0},
        {"GetV12VStatus", [&] { return long(m.GetV12VStatus(0, 0)); }, 0},
        {"EnclosureCommand", [&] { return long(m.EnclosureCommand(5, 0, 0)); }, 0},
        {"SwapBoxPowerOnOff", [&] { return long(m.SwapBoxPowerOnOff(0, 0, 1)); }, 0},
        {"CheckBatteryBackModule", [&] { return long(m.CheckBatteryBackModule(0)); }, 255},
        {"CheckBatteryPack", [&] { return long(m.CheckBatteryPack(0)); }, 255},
        {"GetChargeStatus", [&] { return long(m.GetChargeStatus(0)); }, 255},
        {"GetChargeCycle", [&] { return long(m.GetChargeCycle(0)); }, 255},
        {"GetBatteryTemperature", [&] { return long(m.GetBatteryTemperature(0)); }, 255},
        {"GetBatteryVoltage", [&] { return long(m.GetBatteryVoltage(0)); }, 255},
        {"GetDimmSize", [&] { return long(m.GetDimmSize(0)); }, 255},
        {"GetHardwareType", [&] { return long(m.GetHardwareType(0)); }, 255},
        {"ClearLog", [&] { return long(m.ClearLog()); }, 255},
        {"CheckBusy", [&] { return long(m.CheckBusy()); }, 255},
        {"ResetHDInfo", [&] { return long(m.ResetHDInfo()); }, -1},
        {"GetDriverVersion", [&] { return long(m.GetDriverVersion(version, stamp)); }, 0},
        {"IsValid", [&] { return long(m.IsValid(err)); }, long(Morliven::ERR_DRIVER_NOT_FOUND)},
        {"GetArrayStatus", [&] { return long(m.GetArrayStatus(0, nullptr)); }, 0},
    };
    for (const auto& r : rows)
        EXPECT_EQ(r.call(), r.value) << r.what;
    EXPECT_STREQ(m.GetDiskBlockString(0), " ( 1, )");
    testing::internal::GetCapturedStdout();
}

TEST(TextHelpers, EnclosureTexts)
{
    struct
    {
        std::function<char*()> make;
        const char* text;
    } const rows[] = {
        {[] { return EnclosureTypeStr(0); }, "Corrimont"},
        {[] { return EnclosureTypeStr(1); }, "Bramwell 66"},
        {[] { return EnclosureTypeStr(16); }, "Pellard OEM"},
        {[] { return EnclosureTypeStr(17); }, "Tindalow"},
        {[] { return EnclosureTypeStr(2); }, "None"},
        {[] { return FanStatusStr(-2); }, "No H/W Present"},
        {[] { return FanStatusStr(1); }, "Wroking"},
        {[] { return FanStatusStr(3600); }, "Wroking (Rpm = 3600)"},
        {[] { return FanStatusStr(0); }, "Error"},
        {[] { return FanStatusStr(-5); }, "Error"},
        {[] { return TemperatureStr(50); }, "F:{77.5},C:{25.0}"},
        {[] { return TemperatureStr(51); }, "F:{78.4},C:{25.5}"},
        {[] { return TemperatureStr(-2); }, "No H/W Present"},
        {[] { return TemperatureStr(-1); }, ""},
    };
    for (const auto& r : rows)
    {
        char* text = r.make();
        EXPECT_STREQ(text, r.text);
        delete[] text;
    }
}

TEST(TextHelpers, Numbers)
{
    struct
    {
        ULONG value;
        const char* comma;
    } const commas[] = {{0, "0"}, {999, "999"}, {1000, "1,000"}, {1234567, "1,234,567"}, {4294967295u, "4,294,967,295"}};
    char text[64];
    for (const auto& r : commas)
    {
        ULongToCommaString(r.value, text);
        EXPECT_STREQ(text, r.comma);
    }
    struct
    {
        ULONG size;
        const char* text;
    } const sizes[] = {
        {0x500000, "5.  0 MB"},
        {0x580000, "5.500 MB"},
        {0x80000000u, "2.000 GB"},
        {0x60000000u, "1.500 GB (1536 MB)"},
        {0xA00000, "10 MB"},
        {1023, "1023 Bytes"},
    };
    for (const auto& r : sizes)
    {
        DiskSizeToBuffer(r.size, text);
        EXPECT_STREQ(text, r.text) << std::hex << r.size;
    }
}
} // namespace
