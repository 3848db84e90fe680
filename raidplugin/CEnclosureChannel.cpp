#include "CEnclosureChannel.h"

#include "CSwapEnclosure.h"
#include "PluginState.h"

#include <cstring>

namespace
{
const int kEnclosureSlots = 4;
const unsigned kBuzzerMask = 80;
const int kNameLength = 24;
} // namespace

int CEnclosureChannel::InitialProperty()
{
    SetPropertyInt("HardwareType", DT_P_READ, 1);
    return 1;
}

int CEnclosureChannel::InitialMethod()
{
    AddMethod("SilentBuzzer", kBuzzerMask);
    AddMethod("TurnOnBuzzer", kBuzzerMask);
    return 1;
}

void CEnclosureChannel::OnClockTick()
{
    if (ReopenAdapter(m_controllerID))
        TickChildren(TYPE_SWAP_ENCLOSURE);
}

STATUS CEnclosureChannel::InvokeDispatch(const char* method, const char*)
{
    const bool on = strcmp(method, "TurnOnBuzzer") == 0;
    if (!on && strcmp(method, "SilentBuzzer") != 0)
        return E_FAIL;
    // Read afresh: the buzzer may have been switched on another path.
    if (!ReopenAdapter(m_controllerID))
        return E_FAIL;
    return SetBuzzer(on);
}

STATUS CEnclosureChannel::SetBuzzer(BOOL on)
{
    if (!ApiOk(raAlarmBuzzerEnabled(reSET, &on)))
        return E_FAIL;
    BOOL state = 0;
    if (ApiOk(raAlarmBuzzerEnabled(reGET, &state)))
    {
        m_BuzzStatus = state != 0;
        SetPropertyInt("BuzzStatus", DT_P_READ | DT_P_VOLATILE, static_cast<int>(m_BuzzStatus));
    }
    IssueNotification(NOTICE_CHANGED);
    return S_OK;
}

bool CEnclosureChannel::ModelAt(int device, raeEnclosureType& type)
{
    // The status names all three models; the plain type query takes the
    // third one for unknown.
    type = raeUnknown;
    rasCorrimontSwap values;
    int size = 0;
    return ApiOk(raGetEnclosureStatus(device, &type, &size, &values));
}

CDevice* CEnclosureChannel::CreateDeviceObject(unsigned long index, unsigned long id, unsigned long)
{
    if (!SelectAdapter(m_controllerID))
        return nullptr;
    const int slot = static_cast<int>(index);
    const int position = static_cast<int>(id);
    raeEnclosureType type = raeUnknown;
    ModelAt(position + 2 * slot, type);
    char buffer[kNameLength];
    const char* name = CSwapEnclosure::NameOf(type, slot, buffer, sizeof buffer);
    if (!name)
        return nullptr;
    if (CDevice* existing = FindDevice(name))
    {
        existing->IssueNotification(NOTICE_CHANGED);
        return existing;
    }
    CSwapEnclosure* enclosure = new CSwapEnclosure(slot, position, type);
    return ListChild(enclosure, enclosure->Create(this, name, id, static_cast<unsigned long>(-1), m_controllerID));
}

void CEnclosureChannel::ScanChannel()
{
    if (!SelectAdapter(m_controllerID))
        return;
    TPtrList<CDevice> found;
    for (int k = 0; k < kEnclosureSlots; ++k)
    {
        raeEnclosureType type = raeUnknown;
        // Unknown is what the status says for a slot that did not answer.
        if (!ModelAt(2 * k, type) || type == raeUnknown)
            KeepSlot(k, found);
        else if (CSwapEnclosure::IsModel(type))
            found.AppendTail(CreateDeviceObject(static_cast<unsigned long>(k), 0, 9));
    }
    InitialProperty();
    // One more than the enclosures listed.
    SetPropertyInt("NumEnclosures", DT_P_READ | DT_P_VOLATILE, found.GetCount() + 1);
    PruneChildren(TYPE_SWAP_ENCLOSURE, found);
}

void CEnclosureChannel::KeepSlot(int slot, TPtrList<CDevice>& found)
{
    // A slot that could not be asked keeps what it had.
    int pos = 1;
    CDrop* drop = nullptr;
    while (CRiver* river = GetNextRiver(pos, drop))
    {
        CSwapEnclosure* enclosure = dynamic_cast<CSwapEnclosure*>(river);
        if (enclosure && enclosure->GetSlot() == slot)
            found.AppendTail(enclosure);
    }
}
