// dialogdemo [HELPFILE]: shows each dialog of the dialog library and the
// answer it gave, for a person to try and for the screen tests to drive.

#include "dialog.h"

#include <cstdio>
#include <cstring>
#include <sys/select.h>
#include <unistd.h>

namespace
{
const char kTitle[] = "DIALOG DEMO";
const char kHelpLine[] = "Press F1 for help";
const char* g_pHelpFile = nullptr;
char g_szAnswer[256];

void UseHelp(bool on)
{
    use_helpfile(on ? g_pHelpFile : nullptr);
    use_helpline(on ? kHelpLine : nullptr);
}

int Show(const char* text)
{
    UseHelp(false);
    dialog_msgbox("Answer", text, -1, -1, 1);
    return DITEM_REDRAW;
}

// Menu: a list longer than its window, each item leaving the menu.
int g_nChosen;
int Choose(dialogMenuItem* self)
{
    g_nChosen = static_cast<int>(self->data);
    return DITEM_LEAVE_MENU;
}

int MenuDemo(dialogMenuItem*)
{
    static char prompts[12][16];
    dialogMenuItem items[2 + 12] = {{"Pick", nullptr, nullptr, nullptr, 0, 0, 0, 0, 0},
                                    {"Back", nullptr, nullptr, nullptr, 0, 0, 0, 0, 0}};
    for (int i = 0; i < 12; i++)
    {
        snprintf(prompts[i], sizeof(prompts[i]), "Item %d", i + 1);
        items[2 + i] = {prompts[i], i % 2 ? "odd" : "even", nullptr, Choose, i + 1, 0, 0, 0, 0};
    }
    g_nChosen = 0;
    UseHelp(true);
    int answer = dialog_menu(kTitle, "/demo/menu", -1, -1, 5, 12, items);
    snprintf(g_szAnswer, sizeof(g_szAnswer), "menu answer %d, item %d", answer, g_nChosen);
    return Show(g_szAnswer);
}

// Radio list: the mark follows a shared value, as the console's mode list.
long g_nSpending;
int CheckMode(dialogMenuItem* self)
{
    return self->data == g_nSpending;
}
int SpendMode(dialogMenuItem* self)
{
    g_nSpending = self->data;
    return DITEM_REDRAW;
}

int RadioDemo(dialogMenuItem*)
{
    dialogMenuItem items[] = {
        {"OK", nullptr, nullptr, nullptr, 0, 0, 0, 0, 0},
        {"Cancel", nullptr, nullptr, nullptr, 0, 0, 0, 0, 0},
        {"JBOD", "JBOD", CheckMode, SpendMode, 1, 0, 0, 0, 0},
        {"RAID1", "Mirroring", CheckMode, SpendMode, 2, 0, 0, 0, 0},
        {"RAID0", "Striping", CheckMode, SpendMode, 3, 0, 0, 0, 0},
        {"RAID5", "Parity Distributed", CheckMode, SpendMode, 4, 0, 0, 0, 0},
    };
    g_nSpending = 0;
    UseHelp(true);
    int answer = dialog_radiolist("Array mode", "Please select array mode:", -1, -1, -1, 4, items);
    snprintf(g_szAnswer, sizeof(g_szAnswer), "radio answer %d, mode %ld", answer, g_nSpending);
    return Show(g_szAnswer);
}

// Check list: disks kept in the order they were marked.
int g_nOrder[4];
int g_nMarked;
int Position(long disk)
{
    for (int i = 0; i < g_nMarked; i++)
        if (g_nOrder[i] == disk)
            return i;
    return -1;
}
int CheckDisk(dialogMenuItem* self)
{
    self->mark = 'X';
    return Position(self->data) >= 0;
}
int FireDisk(dialogMenuItem* self)
{
    int at = Position(self->data);
    if (at < 0)
        g_nOrder[g_nMarked++] = static_cast<int>(self->data);
    else
    {
        memmove(&g_nOrder[at], &g_nOrder[at + 1], sizeof(int) * (g_nMarked - at - 1));
        g_nMarked--;
    }
    return DITEM_REDRAW;
}

int CheckDemo(dialogMenuItem*)
{
    dialogMenuItem items[] = {
        {"OK", nullptr, nullptr, nullptr, 0, 0, 0, 0, 0},
        {"Cancel", nullptr, nullptr, nullptr, 0, 0, 0, 0, 0},
        {"1:1 DISK-A 1000", nullptr, CheckDisk, FireDisk, 1, 0, 0, 0, 0},
        {"2:3 DISK-B 2000", nullptr, CheckDisk, FireDisk, 2, 0, 0, 0, 0},
        {"3:5 DISK-C 3000", nullptr, CheckDisk, FireDisk, 3, 0, 0, 0, 0},
        {"4:7 DISK-D 4000", nullptr, CheckDisk, FireDisk, 4, 0, 0, 0, 0},
    };
    g_nMarked = 0;
    UseHelp(true);
    int answer = dialog_checklist("Create array", "Select2(or more)disks:", -1, -1, -1, 4, items);
    int n = snprintf(g_szAnswer, sizeof(g_szAnswer), "check answer %d, disks", answer);
    for (int i = 0; i < g_nMarked; i++)
        n += snprintf(g_szAnswer + n, sizeof(g_szAnswer) - n, " %d", g_nOrder[i]);
    return Show(g_szAnswer);
}

int InputDemo(dialogMenuItem*)
{
    // Room for seven characters and the terminator, and a guard after it.
    char field[8 + 8];
    memset(field, '#', sizeof(field));
    strcpy(field, "RAID01");
    UseHelp(true);
    int answer = dialog_inputbox("Array name required", "Enter array name to create:", -1, -1, field, 8);
    bool guard = true;
    for (size_t i = 8; i < sizeof(field); i++)
        guard = guard && field[i] == '#';
    snprintf(g_szAnswer, sizeof(g_szAnswer), "input answer %d, name [%s], guard %s", answer, field,
             guard ? "intact" : "broken");
    return Show(g_szAnswer);
}

int YesNoDemo(dialogMenuItem*)
{
    UseHelp(false);
    int answer = dialog_yesno("Confirmation required", "Do you really want to delete this array: \"RAID1\"?", 6, -1);
    snprintf(g_szAnswer, sizeof(g_szAnswer), "yes/no answer %d", answer);
    return Show(g_szAnswer);
}

// Gauge: a quarter more at each key, as a person would follow a rebuild.
int GaugeDemo(dialogMenuItem*)
{
    for (int percent = 0; percent <= 100; percent += 25)
    {
        dialog_gauge("Rebuilding", "Percent done:(press any key to go on)", 10, 1, 7, 70, percent);
        fd_set in;
        FD_ZERO(&in);
        FD_SET(0, &in);
        if (select(1, &in, nullptr, nullptr, nullptr) <= 0 || getchar() == EOF)
            break;
    }
    return Show("gauge finished");
}

int MessageDemo(dialogMenuItem*)
{
    return Show("Attention:\nYou must reload driver (OS not installed in array) or \nreboot(OS installed in array) to "
                "make change take effect!");
}
} // namespace

