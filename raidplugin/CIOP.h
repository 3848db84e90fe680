#pragma once

#include "CBatteryChannel.h"
#include "CChannel.h"
#include "CEventLog.h"
#include "CString.h"
#include "Raidapi.h"

#include <cstdint>

class CArray;

// One RAID controller ("MVP%d"): lists its channels and arrays, publishes
// the controller's resources and settings, offers the methods that change
// them, and keeps the controller's events until the agent reads them.
class CIOP : public CChannel, public IEventLog
{
public:
    // Takes its start values from the driver and the profile, with the
    // adapter selected.
    explicit CIOP(unsigned long adapter);

    using CChannel::Create;
    // Names the adapter and creates its channel and array objects.
    int Create(const char* name);
    int InitialProperty() override;
    int InitialMethod() override;
    void OnRefresh() override { CreateChannelObjects(); }
    // The driver reported a change: the tree is brought in step with it.
    void OnClockTick() override;
    STATUS InvokeDispatch(const char* method, const char* args) override;

    // Shared by the river's and the event log's interface tables.
    long AddRef() override { return CChannel::AddRef(); }
    long Release() override { return CChannel::Release(); }
    STATUS QueryInterface(unsigned iid, void** out) override;

    // IEventLog. ClearLog empties this adapter's log and the driver's
    // queue; ReadEventLog hands out one line per call (S_FALSE and no text
    // when none is left): *length comes in as the number of lines asked
    // for (1) and goes out as the line's length.
    STATUS ClearLog() override;
    STATUS ReadEventLog(char** text, unsigned long* length) override;
    STATUS GetNewCount(unsigned long* count) override;
    // Queues the driver's events of this adapter behind the unread ones.
    void LogEvent(const rasEvent* events, int count);

    // Asks the driver whether the configuration changed and, if so, brings
    // the tree in step.
    void PollDriver();
    // Takes the driver's new events and queues each on the adapter it
    // concerns; events that name no adapter go to the first.
    static void CollectEvents();
    int CheckEnclosure();
    // Publishes battery readings that changed; 1 when it sent a notice.
    int CheckBattery();

    unsigned long GetAdapterIndex() const { return m_AdapterID; }

    // The bus utilisation percentage and the driver's channel threshold,
    // on the scale of channels, the adapter's original channel count.
    static int UIToDriver(int percent, int channels);
    static int DriverToUI(int threshold, int channels);

    // Every adapter object, in creation order.
    static TPtrList<CIOP>& AllIOPs();
    static bool HasBattery() { return m_hasBattery; }

protected:
    ~CIOP() override;
    // The adapter's own channels are made by CreateChannelObjects.
    void ScanChannel() override {}

private:
    struct tagMETHOD;
    static const tagMETHOD s_Methods[];

    void ReadStartValues();
    static CIOP* AdapterFor(const rasEvent& event);
    void WriteControllerInfo();
    void CreateChannelObjects();
    CDevice* CreateIDEChannel(unsigned long index);
    CDevice* CreateEnclosureChannel(unsigned long index);
    CDevice* CreateBatteryChannel(unsigned long index);
    bool BatteryPresent();
    void CreateArrayChannel(unsigned long index);
    CDevice* CreateArrayObject(int logical, int position);
    bool UpdateBatteryField(uint16_t& field, uint16_t value, const char* property, bool chargeText = false);

    // Brings the tree in step after a change made through this object.
    void Resync();
    CArray* FindArray(const char* identity);
    // The driver's disk number of the disk object named by identity, or -1.
    int DiskNumberOf(const char* identity);
    STATUS Changed(const char* property, long value);

    STATUS OnCreateArray(const char* args);
    STATUS OnDeleteArray(const char* args);
    STATUS OnConvArray(const char* args);
    STATUS OnSetCachePolicy(const char* args);
    STATUS OnSetSmart(const char* args);
    STATUS OnSetPCIBus(const char* args);
    STATUS OnSetDisableHotSpare(const char* args);
    STATUS OnSetMaintenanceRate(const char* args);
    STATUS OnSetReadThreshold(const char* args);
    STATUS OnSetWriteThreshold(const char* args);
    STATUS OnSetSubmitChannelThreshold(const char* args);
    STATUS OnSetWriteMode(const char* args);
    STATUS OnTurnOnBuzzer(const char* args);
    STATUS OnSilentBuzzer(const char* args);
    STATUS SetBuzzer(BOOL on);
    // A setting that takes effect at the next start: kept in the profile.
    STATUS SetRestartSetting(const char* args, const char* key, bool& field, const char* property);
    STATUS SetThreshold(raeStatus (*call)(raeAction, ULONG*), const char* args, unsigned long& field,
                        const char* property);

    int m_iChannel = 0;
    int m_iEnclosure = 0;
    unsigned long m_IDArrayChannel = static_cast<unsigned long>(-1);
    unsigned long m_AdapterID;
    int m_bOriginalChannelCount = 0;
    int m_iChannelThresholdDriver = 0;
    int m_iChannelThresholdUI = 0;
    bool m_bEnableSmart = false;
    bool m_bEnableDiskCache = false;
    bool m_bDisableHotSpare = false;
    int m_iMaintenanceLength = 0;
    bool m_reboot = false;
    unsigned long m_ulReadThreshold = 0;
    unsigned long m_ulWriteThreshold = 0;
    unsigned long m_ulSubmitChannelThreshold = 0;
    unsigned long m_ulWriteMode = static_cast<unsigned long>(-1);
    tagBATTERYREADING m_Battery{0, 0, 0, 0};
    int m_nBatteryPolls = 0;
    CEventLog m_EventLog;

    static bool m_hasBattery;
};
