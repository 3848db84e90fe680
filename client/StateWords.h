#pragma once

// What the status and activity values of the RAID objects mean, in words
// for people: an array's "Status" of -2147483647 is "critical".

#include <string>

namespace halsen
{
// The word for a property's value in a folder whose object has the type
// number `folderType` (the value its object entry carries, e.g. "25" for an
// array), or "" when that value has no word there. A value may come signed
// or as its unsigned 32-bit form.
std::string StateWord(const std::string& folderType, const std::string& property, const std::string& value);
} // namespace halsen
