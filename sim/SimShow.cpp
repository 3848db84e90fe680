#include "SimShow.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <sstream>

namespace zelsim
{
namespace
{
const char* const kActivities[] = {"idle",           "engine-rebuild", "rebuild",     "sync",      "expand",
                                   "rebuild-paused", "expand-paused",  "sync-paused", "raid5-init"};

std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

std::string Format(const char* fmt, ...)
{
    char text[512];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(text, sizeof(text), fmt, ap);
    va_end(ap);
    return text;
}

std::string ModelText(const _IDENTIFY_DATA2& id)
{
    char text[MODEL_LENGTH + 1];
    for (int i = 0; i < MODEL_LENGTH; i += 2)
    {
        text[i] = static_cast<char>(id.model[i + 1]);
        text[i + 1] = static_cast<char>(id.model[i]);
    }
    // Like the library, keep at most 39 characters and no trailing blanks.
    text[MODEL_LENGTH - 1] = '\0';
    std::string model(text);
    return model.substr(0, model.find_last_not_of(' ') + 1);
}

int ArrayOfDisk(const SimState& s, int disk)
{
    for (int g = 0; g < MAX_ARRAYS; g++)
    {
        const array& a = s.arrays[g];
        if (a.blFlag & ARRAY_DEFINED)
            for (int i = 0; i < a.bWidth && i < MAX_MEMBERS; i++)
                if (a.Strm[i].bIndex == disk && (a.Strm[i].blFlag & STRM_VALID))
                    return g;
    }
    return -1;
}

std::string Escaped(const char* data, size_t n)
{
    std::string text;
    for (size_t i = 0; i < n; i++)
        text += data[i] == '\0' ? std::string("\\0") : std::string(1, data[i]);
    return text;
}
} // namespace

std::string AdapterLine(int adapter, uint32_t channels, uint32_t irq, uint32_t slot)
{
    return Format("adapter %d: channels %u, irq %u, slot %u\n", adapter, channels, irq, slot);
}

std::string DiskLine(int adapter, int position, const std::string& model, uint32_t sectors, const char* state,
                     int array, bool needsRebuild)
{
    std::string line = Format("disk %d.%d: \"%s\", %u sectors, %s", adapter, position, model.c_str(), sectors, state);
    if (array >= 0)
        line += Format(" of array %d", array);
    if (needsRebuild)
        line += ", needs rebuild";
    return line + "\n";
}

std::string ArrayLine(int g, const std::string& name, int raidType, uint32_t sectors, int stripe,
                      const char* state, const std::vector<int>& members, int activity, int percent)
{
    std::string line = Format("array %d: \"%s\", %s, %u sectors, stripe %d, %s, members", g, name.c_str(),
                              LayoutName(raidType), sectors, stripe, state);
    for (int m : members)
        line += Format(" %d", m);
    const char* act = activity >= 0 && activity <= AS_RAID5_INIT ? kActivities[activity] : "unknown";
    return line + Format(", %s %d%%\n", act, activity ? percent : 0);
}

const char* LayoutName(int raidType)
{
    static const char* const names[] = {"stripe", "mirror", "stripe-mirror", "span",
                                        "parity", "distributed-parity", "jbod"};
    return raidType >= 0 && raidType <= 6 ? names[raidType] : "unknown";
}

int RaidTypeOf(int blRAID, int width)
{
    switch (blRAID)
    {
    case RAID_STRIPING:
        return 0;
    case RAID_MIRRORING:
        return width < 4 ? 1 : 2;
    case RAID_SPANNING:
        return 3;
    case RAID_PARITY:
        return 4;
    case RAID_DISTRIBUTED_PARITY:
        return 5;
    case RAID_JBOD:
        return 6;
    default:
        return -1;
    }
}

const char* DiskState(uint8_t blFlag)
{
    uint8_t f = blFlag & (BLK_PRESENT | BLK_USABLE | BLK_MEMBER);
    if (f == (BLK_PRESENT | BLK_USABLE))
        return "free";
    if (f == (BLK_PRESENT | BLK_USABLE | BLK_MEMBER))
        return "member";
    return "unusable";
}

const char* ArrayState(uint8_t blFlag)
{
    if ((blFlag & ARRAY_ONLINE) != ARRAY_ONLINE)
        return "offline";
    return blFlag & ARRAY_DEGRADED ? "critical" : "online";
}

std::string ShowHardware(const SimState& s)
{
    std::string text;
    for (uint32_t a = 0; a < s.numAdapters && a < MAX_ADAPTERS; a++)
    {
        const _HW_ADAPTER_EXTENSION& e = s.adapters[a].ext;
        text += AdapterLine(a, e.NumberChannels, e.InterruptLine, e.lSlotNum);
    }
    for (int d = 0; d < MAX_DISKS; d++)
    {
        const block& b = s.blocks[d];
        int a = d / DISKS_PER_ADAPTER;
        int p = d % DISKS_PER_ADAPTER;
        if (!(b.blFlag & BLK_PRESENT) || a >= static_cast<int>(s.numAdapters))
            continue;
        text += DiskLine(a, p, ModelText(s.adapters[a].ext.IdentifyData[p]), b.wSize, DiskState(b.blFlag),
                         ArrayOfDisk(s, d), b.blFlag & BLK_NEEDS_REBUILD);
    }
    for (int g = 0; g < MAX_ARRAYS; g++)
    {
        const array& a = s.arrays[g];
        if (!(a.blFlag & ARRAY_DEFINED))
            continue;
        std::vector<int> members;
        for (const strm& m : a.Strm)
            if ((m.blFlag & (STRM_VALID | STRM_ONLINE)) == (STRM_VALID | STRM_ONLINE))
                members.push_back(m.bIndex);
        char name[ARRAY_NAME_LENGTH];
        memcpy(name, a.Name, sizeof(name));
        name[sizeof(name) - 1] = '\0';
        uint32_t sectors = static_cast<uint32_t>(a.hCyl + 1) * (a.bHd + 1) * a.bSctr;
        text += ArrayLine(g, name, RaidTypeOf(a.blRAID, a.bWidth), sectors, a.hStripeBlockSize, ArrayState(a.blFlag),
                          members, static_cast<uint8_t>(s.status[g].status), s.status[g].percentage);
    }
    return text;
}

std::string ShowState(const SimState& s)
{
    std::ostringstream out;
    uint32_t v = s.driverVersion;
    out << Format("driver %s, major %d, version %u.%u.%u (\"%s\", \"%s\")\n",
                  s.driverLoaded ? "loaded" : "absent", s.major, v & 0xFFFF, (v >> 16) & 0xFF, v >> 24,
                  s.versionText, s.timestampText);
    out << Format("node %s, mode %o, device %llu%s\n", s.nodeExists ? "made" : "absent", s.nodeMode,
                  static_cast<unsigned long long>(s.nodeDev), s.nodeRefused ? ", refusing every open" : "");
    for (const SideNode& n : s.sideNodes)
        if (n.exists)
            out << Format("node beside it %s, mode %o, device %llu\n", n.name, n.mode,
                          static_cast<unsigned long long>(n.dev));
    const Settings& t = s.settings;
    out << Format("settings: write cache %u, hot spares %u, hot swap %u, buzzer %u, smart check %u, write mode %u\n",
                  t.writeCache, t.hotSpares, t.hotSwap, t.buzzer, t.smartCheck, t.writeMode);
    out << Format("thresholds: channel %u, original channels %u, maintenance length %u, read %u, write %u, "
                  "submit %u\n",
                  t.channelThreshold, t.originalChannelCount, t.maintenanceLength, t.readThreshold,
                  t.writeThreshold, t.submitThreshold);
    out << Format("rate %u.%03u%%/s, busy %u\n", s.rate / 1000, s.rate % 1000, s.busy);
    out << ShowHardware(s);
    for (uint32_t a = 0; a < s.numAdapters && a < MAX_ADAPTERS; a++)
    {
        const AdapterModel& m = s.adapters[a];
        for (int c = 0; c < CHANNELS_PER_ADAPTER; c++)
        {
            const Enclosure& e = m.enclosure[c];
            if (e.type != 0xFF)
                out << Format("enclosure %u.%d: type %d, caps 0x%x, fan %d, temperature %d, 5v %d, 12v %d, %s\n", a,
                              c, e.type, e.capabilities, e.fan, e.temperature, e.v5, e.v12,
                              e.powered ? "on" : "off");
        }
        const Battery& b = m.battery;
        out << Format("battery %u: module %u, pack %u, status 0x%04x, cycles %u, temperature %u, voltage %u; "
                      "dimm %u MB\n",
                      a, b.module, b.pack, b.chargeStatus, b.cycles, b.temperature, b.voltage, m.dimmSize);
    }
    const Counters& n = s.counters;
    out << Format("requests %u, node opens %u (%u failed), /proc/devices reads %u, mknods %u (%u not as the driver "
                  "wants), node unlinks %u, renames onto the node %u\n",
                  n.ioctls, n.nodeOpens, n.nodeOpenFailures, n.procDevicesOpens, n.mknods, n.badMknods, n.nodeUnlinks,
                  n.nodeRenames);
    out << Format("events queued %u, raised %u, dropped unread %u\n", s.numEvents, s.nextQueueNum - 1,
                  n.droppedEvents);
    for (const Fault& f : s.faults)
        if (f.remaining)
            out << Format("fault 0x%04x: %s, %u more\n", f.code, f.mode == FaultMode::Fail ? "fail" : "garbage",
                          f.remaining);
    return out.str();
}

std::string ShowEvents(const SimState& s)
{
    std::string text;
    for (uint32_t i = 0; i < s.numEvents; i++)
    {
        const logevent& e = s.events[i];
        text += Format("event %u: id 0x%08x, level %u, params", e.QueueNum, e.id, e.WarningLevel);
        for (uint32_t p = 0; p < e.NumOfParams && p < EVENT_PARAMS; p++)
            text += Format(" %u", e.ParamList[p]);
        text += "\n";
    }
    return text;
}

std::string ShowScsi(const SimState& s)
{
    std::string text;
    for (uint32_t i = 0; i < s.numScsi; i++)
        text += Escaped(s.scsi[i].text, s.scsi[i].length) + "\n";
    return text;
}

} // namespace zelsim
