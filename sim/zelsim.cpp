// zelsim: sets up and steers the simulated RAID controller of a sandbox.

#include "SimDriver.h"
#include "SimModel.h"
#include "SimProcFiles.h"
#include "SimShow.h"
#include "SimStore.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

using namespace zelsim;

namespace
{
const char kUsage[] =
    "usage: zelsim COMMAND [ARGS]\n"
    "  init PRESET                      new state from a preset (%s)\n"
    "  show | events | scsi             the state, the queued events, the SCSI control writes\n"
    "  fail-disk A P | remove-disk A P  disk at adapter A, position P (channel x 2 + device)\n"
    "  insert-disk A P [MODEL [SECTORS]]\n"
    "  set-smart A P STATUS             0 n/a, 1 ok, 2 failing, 3 unsupported\n"
    "  set-battery A FIELD VALUE        module, pack, status, cycles, temp, voltage\n"
    "  set-fan A CH RPM | set-temp A CH HALFDEGREES\n"
    "  set-power A CH on|off|5v MV|12v MV\n"
    "  set-rate PERCENT                 activity progress per second (0 stops the clock)\n"
    "  step PERCENT                     advance every running activity\n"
    "  mount TEXT                       what /proc/mounts lists\n"
    "  devices TEXT|generated           what /proc/devices lists\n"
    "  driver ok|none|old|low-major|unopenable|major N|version MAJOR.MINOR|adapters N|module-size BYTES\n"
    "                                   (unopenable: listed, but every open of its node is refused)\n"
    "  printk [LEVELS]                  the kernel message levels and what was written to them,\n"
    "                                   or set the levels (\"7 4 1 7\") without recording a write\n"
    "  fault CODE fail|garbage N        the next N requests of CODE (hex) fail or answer noise\n"
    "  busy on|off\n"
    "  set SETTING VALUE                hot-spares, write-cache, hot-swap, buzzer, smart-check\n";

using Args = std::vector<std::string>;

struct Failure
{
    std::string message;
};

long Number(const std::string& text)
{
    char* end = nullptr;
    long v = strtol(text.c_str(), &end, 0);
    if (text.empty() || *end)
        throw Failure{"not a number: " + text};
    return v;
}

uint32_t Thousandths(const std::string& text)
{
    char* end = nullptr;
    double v = strtod(text.c_str(), &end);
    if (text.empty() || *end || v < 0 || v > 1e6)
        throw Failure{"not a rate: " + text};
    return static_cast<uint32_t>(v * 1000 + 0.5);
}

void Need(const Args& a, size_t n)
{
    if (a.size() < n + 1)
        throw Failure{"missing arguments for " + a[0]};
}

void Change(const std::function<bool(SimState&)>& change)
{
    bool ok = true;
    if (!UpdateState([&](SimState& s) { ok = change(s); }))
        throw Failure{"no simulator state at " + StatePath() + " (run zelsim init PRESET)"};
    if (!ok)
        throw Failure{"the simulated hardware refused that"};
}

void Print(const std::function<std::string(const SimState&)>& show)
{
    Change([&](SimState& s) {
        std::cout << show(s);
        return true;
    });
}

void Init(const Args& a)
{
    Need(a, 1);
    auto s = std::make_unique<SimState>();
    if (!InitPreset(*s, a[1]))
        throw Failure{"unknown preset " + a[1] + " (" + PresetNames() + ")"};
    s->clockMs = NowMs();
    if (!WriteState(*s))
        throw Failure{"cannot write " + StatePath()};
}

void DiskCommand(const Args& a)
{
    Need(a, 2);
    int adapter = Number(a[1]);
    int position = Number(a[2]);
    Change([&](SimState& s) {
        if (a[0] == "fail-disk")
            return FailDisk(s, adapter, position);
        if (a[0] == "remove-disk")
            return RemoveDisk(s, adapter, position);
        if (a[0] == "set-smart")
        {
            Need(a, 3);
            return SetSmart(s, adapter, position, static_cast<uint8_t>(Number(a[3])));
        }
        std::string model = a.size() > 3 ? a[3] : "ZELSIM HD-80G";
        uint32_t sectors = a.size() > 4 ? Number(a[4]) : 156301488;
        return InsertDisk(s, adapter, position, model.c_str(), sectors);
    });
}

void Battery(const Args& a)
{
    Need(a, 3);
    int adapter = Number(a[1]);
    long value = Number(a[3]);
    Change([&](SimState& s) {
        if (adapter < 0 || !HasAdapter(s, adapter))
            return false;
        zelsim::Battery& b = s.adapters[adapter].battery;
        const std::string& f = a[2];
        if (f == "module")
            b.module = value;
        else if (f == "pack")
            b.pack = value;
        else if (f == "status")
            b.chargeStatus = static_cast<uint16_t>(value);
        else if (f == "cycles")
            b.cycles = static_cast<uint16_t>(value);
        else if (f == "temp")
            b.temperature = static_cast<uint16_t>(value);
        else if (f == "voltage")
            b.voltage = static_cast<uint16_t>(value);
        else
            return false;
        return true;
    });
}

void Enclosure(const Args& a)
{
    Need(a, 3);
    int adapter = Number(a[1]);
    int channel = Number(a[2]);
    Change([&](SimState& s) {
        if (a[0] == "set-fan")
            return SetFan(s, adapter, channel, Number(a[3]));
        if (a[0] == "set-temp")
            return SetTemperature(s, adapter, channel, Number(a[3]));
        if (a[3] == "on" || a[3] == "off")
            return SetPower(s, adapter, channel, a[3] == "on");
        Need(a, 4);
        if (a[3] != "5v" && a[3] != "12v")
            return false;
        return SetVoltage(s, adapter, channel, a[3] == "12v", Number(a[4]));
    });
}

void Driver(const Args& a)
{
    Need(a, 1);
    Change([&](SimState& s) {
        const std::string& w = a[1];
        if (w == "ok")
        {
            s.driverLoaded = 1;
            s.major = 253;
            s.driverVersion = PackVersion(1, 12, 3);
            s.nodeRefused = 0;
        }
        else if (w == "unopenable")
            s.nodeRefused = 1;
        else if (w == "none")
            s.driverLoaded = 0;
        else if (w == "old")
            s.driverVersion = PackVersion(1, 10, 0);
        else if (w == "low-major")
            s.major = 60;
        else if (w == "major" && a.size() > 2)
            s.major = Number(a[2]);
        else if (w == "module-size" && a.size() > 2 && Number(a[2]) >= 0 && Number(a[2]) <= UINT32_MAX)
            s.moduleSize = Number(a[2]);
        else if (w == "adapters" && a.size() > 2)
            s.numAdapters = Number(a[2]); // more than two: only two answer
        else if (w == "version" && a.size() > 2)
        {
            unsigned major = 0, minor = 0, beta = 0;
            if (sscanf(a[2].c_str(), "%u.%u.%u", &major, &minor, &beta) < 2)
                return false;
            s.driverVersion = PackVersion(major, minor, beta);
        }
        else
            return false;
        return true;
    });
}

void FaultCommand(const Args& a)
{
    Need(a, 3);
    uint32_t code = static_cast<uint32_t>(strtoul(a[1].c_str(), nullptr, 16));
    FaultMode mode = a[2] == "fail" ? FaultMode::Fail : a[2] == "garbage" ? FaultMode::Garbage : FaultMode::None;
    if (mode == FaultMode::None)
        throw Failure{"fault mode must be fail or garbage"};
    uint32_t count = Number(a[3]);
    Change([&](SimState& s) { return SetFault(s, code, mode, count); });
}

void TextCommand(const Args& a)
{
    Need(a, 1);
    Change([&](SimState& s) {
        bool mounts = a[0] == "mount";
        char* dest = mounts ? s.mounts : s.devicesText;
        size_t size = mounts ? sizeof(s.mounts) : sizeof(s.devicesText);
        if (!mounts)
            s.useDevicesText = a[1] != "generated";
        if (a[1].size() >= size)
            return false;
        snprintf(dest, size, "%s", a[1].c_str());
        return true;
    });
}

void Setting(const Args& a)
{
    Need(a, 2);
    uint32_t value = Number(a[2]) != 0;
    Change([&](SimState& s) {
        const std::string& k = a[1];
        uint32_t* field = k == "hot-spares"    ? &s.settings.hotSpares
                          : k == "write-cache" ? &s.settings.writeCache
                          : k == "hot-swap"    ? &s.settings.hotSwap
                          : k == "buzzer"      ? &s.settings.buzzer
                          : k == "smart-check" ? &s.settings.smartCheck
                                               : nullptr;
        if (!field)
            return false;
        *field = value;
        return true;
    });
}

void Run(const Args& a)
{
    const std::string& c = a[0];
    if (c == "init")
        Init(a);
    else if (c == "show")
        Print(ShowState);
    else if (c == "events")
        Print(ShowEvents);
    else if (c == "scsi")
        Print(ShowScsi);
    else if (c == "fail-disk" || c == "remove-disk" || c == "insert-disk" || c == "set-smart")
        DiskCommand(a);
    else if (c == "set-battery")
        Battery(a);
    else if (c == "set-fan" || c == "set-temp" || c == "set-power")
        Enclosure(a);
    else if (c == "set-rate")
    {
        Need(a, 1);
        uint32_t rate = Thousandths(a[1]);
        Change([&](SimState& s) { return s.rate = rate, true; });
    }
    else if (c == "step")
    {
        Need(a, 1);
        uint32_t progress = Thousandths(a[1]);
        Change([&](SimState& s) { return Step(s, progress), true; });
    }
    else if (c == "mount" || c == "devices")
        TextCommand(a);
    else if (c == "driver")
        Driver(a);
    else if (c == "printk" && a.size() == 1)
        Print(ShowPrintk);
    else if (c == "printk")
    {
        std::string levels;
        for (size_t i = 1; i < a.size(); i++)
            levels += a[i] + " ";
        Change([&](SimState& s) { return SetPrintk(s, levels.c_str()); });
    }
    else if (c == "fault")
        FaultCommand(a);
    else if (c == "busy")
    {
        Need(a, 1);
        Change([&](SimState& s) { return s.busy = a[1] == "on", true; });
    }
    else if (c == "set")
        Setting(a);
    else
        throw Failure{"unknown command " + c};
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || !strcmp(argv[1], "-h") || !strcmp(argv[1], "--help"))
    {
        fprintf(argc < 2 ? stderr : stdout, kUsage, PresetNames());
        return argc < 2 ? 2 : 0;
    }
    try
    {
        Run(Args(argv + 1, argv + argc));
    }
    catch (const Failure& f)
    {
        fprintf(stderr, "zelsim: %s\n", f.message.c_str());
        return 1;
    }
    return 0;
}
