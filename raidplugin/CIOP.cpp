#include "CIOP.h"

#include "BatteryStatus.h"
#include "CArray.h"
#include "CEnclosureChannel.h"
#include "CIDEChannel.h"
#include "CProfile.h"
#include "PluginState.h"

#include <cstdio>

bool CIOP::m_hasBattery = false;

namespace
{
const unsigned long kIdeChannels = 4;
const unsigned long kEnclosureIndex = 4;
const unsigned long kArrayChannelIndex = 5;
const unsigned long kBatteryIndex = 6;
const int kMaxArrays = 8;
const int kUnsupported = 255;
const int kDefaultMaintenance = 4;
const int kNoticeEveryPolls = 180;
const int kVersionLength = 256;
} // namespace

TPtrList<CIOP>& CIOP::AllIOPs()
{
    static TPtrList<CIOP> iops;
    return iops;
}

CIOP::CIOP(unsigned long adapter) : CChannel(TYPE_ADAPTER), m_AdapterID(adapter)
{
    AllIOPs().AppendTail(this);
    if (SelectAdapter(adapter))
        ReadStartValues();
}

CIOP::~CIOP()
{
    TPtrList<CIOP>& iops = AllIOPs();
    iops.RemoveAt(iops.FindIndex(this));
}

int CIOP::UIToDriver(int percent, int channels) { return (100 - percent) * channels / 100; }

int CIOP::DriverToUI(int threshold, int channels)
{
    if (channels == 0)
        return 50;
    // A threshold beyond the scale still shows as a percentage.
    int percent = static_cast<int>(100 - static_cast<double>(threshold) / channels * 100);
    return percent < 0 ? 0 : percent > 100 ? 100 : percent;
}

void CIOP::ReadStartValues()
{
    int value = 0;
    if (ApiOk(raOriginalChannelCount(reGET, &value)))
        m_bOriginalChannelCount = value;
    if (ApiOk(raChannelThreshold(reGET, &value)))
    {
        m_iChannelThresholdDriver = value;
        m_iChannelThresholdUI = DriverToUI(value, m_bOriginalChannelCount);
    }
    {
        CProfile profile;
        int setting = 0;
        profile.GetProfile("MV7000", "WRITEBACKCACHE", &setting);
        m_bEnableDiskCache = setting != 0;
        setting = 0;
        profile.GetProfile("MV7000", "DISABLEHOTSPARE", &setting);
        m_bDisableHotSpare = setting != 0;
    }
    BOOL smart = 0;
    if (ApiOk(raSmartCheckEnabled(reGET, &smart)))
        m_bEnableSmart = smart != 0;
    if (ApiOk(raMaintenanceLength(reGET, &value)))
        m_iMaintenanceLength = (value & 0xFF) == kUnsupported ? kDefaultMaintenance : value;
    ULONG threshold = 0;
    if (ApiOk(raReadThreshold(reGET, &threshold)) && (threshold & 0xFF) != kUnsupported)
        m_ulReadThreshold = threshold;
    if (ApiOk(raWriteThreshold(reGET, &threshold)) && (threshold & 0xFF) != kUnsupported)
        m_ulWriteThreshold = threshold;
    if (ApiOk(raSubmitChannelThreshold(reGET, &threshold)) && (threshold & 0xFF) != kUnsupported)
        m_ulSubmitChannelThreshold = threshold;
    raeWriteMode mode = reNotSupport;
    if (ApiOk(raWriteMode(reGET, &mode)))
        m_ulWriteMode = static_cast<unsigned long>(mode);
}

int CIOP::Create(const char* name)
{
    if (!CDevice::Create(nullptr, name, m_AdapterID, static_cast<unsigned long>(-1), m_AdapterID))
        return 0;
    m_id = m_AdapterID;
    m_controllerID = m_AdapterID;
    if (SelectAdapter(m_AdapterID))
        CreateChannelObjects();
    return 1;
}

