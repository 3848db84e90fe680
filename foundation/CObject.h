#pragma once

// The empty root of the class library: no state, no behaviour, no virtuals.
class CObject
{
};
