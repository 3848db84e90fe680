// The texts the console shows for the API's codes and figures.

#include "Texts.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
template <typename F>
std::string Format(F f, long value)
{
    char text[48];
    f(value, text, sizeof(text));
    return text;
}

void Size(long v, char* t, size_t n) { SizeText(v, t, n); }
void Fan(long v, char* t, size_t n) { FanText(static_cast<int>(v), t, n); }
void Volt(long v, char* t, size_t n) { VoltageText(static_cast<int>(v), t, n); }
void Temp(long v, char* t, size_t n) { TemperatureText(static_cast<int>(v), t, n); }
void BatTemp(long v, char* t, size_t n) { BatteryTemperatureText(static_cast<int>(v), t, n); }
void BatVolt(long v, char* t, size_t n) { BatteryVoltageText(static_cast<int>(v), t, n); }

struct FigureCase
{
    void (*format)(long, char*, size_t);
    long value;
    const char* text;
};

TEST(ConsoleTexts, FiguresAreFormattedAsShown)
{
    const FigureCase cases[] = {
        {Size, 16777216, "8.0GB"},      // 8 GB
        {Size, 17825792, "8.0GB"},      // 8.5 GB: whole GB only
        {Size, 2097151, "0.0GB"},
        {Size, -3145728, "-1.0GB"},     // rounded toward zero
        {Fan, 4200, "4200RPM"},
        {Volt, 5020, "5.0v"},
        {Volt, 12050, "12.1v"},
        {Temp, 86, "43.0C/109F"},
        {Temp, 70, "35.0C/95F"},
        {BatTemp, 3000, "26.9C"},
        {BatVolt, 8200, "8.200V"},
    };
    for (const FigureCase& c : cases)
        EXPECT_EQ(Format(c.format, c.value), c.text) << c.value;
}

TEST(ConsoleTexts, CodesHaveTheirTextsAndUnknownOnesAFallback)
{
    EXPECT_STREQ(CardTypeText(1), "Morliven QV7000");
    EXPECT_STREQ(CardTypeText(2), "Morliven Q150 QV7");
    EXPECT_EQ(CardTypeText(-1), nullptr);
    EXPECT_EQ(CardTypeText(6), nullptr);
    EXPECT_STREQ(ArrayModeText(5), "PARITY DISTRIBUTED");
    EXPECT_STREQ(ArrayModeText(-1), "UNKNOWN");
    EXPECT_STREQ(ArrayModeText(7), "UNKNOWN");
    EXPECT_STREQ(TransferModeText(8), "UDMA5");
    EXPECT_STREQ(TransferModeText(-1), "Unknown");
    EXPECT_STREQ(EnclosureTypeText(raeTindalow), "Tindalow");
    EXPECT_STREQ(EnclosureTypeText(raeNone), "No enclosure");
    EXPECT_STREQ(ChargeStatusText(reBatteryTerminateDischargeAlarm), "Battery_Remaining_Capacity_Alarm");
    EXPECT_STREQ(ChargeStatusText(reBatteryFullyCharged), "Battery_Fully_Charged");
    EXPECT_STREQ(ChargeStatusText(reBatteryStatusUnknown), "Battery_Status_Unknown");
    EXPECT_STREQ(ChargeStatusText(21), "Unknown");
}

struct StatusCase
{
    raeArrayFunctionalStatus functional;
    raeArrayActivityStatus activity;
    const char* text;
};

TEST(ConsoleTexts, ArrayStatusShowsTheActivityOrTheFunctionalState)
{
    const StatusCase cases[] = {
        {reArrayCritical, reArrayRebuilding, "RebuildingCritical"},
        {reArrayFunctional, reArraySynchronizing, "Synchronizing"},
        {reArrayFunctional, reArrayRaid5Initializing, "Raid5 Initializing"},
        {reArrayCritical, reArrayEngineRebuilding, "Engine RebuildingCritical"},
        {reArrayFunctional, reArrayIdle, "Functional"},
        {reArrayCritical, reArrayIdle, "Critical"},
        {reArrayOffline, reArrayActivityStatusUnknown, "Offline"},
        {reArrayFunctionalStatusUnknown, reArrayIdle, "Functional Status Unknown"},
    };
    for (const StatusCase& c : cases)
    {
        char text[40];
        ArrayStatusText(c.functional, c.activity, text, sizeof(text));
        EXPECT_STREQ(text, c.text);
    }
}
} // namespace