int main(int argc, char** argv)
{
    g_pHelpFile = argc > 1 ? argv[1] : nullptr;
    if (init_dialog() != 0)
    {
        fprintf(stderr, "dialogdemo: no terminal\n");
        return 1;
    }
    dialogMenuItem items[] = {
        {"Select", nullptr, nullptr, nullptr, 0, 0, 0, 0, 0},
        {"Quit", nullptr, nullptr, nullptr, 0, 0, 0, 0, 0},
        {"Menu", "a long menu", nullptr, MenuDemo, 0, 0, 0, 0, 0},
        {"Radio", "a radio list", nullptr, RadioDemo, 0, 0, 0, 0, 0},
        {"Check", "a check list", nullptr, CheckDemo, 0, 0, 0, 0, 0},
        {"Input", "an input box", nullptr, InputDemo, 0, 0, 0, 0, 0},
        {"Yes/No", "a question", nullptr, YesNoDemo, 0, 0, 0, 0, 0},
        {"Gauge", "a progress gauge", nullptr, GaugeDemo, 0, 0, 0, 0, 0},
        {"Notice", "a message box", nullptr, MessageDemo, 0, 0, 0, 0, 0},
    };
    int answer;
    do
    {
        UseHelp(true);
        answer = dialog_menu(kTitle, "/demo", -1, -1, -1, 7, items);
    } while (answer == 0);
    dialog_clear();
    end_dialog();
    printf("dialogdemo: left with %d\n", answer);
    return 0;
}