int CIOP::InitialProperty()
{
    SetPropertyString("Morliven", DT_P_READ, "%s", "yes");
    SetPropertyInt("HasEvent", DT_P_READ, 3);
    WriteControllerInfo();
    char version[kVersionLength] = "";
    char timestamp[kVersionLength] = "";
    if (ApiOk(raGetDriverVersion(version, timestamp)))
        SetPropertyString("DV", DT_P_READ, "%s", version);
    SetPropertyString("HardWare", DT_P_READ, "%s", "MorlivenQv7");
    SetPropertyInt("GetSmart", DT_P_READ, m_bEnableSmart);
    SetPropertyInt("GetPCIBus", DT_P_READ, m_iChannelThresholdUI);
    SetPropertyInt("GetCachePolicy", DT_P_READ, m_bEnableDiskCache);
    SetPropertyInt("GetDisableHotSpare", DT_P_READ, m_bDisableHotSpare);
    SetPropertyInt("GetMaintenanceRate", DT_P_READ, m_iMaintenanceLength);
    SetPropertyInt("ReadThreshold", DT_P_READ, static_cast<int>(m_ulReadThreshold));
    SetPropertyInt("WriteThreshold", DT_P_READ, static_cast<int>(m_ulWriteThreshold));
    SetPropertyInt("SubmitChannelThreshold", DT_P_READ, static_cast<int>(m_ulSubmitChannelThreshold));
    SetPropertyInt("WriteMode", DT_P_READ, static_cast<int>(m_ulWriteMode));
    return 1;
}

void CIOP::WriteControllerInfo()
{
    rasControllerInfo info;
    if (!ApiOk(raGetControllerInfo(static_cast<int>(m_AdapterID), &info)))
        return;
    SetPropertyInt("IRQ", DT_P_READ, static_cast<int>(info.IRQ));
    SetPropertyString("RBA", DT_P_READ, "0x%08X", info.BIOSMemStart);
    SetPropertyString("BMB", DT_P_READ, "0x%4X", info.BusMasterBase);
    SetPropertyString("QVSdramAddress", DT_P_READ, "0x%8X", info.BaseAddressSDRAM);
    SetPropertyString("QVHDMAAddress", DT_P_READ, "0x%8X", info.BaseAddressXOR);
    SetPropertyString("QVSEQAddress", DT_P_READ, "0x%8X", info.BaseAddressSEQ);
    SetPropertyString("QVATAAddress", DT_P_READ, "0x%8X", info.BaseAddressATA);
    SetPropertyString("QVMMIOAddress", DT_P_READ, "0x%8X", info.BaseAddressMMIO);
}

void CIOP::CreateChannelObjects()
{
    int channels = 0;
    if (!SelectAdapter(m_AdapterID) || !ApiOk(raGetMaxChannelsPerAdapter(&channels)))
        return;
    TPtrList<CDevice> pass;
    unsigned long arrayChannel = static_cast<unsigned long>(-1);
    const int types[] = {TYPE_CHANNEL, TYPE_ENCLOSURE_CHANNEL, TYPE_BATTERY_CHANNEL};
    for (unsigned long i = 0; i <= static_cast<unsigned long>(channels) + 2 && i <= kBatteryIndex; ++i)
    {
        CDevice* channel = nullptr;
        for (int type : types)
            if (!channel)
                channel = FindDevice(i, type);
        if (channel)
        {
            // Rescanned, so disks pulled or put in since show as they are.
            channel->OnRefresh();
            channel->IssueNotification(NOTICE_CHANGED);
        }
        else if (i < kIdeChannels && i < static_cast<unsigned long>(channels))
            channel = CreateIDEChannel(i);
        else if (i == kEnclosureIndex)
            channel = CreateEnclosureChannel(i);
        else if (i == kArrayChannelIndex)
            arrayChannel = i;
        else if (i == kBatteryIndex && BatteryPresent())
            channel = CreateBatteryChannel(i);
        if (channel)
            pass.AppendTail(channel);
    }
    CreateArrayChannel(arrayChannel);
    PruneChildren(TYPE_CHANNEL, pass);
}

CDevice* CIOP::CreateIDEChannel(unsigned long index)
{
    char name[16];
    snprintf(name, sizeof name, "ch%i", ++m_iChannel);
    CIDEChannel* channel = new CIDEChannel;
    return ListChild(channel, channel->Create(this, name, index, m_AdapterID));
}

CDevice* CIOP::CreateEnclosureChannel(unsigned long index)
{
    char name[24];
    snprintf(name, sizeof name, "enclosure%d", ++m_iEnclosure);
    CEnclosureChannel* channel = new CEnclosureChannel;
    return ListChild(channel, channel->Create(this, name, index, m_AdapterID));
}

bool CIOP::BatteryPresent()
{
    BOOL module = 0;
    BOOL pack = 0;
    return ApiOk(raCheckBatteryBackModule(m_AdapterID, &module)) && module &&
           ApiOk(raCheckBatteryPack(m_AdapterID, &pack)) && pack;
}

CDevice* CIOP::CreateBatteryChannel(unsigned long index)
{
    m_hasBattery = true;
    CBatteryChannel* battery = new CBatteryChannel;
    if (!ListChild(battery, battery->Create(this, "battery", index, m_AdapterID)))
        return nullptr;
    m_Battery = battery->GetReading();
    return battery;
}

