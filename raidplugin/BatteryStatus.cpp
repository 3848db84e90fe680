#include "BatteryStatus.h"

namespace
{
const char* const kChargeTexts[] = {
    "BATTERY_OK",
    "BATTERY_BUSY",
    "BATTERY_RESERVERED_COMMAND",
    "BATTERY_UNSUPPORTED_COMMAND",
    "BATTERY_ACCESS_DENIED",
    "BATTERY_OVERFLOW_UNDERFLOW",
    "BATTERY_BAD_SIZE",
    "BATTERY_UNKNOWN_ERROR",
    "BATTERY_FULLY_DISCHARGED",
    "BATTERY_FULLY_CHARGED",
    "BATTERY_DISCHARGING",
    "BATTERY_INITIALIZED",
    "BATTERY_REMAINING_TIME_ALARM",
    "BATTERY_REMAINING_CAPACITY_ALARM",
    "BATTERY_TERMINATE_DISCHARGE_ALARM",
    "BATTERY_OVER_TEMP_ALARM",
    "BATTERY_TERMINATE_CHARGE_ALARM",
    "BATTERY_OVER_CHARGE_ALARM",
    "BATTERY_STATUS_UNKNOWN",
    "BATTERY_STATUS_DischargingFullyCharged",
    "BATTERY_STATUS_BatteryDischargingFullyDischarged",
    "BATTERY_STATUS_BatteryFullyChargedFullyDischarged",
};
const int kChargeTextCount = sizeof kChargeTexts / sizeof kChargeTexts[0];
// The driver's statuses from 18 on follow the unknown text.
const int kLastPlainStatus = 17;
} // namespace

int ChargeStatusIndex(int status)
{
    if (status >= 0 && status <= kLastPlainStatus)
        return status;
    if (status > kLastPlainStatus && status < kChargeTextCount - 1)
        return status + 1;
    return CHARGE_STATUS_UNKNOWN;
}

const char* ChargeStatusText(int index)
{
    if (index < 0 || index >= kChargeTextCount)
        index = CHARGE_STATUS_UNKNOWN;
    return kChargeTexts[index];
}
