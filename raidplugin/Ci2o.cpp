#include "Ci2o.h"

Ci2o::Ci2o()
{
    Init(nullptr, "mvqvraid", 14);
    SetPropertyString("FileVersion", DT_P_READ, "%s", "1.30.0001 Build 1");
}
