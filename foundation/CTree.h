#pragma once

#include "CObject.h"

// An empty polymorphic base.
class CTree : public CObject
{
public:
    CTree();
    virtual ~CTree();
};
