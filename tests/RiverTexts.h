#pragma once

// The dir texts of a river, read through the plug-in interfaces only.

#include "PluginInterfaces.h"

#include <string>
#include <vector>

// Every dir text of a river, in order.
inline std::vector<std::string> DirTexts(IRiver* river)
{
    std::vector<std::string> texts;
    IUnknown* unknown = nullptr;
    if (river->dir(&unknown) != S_OK)
        return texts;
    IEnumString* drops = nullptr;
    unknown->QueryInterface(IID_IEnumString, reinterpret_cast<void**>(&drops));
    unknown->Release();
    char buffer[RIVER_TEXT_SIZE];
    char* buffers[1] = {buffer};
    unsigned long fetched = 0;
    drops->Reset();
    while (drops->Next(1, buffers, &fetched) == S_OK)
        texts.push_back(buffer);
    drops->Release();
    return texts;
}