void CIOP::CreateArrayChannel(unsigned long index)
{
    const unsigned long none = static_cast<unsigned long>(-1);
    if (m_IDArrayChannel != none && index != none && index != m_IDArrayChannel)
        return;
    m_IDArrayChannel = index;
    int count = 0;
    int logical[kMaxArrays];
    // Arrays are removed only on what the driver said, never because it
    // could not be asked.
    if (!SelectAdapter(m_AdapterID) || !ApiOk(raEnumerateAllArrays(&count, logical)))
        return;
    TPtrList<CDevice> found;
    for (int i = 0; i < count && i < kMaxArrays; ++i)
    {
        int physical = -1;
        if (!ApiOk(raMapLogicalToPhysicalArray(logical[i], &physical)))
            continue;
        CArray* array = dynamic_cast<CArray*>(FindDevice(static_cast<unsigned long>(physical), TYPE_ARRAY));
        if (array)
            array->SetLogicalID(static_cast<unsigned long>(logical[i]));
        found.AppendTail(array ? array : CreateArrayObject(logical[i], i));
    }
    PruneChildren(TYPE_ARRAY, found);
}

CDevice* CIOP::CreateArrayObject(int logical, int position)
{
    rasArrayInfo info;
    if (!ApiOk(raGetArrayInfo(logical, &info)))
        return nullptr;
    char generated[16];
    snprintf(generated, sizeof generated, "Ary%d", position + 1);
    const char* name = info.Name;
    if (!info.Name[0])
    {
        name = generated;
        raRenameArray(static_cast<ULONG>(logical), reinterpret_cast<UCHAR*>(generated));
    }
    // A name no drop can carry, or one another object already has, would
    // hide the array or another object.
    else if (!CDrop::IsValidName(info.Name) || FindDrop(info.Name))
        name = generated;
    CArray* array = new CArray;
    return ListChild(array, array->Create(this, name, static_cast<unsigned long>(logical), m_AdapterID));
}

void CIOP::OnClockTick()
{
    CreateChannelObjects();
    TickChildren(TYPE_ARRAY);
    IssueNotification(NOTICE_CHANGED);
}

void CIOP::PollDriver()
{
    BOOL update = 0;
    if (SelectAdapter(m_AdapterID) && ApiOk(raNeedUpdate(&update)) && update)
        OnClockTick();
}

void CIOP::Resync()
{
    // The API's tables are read again first; the tree then shows the
    // change at once, so a folder that refreshes on the notice finds it.
    BOOL update = 0;
    if (ApiOk(raNeedUpdate(&update)))
        OnClockTick();
}

int CIOP::CheckEnclosure()
{
    if (SelectAdapter(m_AdapterID))
        TickChildren(TYPE_ENCLOSURE_CHANNEL);
    return 1;
}

bool CIOP::UpdateBatteryField(uint16_t& field, uint16_t value, const char* property, bool chargeText)
{
    if (field == value)
        return false;
    field = value;
    const unsigned volatileRead = DT_P_READ | DT_P_VOLATILE;
    if (chargeText)
        SetPropertyString(property, volatileRead, "%s", ChargeStatusText(value));
    else
        SetPropertyInt(property, volatileRead, value);
    return true;
}

int CIOP::CheckBattery()
{
    if (!ReopenAdapter(m_AdapterID))
        return 0;
    bool changed = false;
    if (BatteryPresent())
    {
        tagBATTERYREADING reading = m_Battery;
        ReadBattery(m_AdapterID, reading);
        changed |= UpdateBatteryField(m_Battery.m_iTemperature, reading.m_iTemperature, "BatteryTemperature");
        changed |= UpdateBatteryField(m_Battery.m_iVoltage, reading.m_iVoltage, "BatteryVoltage");
        changed |= UpdateBatteryField(m_Battery.m_iChargeStatus, reading.m_iChargeStatus, "BatteryChargeStatus",
                                      true);
        changed |= UpdateBatteryField(m_Battery.m_iChargeCycle, reading.m_iChargeCycle, "BatteryChargeCycle");
    }
    // The battery object shows the same readings as the adapter.
    CBatteryChannel* battery = dynamic_cast<CBatteryChannel*>(FindDevice(kBatteryIndex, TYPE_BATTERY_CHANNEL));
    if (changed && battery)
        battery->Publish(m_Battery);
    if (!changed && ++m_nBatteryPolls < kNoticeEveryPolls)
        return 0;
    m_nBatteryPolls = 1;
    IssueNotification(NOTICE_CHANGED);
    return 1;
}
