// Costs of the RAID plug-in on the simulated controller: building the tree,
// one timer tick on a quiet controller, on one that queued a driver batch of
// events (read back through the adapter's event log) and on one whose array
// changes at every tick, and a full walk of the tree as a management server's listing
// makes it (dir and cd on every object).
//
//   tools/sandbox --sim two-adapters -- build/bench/plugin_tick_bench [ticks]

#include "PluginInterfaces.h"
#include "SimBench.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace
{
using simbench::Measure;

IRiver* Child(IRiver* river, const char* name)
{
    IUnknown* unknown = nullptr;
    IRiver* child = nullptr;
    if (river->cd(name, &unknown) == S_OK)
    {
        unknown->QueryInterface(IID_IRiver, reinterpret_cast<void**>(&child));
        unknown->Release();
    }
    return child;
}

// Lists every drop of the tree below river; the number of objects walked.
int Walk(IRiver* river)
{
    IUnknown* unknown = nullptr;
    IEnumString* drops = nullptr;
    river->dir(&unknown);
    unknown->QueryInterface(IID_IEnumString, reinterpret_cast<void**>(&drops));
    unknown->Release();
    char buffer[RIVER_TEXT_SIZE];
    char* buffers[1] = {buffer};
    unsigned long fetched = 0;
    int objects = 1;
    while (drops->Next(1, buffers, &fetched) == S_OK)
    {
        std::string text = buffer;
        if (text.find("@o--@") == std::string::npos)
            continue;
        IRiver* child = Child(river, text.substr(0, text.find('@')).c_str());
        if (child)
        {
            objects += Walk(child);
            child->Release();
        }
    }
    drops->Release();
    return objects;
}

// Reads and frees every new line of an adapter's event log; their number.
int ReadLog(IRiver* adapter)
{
    IEventLog* log = nullptr;
    if (adapter->QueryInterface(IID_IEventLog, reinterpret_cast<void**>(&log)) != S_OK)
        return 0;
    unsigned long count = 0;
    log->GetNewCount(&count);
    for (unsigned long i = 0; i < count; ++i)
    {
        char* text = nullptr;
        unsigned long length = 1;
        log->ReadEventLog(&text, &length);
        delete[] text;
    }
    log->Release();
    return static_cast<int>(count);
}
} // namespace

int main(int argc, char** argv)
{
    int ticks = argc > 1 ? atoi(argv[1]) : 200;
    if (ticks <= 0 || !zelsim::UpdateState([](zelsim::SimState& s) { s.rate = 0; }))
    {
        fprintf(stderr, "plugin_tick_bench: no simulator (run it in tools/sandbox --sim two-adapters)\n");
        return 1;
    }
    void* library = dlopen(MVRAID_PATH, RTLD_NOW);
    if (!library)
    {
        fprintf(stderr, "plugin_tick_bench: %s\n", dlerror());
        return 1;
    }
    auto create = reinterpret_cast<PFNCREATEINSTANCE>(dlsym(library, "CreateInstance"));
    auto tick = reinterpret_cast<PFNMVRAIDTIMERPROC>(dlsym(library, "MVRaid_TimerProc"));
    IRiver* root = nullptr;
    Measure("building the tree", 1, [&] { return create(IID_IRiver, reinterpret_cast<void**>(&root)) == S_OK; });
    int objects = Walk(root);
    Measure("tick, quiet controller", ticks, [&] { return tick() == S_OK; });
    IRiver* adapter = Child(root, "MVP1");
    int lines = 0;
    if (adapter)
        Measure("tick with 20 events, and their read", ticks,
                [&]
                {
                    zelsim::UpdateState(
                        [](zelsim::SimState& s)
                        {
                            for (uint32_t i = 0; i < 20; ++i)
                                zelsim::QueueEvent(s, zelsim::EV_SYNC_ABORT, zelsim::kError, {0, i});
                        });
                    const bool ticked = tick() == S_OK;
                    lines += ReadLog(adapter);
                    return ticked;
                });
    if (lines != 20 * ticks)
        fprintf(stderr, "plugin_tick_bench: %d event lines read instead of %d\n", lines, 20 * ticks);
    IRiver* array = adapter ? Child(adapter, "System") : nullptr;
    if (!array || array->invoke("SyncArray", "512") != S_OK)
    {
        fprintf(stderr, "plugin_tick_bench: no array to check (use the two-adapters preset)\n");
        return 1;
    }
    // One percent a tick, so the check is still running at the last one.
    Measure("tick, an array progressing 1%", 90,
            [&]
            {
                zelsim::UpdateState([](zelsim::SimState& s) { zelsim::Step(s, 1000); });
                return tick() == S_OK;
            });
    char title[64];
    snprintf(title, sizeof title, "full tree walk (%d objects)", objects);
    Measure(title, ticks, [&] { return Walk(root) == objects; });
    array->Release();
    adapter->Release();
    root->Release();
    dlclose(library);
    return 0;
}
