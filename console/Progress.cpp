#include "Progress.h"

#include "Listing.h"
#include "Screens.h"
#include "Texts.h"
#include "Velcon.h"

#include <cerrno>
#include <cstdio>
#include <sys/select.h>
#include <unistd.h>

namespace
{
bool KeyWithin(int seconds)
{
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(0, &ready);
    timeval wait = {seconds, 0};
    if (select(1, &ready, nullptr, nullptr, &wait) <= 0)
        return false;
    char key;
    // The key only ends the watch; a lost terminal (end of input) ends it
    // as well.
    return read(0, &key, 1) >= 0 || errno != EINTR;
}

void TellEnd(const ProgressWatch& watch, bool done, raeArrayFunctionalStatus functional,
             raeArrayActivityStatus activity)
{
    char text[128];
    const char* what = actions[watch.expected - 1];
    if (watch.bScreen)
    {
        char status[40];
        ArrayStatusText(functional, activity, status, sizeof(status));
        snprintf(text, sizeof(text), "adapter%d/array%d %s %s", watch.adapter + 1, watch.array + 1, status,
                 done ? " complete" : "maybe aborted or paused");
        Message(done ? "Success" : "Attention", text);
    }
    else
    {
        snprintf(text, sizeof(text), "adapter%d/array%d %s %s", watch.adapter + 1, watch.array + 1, what,
                 done ? " complete" : " aborted");
        Message(done ? "Success" : "Fail", text);
    }
}
} // namespace

bool FollowProgress(const ProgressWatch& watch)
{
    bool done = false;
    for (;;)
    {
        bool last = KeyWithin(1);
        raeArrayFunctionalStatus functional;
        raeArrayActivityStatus activity;
        int percent = 0;
        if (raGetArrayStatus(watch.array, &functional, &activity, &percent) != reSOK)
        {
            if (watch.bScreen)
            {
                char text[64];
                snprintf(text, sizeof(text), "adapter%d/array%d status error ", watch.adapter + 1, watch.array + 1);
                Message("Error", text);
            }
            return false;
        }
        // An activity may end between two looks without a figure above 98
        // ever shown; an array left healthy and idle has completed it.
        done = done || percent > 98 || (activity == reArrayIdle && functional == reArrayFunctional);
        if (activity != watch.expected)
        {
            TellEnd(watch, done, functional, activity);
            return false;
        }
        use_helpline(nullptr);
        dialog_gauge(actions[watch.expected - 1], watch.prompt, 10, 1, 7, 70, percent);
        if (last)
            return true;
        sleep(1);
    }
}
