#pragma once

#include "CString.h"
#include "CVirtualFolder.h"

#include <ctime>

class CEmail;

// The root of the agent's tree, where every connection starts. Besides
// what every folder does it shows the machine's own settings (host name,
// mail settings, poll interval, version), offers the methods that manage
// the mail receivers, the notice lists and the verify schedule, lets a
// connection read the machine's name before it logs on, and paces the
// clock tick of the whole tree.
class CRAIDMachine : public CVirtualFolder
{
public:
    enum
    {
        // Seconds between two walks of the tree, until "PollFrequency"
        // says otherwise.
        kDefaultInterval = 60,
        // "PollFrequency" must be above this.
        kMinInterval = 14,
        // Rights bit a user needs to change the machine's settings.
        kSettingsRight = 64
    };

    CRAIDMachine() = default;
    ~CRAIDMachine() override;

    // Links the root (parent null) and binds the river, when one is given.
    void Init(CVirtualFolder* parent, CFolderOwner* doc, IRiver* river);
    // Adds the machine's own entries, after the entries of its river and
    // its devices; the verify schedule stored in the profile takes effect.
    void AddOwnEntries();

    void OnProcessCommand(CSvrSocket* svr) override;
    int InvokeDispatch(CMessage* message, const char* method, const char* args) override;
    int OnSetProperty(const char* name, const char* value, unsigned rights) override;
    // Walks the tree once the interval has passed, or when the verify
    // schedule is due.
    void OnClockTick() override;
    void OnClockTick(time_t now);
    // The river's listing replaces only the river's entries: the machine's
    // own stay.
    void Refresh() override;

    int GetInterval() const { return m_nInterval; }

private:
    // Sets the machine's entries from what they stand for.
    void ShowEntries();
    // Brings the mail entries up to the settings.
    void ShowMailSettings();
    // Writes the settings of mail to the profile at once, so that a change
    // outlives an agent that is killed; false when a write failed.
    static bool StoreMailSettings(CEmail& mail);
    // Hands value to one setter of the mail settings and keeps them; 805
    // when the setter refuses it, 801 when it cannot be kept.
    static int ChangeMail(bool (CEmail::*setter)(const char*), const char* value);
    int ChangeReceiver(const char* entry, bool add);
    int SendNoticeList(CMessage* message, const char* method, bool email);
    int SetNoticeList(const char* list, bool email);
    int SendVerifySchedule(CMessage* message, const char* method);
    int SetVerifySchedule(const char* text);
    void SendResultLine(CMessage* message, const char* method, const char* text);
    int SetEmailEnable(const char* value);
    int SetSMTPServer(const char* value);
    int SetEmailID(const char* value);
    int SetPollFrequency(const char* value);

    time_t m_tLastTick = 0;
    int m_nInterval = kDefaultInterval;
};
