#pragma once

#include "CObject.h"

class CSvrSocket;

// The folder every connection is in until the object folder tree exists:
// it knows no command, so every request gets the closing reply 803
// "Not found". The folder tree's root takes its place.
class CStandInRoot : public CObject
{
public:
    void OnProcessCommand(CSvrSocket* pSvr);
};
