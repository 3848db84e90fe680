#include "BatteryStatus.h"
#include "CDevice.h"
#include "CIOP.h"
#include "RaidModes.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
std::string SizeText(unsigned long sectors)
{
    char text[SIZE_TEXT_LENGTH];
    CDevice::DiskSizeToBuffer(sectors, text, sizeof text);
    return text;
}

TEST(SizeText, EachRangeHasItsForm)
{
    const struct
    {
        unsigned long sectors;
        const char* text;
    } rows[] = {
        {0x5000, "10 MB"},
        {0x200000, "1.000 GB (1024 MB)"},
        {0x1400000, "10.000 GB"},
        {0x1400001, "10.000 GB"},
        {0x13FFFFF, "9.999 GB (10239 MB)"},
        {0x4FFF, "9.999 MB"},
        {0x800 + 0x100, "1.125 MB"},
        {0x800 + 2, "1.  0 MB"},
        {0x1FFFFF, "1023 MB"},
        {78165360, "37.271 GB"},
        {4294967295UL, "2047.999 GB"},
        {0x7FF, "1023 KB"},
        {0, "0 KB"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.text, SizeText(row.sectors)) << std::hex << row.sectors;
}

TEST(ChargeStatus, DriverStatusesMapToTheirTexts)
{
    const struct
    {
        int status;
        int index;
        const char* text;
    } rows[] = {
        {0, 0, "BATTERY_OK"},
        {9, 9, "BATTERY_FULLY_CHARGED"},
        {17, 17, "BATTERY_OVER_CHARGE_ALARM"},
        {18, 19, "BATTERY_STATUS_DischargingFullyCharged"},
        {19, 20, "BATTERY_STATUS_BatteryDischargingFullyDischarged"},
        {20, 21, "BATTERY_STATUS_BatteryFullyChargedFullyDischarged"},
        {-1, 18, "BATTERY_STATUS_UNKNOWN"},
        {21, 18, "BATTERY_STATUS_UNKNOWN"},
        {-7, 18, "BATTERY_STATUS_UNKNOWN"},
    };
    for (const auto& row : rows)
    {
        EXPECT_EQ(row.index, ChargeStatusIndex(row.status)) << row.status;
        EXPECT_STREQ(row.text, ChargeStatusText(ChargeStatusIndex(row.status))) << row.status;
    }
    EXPECT_STREQ("BATTERY_STATUS_UNKNOWN", ChargeStatusText(22));
    EXPECT_STREQ("BATTERY_STATUS_UNKNOWN", ChargeStatusText(-1));
}

TEST(BusUtilisation, PercentagesAndDriverThresholdsShareTheChannelScale)
{
    const struct
    {
        int percent;
        int channels;
        int threshold;
    } toDriver[] = {{100, 4, 0}, {0, 4, 4}, {50, 4, 2}, {30, 4, 2}, {0, 0, 0}, {75, 8, 2}};
    for (const auto& row : toDriver)
        EXPECT_EQ(row.threshold, CIOP::UIToDriver(row.percent, row.channels)) << row.percent << " " << row.channels;
    const struct
    {
        int threshold;
        int channels;
        int percent;
    } toUI[] = {{0, 4, 100}, {4, 4, 0}, {1, 4, 75}, {3, 8, 62}, {5, 0, 50}, {8, 4, 0}, {-4, 4, 100}};
    for (const auto& row : toUI)
        EXPECT_EQ(row.percent, CIOP::DriverToUI(row.threshold, row.channels)) << row.threshold << " " << row.channels;
}

TEST(ModeTexts, MethodTextsAndShownTexts)
{
    EXPECT_EQ(4, StringToRAIDMode("RAID5(PARITY-DISTRIBUTED)"));
    EXPECT_EQ(5, StringToRAIDMode("SPAN"));
    EXPECT_EQ(-1, StringToRAIDMode("span"));
    EXPECT_EQ(-1, StringToRAIDMode(""));
    EXPECT_EQ(-1, StringToRAIDMode(nullptr));
    EXPECT_EQ(reRaidModeSpan, RAIDModeOfIndex(5));
    EXPECT_EQ(reRaidModeParity, RAIDModeOfIndex(3));
    EXPECT_EQ(reRaidModeUnknown, RAIDModeOfIndex(7));
    EXPECT_STREQ("RAID1(MIRROR)", RAIDModeToString(reRaidModeMirroring, 2));
    EXPECT_STREQ("RAID0+1(STRIPE-MIRRORING)", RAIDModeToString(reRaidModeMirroring, 4));
    EXPECT_STREQ("RAID3(PARITY-DEDICATED)", RAIDModeToString(reRaidModeParity, 3));
    EXPECT_EQ(nullptr, RAIDModeToString(reRaidModeStripeMirroring, 4));
    EXPECT_EQ(nullptr, RAIDModeToString(9, 2));
    EXPECT_STREQ("RAID1(MIRROR)", RAIDModeDisplayText(reRaidModeMirroring));
    EXPECT_STREQ("RAID0+1(STRIPING + MIRRORING)", RAIDModeDisplayText(reRaidModeStripeMirroring));
    EXPECT_STREQ("SPANNING", RAIDModeDisplayText(reRaidModeSpan));
    EXPECT_STREQ("PARITY", RAIDModeDisplayText(reRaidModeParity));
    EXPECT_STREQ("UNKNOWN RAID TYPE", RAIDModeDisplayText(-1));
}
} // namespace
