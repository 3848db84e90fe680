#pragma once

// The texts the screens show for the API's codes and figures.

#include "Raidapi.h"

#include <cstddef>

const char* CardTypeText(int type);
const char* ArrayModeText(int mode);
const char* TransferModeText(int timing);
const char* EnclosureTypeText(raeEnclosureType type);
const char* ChargeStatusText(int status);

// "%.1fGB" of a sector count taken as a whole number of GB.
void SizeText(long sectors, char* text, size_t size);
// An array's status: its activity, with "Critical" appended when it is
// critical, or its functional status when it is idle.
void ArrayStatusText(raeArrayFunctionalStatus functional, raeArrayActivityStatus activity, char* text,
                     size_t size);
// Enclosure figures: fan "%dRPM", voltage "%.1fv" of millivolts,
// temperature of half degrees Celsius with its Fahrenheit figure.
void FanText(int rpm, char* text, size_t size);
void VoltageText(int millivolts, char* text, size_t size);
void TemperatureText(int halfDegrees, char* text, size_t size);
// Battery figures: tenths of kelvin as Celsius, millivolts as volts.
void BatteryTemperatureText(int tenthsKelvin, char* text, size_t size);
void BatteryVoltageText(int millivolts, char* text, size_t size);
