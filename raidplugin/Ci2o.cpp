#include "Ci2o.h"

#include "CDevice.h"
#include "CIOP.h"
#include "PluginState.h"

#include <cstdio>

Ci2o::Ci2o()
{
    Init(nullptr, "mvqvraid", TYPE_ROOT);
    int count = -1;
    if (!ReopenAdapter(0) || !ApiOk(raGetNumberOfAdapters(&count)))
        count = -1;
    const char* hardware = NameAfterHardware();
    CreateAdapters(count);
    // After the adapters, so that a listing shows the adapters first.
    SetPropertyString("FileVersion", DT_P_READ, "%s", "1.30.0001 Build 1");
    SetPropertyString("Type", DT_P_READ, "%s", hardware);
}

const char* Ci2o::NameAfterHardware()
{
    raeHardwareType type = reUnknownType;
    raGetHardwareType(0, &type);
    g_nHardwareType = type;
    const char* name = "";
    const char* hardware = "";
    if (type == reUnknownType)
    {
        name = "UnknownRAID";
        hardware = "UnknownHardware";
    }
    else if (type == reMorlivenQV7K)
    {
        name = "MVQV_RAID";
        hardware = "TAVRINE Morliven QV7000";
    }
    else if (type == reMorlivenQ150QV7)
    {
        name = "MV_Q150QV7RAID";
        hardware = "TAVRINE Morliven Q150 QV7";
    }
    // Without a name of its hardware the root keeps the one it has.
    if (*name)
        Init(nullptr, name, TYPE_ROOT);
    return hardware;
}

void Ci2o::CreateAdapters(int count)
{
    for (int n = 0; n < count; ++n)
    {
        SelectAdapter(static_cast<unsigned long>(n));
        CIOP* adapter = new CIOP(static_cast<unsigned long>(n));
        char name[16];
        snprintf(name, sizeof name, "MVP%d", n + 1);
        // Held while it is made, so an adapter that is not listed goes.
        adapter->AddRef();
        if (adapter->Create(name))
            AddRiver(adapter);
        adapter->Release();
    }
}
