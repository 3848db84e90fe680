// velcon: the console RAID utility.  No arguments.

#include "KernelLevel.h"
#include "Listing.h"
#include "Menus.h"
#include "Screens.h"
#include "Velcon.h"

#include <cstdio>
#include <cstdlib>

namespace
{
const char kPrintk[] = "/proc/sys/kernel/printk";

void Leave(int status)
{
    dialog_clear();
    end_dialog();
    RestoreKernelMessages();
    exit(status);
}

void ChooseAdapter()
{
    SetAdapterCancelLabel("Cancel");
    CScreenRows rows("Select", "Quit");
    rows.Add("First Adapter", adapter_menu, 0, "%s", "");
    rows.Add("Second Adapter", adapter_menu, 1, "%s", "");
    while (rows.Show("/") == 0)
        continue;
    for (int adapter = 0; adapter < kMaxAdapters; adapter++)
    {
        Initialize(adapter);
        raTerminate(nullptr);
    }
}
} // namespace

int main(int argc, char**)
{
    if (argc > 1)
    {
        fprintf(stderr, "usage: velcon\n");
        return 2;
    }
    CatchEndingSignals();
    SilenceKernelMessages(kPrintk);
    raeStatus status = Initialize(0);
    if (init_dialog() != 0)
    {
        RestoreKernelMessages();
        fprintf(stderr, "velcon: no usable terminal\n");
        return 1;
    }
    if (status != reSOK)
    {
        Message("Initialization failed", raErrorDescription(status));
        Leave(0);
    }
    adanum = GetNumOfAda();
    if (adanum == 1)
    {
        SetAdapterCancelLabel("Quit");
        dialogMenuItem first = {nullptr, nullptr, nullptr, nullptr, 0, 0, 0, 0, 0};
        adapter_menu(&first);
        Initialize(0);
        raTerminate(nullptr);
    }
    else if (adanum == 2)
        ChooseAdapter();
    else
        Message("Initialization failed", raErrorDescription(reSNoAdapter));
    Leave(0);
}
