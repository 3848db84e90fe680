#include "Texts.h"

#include <cstdio>
#include <cstring>

namespace
{
template <size_t N>
const char* Pick(const char* const (&texts)[N], int index, const char* other)
{
    return index >= 0 && index < static_cast<int>(N) ? texts[index] : other;
}
} // namespace

const char* CardTypeText(int type)
{
    static const char* const texts[] = {"Morliven",  "Morliven QV7000", "Morliven Q150 QV7",
                                        "Kindravel", "KindravelQV",     "VossmereQV"};
    return Pick(texts, type, nullptr);
}

const char* ArrayModeText(int mode)
{
    static const char* const texts[] = {"STRIPE", "MIRROR",             "STRIPEMIRROR", "SPAN",
                                        "PARITY", "PARITY DISTRIBUTED", "JBOD"};
    return Pick(texts, mode, "UNKNOWN");
}

const char* TransferModeText(int timing)
{
    static const char* const texts[] = {"UDMA4", "UDMA3", "UDMA2", "UDMA1", "UDMA0",
                                        "DMA2",  "DMA1",  "DMA0",  "UDMA5"};
    return Pick(texts, timing, "Unknown");
}

const char* EnclosureTypeText(raeEnclosureType type)
{
    static const char* const texts[] = {"No enclosure", "No drive", "Bramwell", "Tindalow", "CorrimontSwap",
                                        "Unknown enclosure"};
    return Pick(texts, type, "Unknown enclosure");
}

const char* ChargeStatusText(int status)
{
    static const char* const texts[] = {"Battery_Status_Unknown",
                                        "Battery_OK",
                                        "Battery_Busy",
                                        "Battery_Reserved_Command",
                                        "Battery_Unsupported_Command",
                                        "Battery_Access_Denied",
                                        "Battery_Overflow_Underflow",
                                        "Battery_Bad_Size",
                                        "Battery_Unknown_Error",
                                        "Battery_Fully_Discharged",
                                        "Battery_Fully_Charged",
                                        "Battery_Discharging",
                                        "Battery_Initiazlized",
                                        "Battery_Remaining_Time_Alarm",
                                        "Battery_Remaining_Capacity_Alarm",
                                        "Battery_Remaining_Capacity_Alarm",
                                        "Battery_Over_Temp_Alarm",
                                        "Battery_Terminater_Charge_Alarm",
                                        "Battery_Over_charged_Alarm",
                                        "Battery_Discharging_FullyCharged",
                                        "Battery_Discharging_Fully_Discharged",
                                        "Battery_FullyCharged_FullyDischarged"};
    return Pick(texts, status + 1, "Unknown");
}

void SizeText(long sectors, char* text, size_t size)
{
    long gigabytes = sectors / (1L << 21);
    snprintf(text, size, "%.1fGB", static_cast<double>(gigabytes));
}

void ArrayStatusText(raeArrayFunctionalStatus functional, raeArrayActivityStatus activity, char* text,
                     size_t size)
{
    static const char* const busy[] = {"Rebuilding",   "Synchronizing", "Migrating",         "Raid5 Initializing",
                                       "Rebuild Pause", "Migrate Pause", "Synchronize Pause", "Engine Rebuilding"};
    static const char* const idle[] = {"Functional", "Critical", "Offline"};
    if (activity >= reArrayRebuilding && activity <= reArrayEngineRebuilding)
        snprintf(text, size, "%s%s", busy[activity - 1], functional == reArrayCritical ? "Critical" : "");
    else
        snprintf(text, size, "%s", Pick(idle, functional, "Functional Status Unknown"));
}

void FanText(int rpm, char* text, size_t size)
{
    snprintf(text, size, "%dRPM", rpm);
}

void VoltageText(int millivolts, char* text, size_t size)
{
    snprintf(text, size, "%.1fv", millivolts / 1000.0);
}

void TemperatureText(int halfDegrees, char* text, size_t size)
{
    double celsius = halfDegrees / 2.0;
    snprintf(text, size, "%.1fC/%1.fF", celsius, celsius * 9 / 5 + 32);
}

void BatteryTemperatureText(int tenthsKelvin, char* text, size_t size)
{
    snprintf(text, size, "%3.1fC", tenthsKelvin / 10.0 - 273.1);
}

void BatteryVoltageText(int millivolts, char* text, size_t size)
{
    snprintf(text, size, "%4.3fV", millivolts / 1000.0);
}
