#pragma once

// The battery's charge status as the objects publish it: the driver's
// status turned into an index of the status texts.
const int CHARGE_STATUS_UNKNOWN = 18;

// The text index of the API's charge status.
int ChargeStatusIndex(int status);
// The text of a charge status index; the unknown text for anything else.
const char* ChargeStatusText(int index);
