#pragma once

// The decimal number at the start of text, as property values carry them:
// true with value set when there is one and it fits an int; false, value
// untouched, otherwise.
bool ParseLeadingInt(const char* text, int& value);
