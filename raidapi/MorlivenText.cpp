#include "MorlivenText.h"

#include <stdio.h>
#include <string.h>

namespace
{
const int kNoHardware = -2;
const char kNoHardwareText[] = "No H/W Present";
const char kWorking[] = "Wroking";

char* NewText(const char* text)
{
    char* s = new char[strlen(text) + 1];
    strcpy(s, text);
    return s;
}
} // namespace

char* EnclosureTypeStr(int type)
{
    switch (type)
    {
    case 0:
        return NewText("Corrimont");
    case 1:
        return NewText("Bramwell 66");
    case 16:
        return NewText("Pellard OEM");
    case 17:
        return NewText("Tindalow");
    default:
        return NewText("None");
    }
}

char* FanStatusStr(int fs)
{
    if (fs == kNoHardware)
        return NewText(kNoHardwareText);
    if (fs == 1)
        return NewText(kWorking);
    if (fs > 1)
    {
        char text[64];
        snprintf(text, sizeof(text), "%s (%s = %d)", kWorking, "Rpm", fs);
        return NewText(text);
    }
    return NewText("Error");
}

char* TemperatureStr(int temp)
{
    if (temp == kNoHardware)
        return NewText(kNoHardwareText);
    if (temp < 0)
        return NewText("");
    // The sensor counts half degrees Celsius.
    float celsius = static_cast<float>(temp) / 2.0f;
    float fahrenheit = celsius * 1.8f + 32.0f + 0.5f;
    char text[64];
    snprintf(text, sizeof(text), "F:{%.1f},C:{%.1f}", static_cast<double>(fahrenheit), static_cast<double>(celsius));
    return NewText(text);
}

BOOL ULongToCommaString(ULONG value, LPSTR buffer)
{
    ULONG groups[4];
    int n = 0;
    do
    {
        groups[n++] = value % 1000;
        value /= 1000;
    } while (value);
    int len = sprintf(buffer, "%d", static_cast<int>(groups[n - 1]));
    for (int i = n - 2; i >= 0; i--)
        len += sprintf(buffer + len, ",%03d", static_cast<int>(groups[i]));
    return 1;
}

BOOL DiskSizeToBuffer(ULONG size, LPSTR buffer)
{
    long gb = size >> 30;
    long gbFraction = ((size & 0x3FFFFFFF) >> 20) * 1000 >> 10;
    long mb = size >> 20;
    if (size >= 0x80000000U)
        sprintf(buffer, "%ld.%03ld GB", gb, gbFraction);
    else if (size >= 0x40000000U)
        sprintf(buffer, "%ld.%03ld GB (%ld MB)", gb, gbFraction, mb);
    else if (size >= 0xA00000U)
        sprintf(buffer, "%ld MB", mb);
    else if (size >= 0x100000U)
        sprintf(buffer, "%ld.%3ld MB", mb, ((size & 0xFFFFF) >> 10) * 1000L >> 10);
    else
        sprintf(buffer, "%ld Bytes", static_cast<long>(size));
    return 1;
}
