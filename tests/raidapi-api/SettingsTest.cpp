// Adapter settings, enclosures and the battery through the interface.

#include "ApiHelpers.h"

#include <string>

using apitest::NoDriver;
using apitest::Select;
using simtest::Shell;

namespace
{
class ApiSettings : public ::testing::Test
{
protected:
    void SetUp() override { Select("enclosure-battery"); }
};

TEST_F(ApiSettings, ByteSettings)
{
    using Fn = raeStatus (*)(raeAction, int*);
    const std::pair<Fn, int> rows[] = {
        {raMaintenanceLength, 1}, {raChannelThreshold, 8}, {raOriginalChannelCount, 4}};
    for (const auto& [fn, initial] : rows)
    {
        int v = -1;
        EXPECT_EQ(fn(reGET, &v), reSOK);
        EXPECT_EQ(v, initial);
        v = 0x107; // the low byte goes to the driver
        EXPECT_EQ(fn(reSET, &v), reSOK);
        v = -1;
        EXPECT_EQ(fn(static_cast<raeAction>(7), &v), reSOK);
        EXPECT_EQ(v, -1) << "an unknown action does nothing";
        EXPECT_EQ(fn(reGET, &v), reSOK);
        EXPECT_EQ(v, 7);
    }
}

TEST_F(ApiSettings, Switches)
{
    using Fn = raeStatus (*)(raeAction, BOOL*);
    const Fn rows[] = {raSmartCheckEnabled, raAlarmBuzzerEnabled, raHotSparesEnabled,
                       raWriteCacheEnabled, raHotSwapEnabled};
    for (Fn fn : rows)
    {
        BOOL on = 9;
        EXPECT_EQ(fn(reGET, &on), reSOK);
        EXPECT_EQ(on, 1);
        on = 0;
        EXPECT_EQ(fn(reSET, &on), reSOK);
        on = 9;
        EXPECT_EQ(fn(reGET, &on), reSOK);
        EXPECT_EQ(on, 0);
    }
    // Only the write cache and hot swap report a failed request.
    const std::pair<const char*, std::pair<Fn, raeStatus>> failing[] = {
        {"4024", {raWriteCacheEnabled, reSGenericError}},
        {"4028", {raHotSwapEnabled, reSGenericError}},
        {"4026", {raHotSparesEnabled, reSOK}},
    };
    for (const auto& [code, row] : failing)
    {
        Shell(std::string("zelsim fault ") + code + " fail 1");
        BOOL on = 9;
        EXPECT_EQ(row.first(reGET, &on), row.second) << code;
        EXPECT_EQ(on, 9) << code;
    }
}

TEST_F(ApiSettings, ThresholdsAndWriteMode)
{
    using Fn = raeStatus (*)(raeAction, ULONG*);
    const std::pair<Fn, ULONG> rows[] = {
        {raReadThreshold, 100}, {raWriteThreshold, 100}, {raSubmitChannelThreshold, 4}};
    for (const auto& [fn, initial] : rows)
    {
        ULONG v = 0;
        EXPECT_EQ(fn(reGET, &v), reSOK);
        EXPECT_EQ(v, initial);
        v = 33;
        EXPECT_EQ(fn(reSET, &v), reSOK);
        EXPECT_EQ(fn(reGET, &v), reSOK);
        EXPECT_EQ(v, 33u);
    }
    raeWriteMode mode = reNotSupport;
    EXPECT_EQ(raWriteMode(reGET, &mode), reSOK);
    EXPECT_EQ(mode, reWriteBack);
    mode = reWriteThrough;
    EXPECT_EQ(raWriteMode(reSET, &mode), reSOK);
    EXPECT_EQ(raWriteMode(reGET, &mode), reSOK);
    EXPECT_EQ(mode, reWriteThrough);
    mode = static_cast<raeWriteMode>(5);
    EXPECT_EQ(raWriteMode(reSET, &mode), reSNotImplemented) << "the driver refuses the mode";

    NoDriver();
    ULONG v = 33;
    EXPECT_EQ(raReadThreshold(reSET, &v), reSNotImplemented);
    EXPECT_EQ(raReadThreshold(reGET, &v), reSOK);
    EXPECT_EQ(v, 0u);
    BOOL on = 5;
    EXPECT_EQ(raWriteCacheEnabled(reGET, &on), reSOK);
    EXPECT_EQ(on, 5);
}

TEST_F(ApiSettings, EnclosureTypes)
{
    const std::pair<int, raeEnclosureType> rows[] = {
        {0, raeTindalow}, {2, raeBramwell}, {4, raeUnknown}, {6, raeNone},
        {1, raeNone},     {8, raeNone},     {-2, raeNone},
    };
    for (const auto& [id, type] : rows)
    {
        raeEnclosureType t = raeNoDrive;
        EXPECT_EQ(raEnclosureType(id, &t), reSOK) << id;
        EXPECT_EQ(t, type) << id;
    }
}

TEST_F(ApiSettings, EnclosureStatus)
{
    struct
    {
        int id;
        raeEnclosureType type;
        int size;
        int values[5];
    } const rows[] = {
        {0, raeTindalow, 16, {4200, 70, 5020, 12050, 0}},
        {2, raeBramwell, 4, {3900}},
        {4, raeCorrimontSwap, 20, {1, 72, 4980, 11980, 1}},
        {6, raeNone, 0, {}},
        {3, raeNone, 0, {}},
        {10, raeNone, 0, {}},
    };
    for (const auto& r : rows)
    {
        raeEnclosureType t = raeNoDrive;
        int size = -1;
        int data[5] = {-9, -9, -9, -9, -9};
        EXPECT_EQ(raGetEnclosureStatus(r.id, &t, &size, data), reSOK) << r.id;
        EXPECT_EQ(t, r.type) << r.id;
        ASSERT_EQ(size, r.size) << r.id;
        for (int i = 0; i < 5; i++)
            EXPECT_EQ(data[i], i < r.size / 4 ? r.values[i] : -9) << r.id << " value " << i;
    }
    // Without voltage sensors the supplies read -2.
    simtest::Sim([](zelsim::SimState& s) { s.adapters[0].enclosure[0].capabilities = 0x08; });
    raeEnclosureType t;
    int size = 0;
    rauEnclosureData data;
    EXPECT_EQ(raGetEnclosureStatus(0, &t, &size, &data), reSOK);
    EXPECT_EQ(data.sTindalow.wFanSpeed, 4200);
    EXPECT_EQ(data.sTindalow.w5VVoltage, -2);
    EXPECT_EQ(data.sTindalow.w12VVoltage, -2);
    Shell("zelsim fault 4018 fail 9");
    EXPECT_EQ(raGetEnclosureStatus(0, &t, &size, &data), reSOK);
    EXPECT_EQ(t, raeUnknown);
    EXPECT_EQ(size, 0);
}

TEST_F(ApiSettings, Battery)
{
    BOOL exists = 0;
    EXPECT_EQ(raCheckBatteryBackModule(0, &exists), reSOK);
    EXPECT_EQ(exists, 1);
    EXPECT_EQ(raCheckBatteryPack(0, &exists), reSOK);
    EXPECT_EQ(exists, 1);
    USHORT v = 0;
    EXPECT_EQ(raGetChargeCycle(0, &v), reSOK);
    EXPECT_EQ(v, 12);
    EXPECT_EQ(raGetBatteryTemperature(0, &v), reSOK);
    EXPECT_EQ(v, 30);
    EXPECT_EQ(raGetBatteryVoltage(0, &v), reSOK);
    EXPECT_EQ(v, 8200);
    ULONG dimm = 0;
    EXPECT_EQ(raGetDimmSize(0, &dimm), reSOK);
    EXPECT_EQ(dimm, 128u);

    const std::pair<int, raeBatteryStatus> charge[] = {
        {0x00A0, reBatteryFullyCharged},
        {0x0080, reBatteryInitialized},
        {0x1041, reBatteryBusy},
        {0x0007, reBatteryUnknownError},
        {0x0000, reBatteryOK},
        {0x0010, reBatteryFullyDischarged},
        {0x0030, reBatteryFullyChargedFullyDischarged},
        {0x0050, reBatteryDischargingFullyDischarged},
        {0x0060, reBatteryDischargingFullyCharged},
        {0x1020, reBatteryOverTempAlarm},
        {0x8000, reBatteryOverChargedAlarm},
        {0x0300, reBatteryStatusUnknown}, // two alarms at once
    };
    for (const auto& [word, status] : charge)
    {
        Shell("zelsim set-battery 0 status " + std::to_string(word));
        raeBatteryStatus s = reBatteryBadSize;
        EXPECT_EQ(raGetChargeStatus(0, &s), reSOK);
        EXPECT_EQ(s, status) << std::hex << word;
    }
}

TEST_F(ApiSettings, ClearLog)
{
    Shell("zelsim set-temp 0 0 150");
    ASSERT_GT(simtest::Snapshot()->numEvents, 0u);
    EXPECT_EQ(raClearLog(), reSOK);
    EXPECT_EQ(simtest::Snapshot()->numEvents, 0u);
}
} // namespace
