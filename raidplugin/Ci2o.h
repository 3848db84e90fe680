#pragma once

#include "CRiver.h"

// The root of the plug-in's tree; the adapters hang below it.
class Ci2o : public CRiver
{
public:
    Ci2o();
};
