#pragma once

#include "CObject.h"
#include "CProfile.h"
#include "CString.h"
#include "TPtrList.h"

class CSocket;

// The mail settings (SMTP server, sender identity, receivers, enable flag),
// shared by every CEmail object: loaded from the profile when the first
// object is made and written back when the last one goes. A setting whose
// entry was too long to be read whole is left in the profile as it stands
// until it is set anew; while that holds for a receiver, the receivers
// cannot be changed. The setters refuse what the profile cannot keep, so
// that nothing is taken that would be lost on the way. An object sends
// one message through a plain SMTP dialogue on port 25.
//
// Connecting and every reply have a time limit, and so has the dialogue as
// a whole, because the agent's loop waits while a mail is sent.
class CEmail : public CObject
{
public:
    enum
    {
        kSmtpPort = 25,
        // Longest wait for the connection or for one reply.
        kStepSeconds = 5,
        // Longest wait for a whole dialogue.
        kDialogueSeconds = 20
    };

    CEmail();
    virtual ~CEmail();
    CEmail(const CEmail&) = delete;
    CEmail& operator=(const CEmail&) = delete;

    void InitSetting();
    // False when a setting could not be written.
    bool SaveSetting();

    bool SetSMTPServer(const char* server);
    bool GetSMTPServer(CString& out) const;
    bool SetEmailID(const char* id);
    bool GetEmailID(CString& out) const;
    void SetEnable(int nEnable);
    int GetEnable() const;
    // 1-based position of the receiver equal to `entry`, or 0.
    int FindUser(const char* entry) const;
    // Whether `entry` could be kept as a further receiver.
    bool CanAddReceiver(const char* entry) const;
    bool AddReceiver(const char* entry);
    bool RemoveReceiver(const char* entry);
    // The receivers joined by ",".
    bool ToString(CString& out) const;
    // Rewrites an entry `name <address>` as `"name" <address>`; false when
    // it is not a sound address entry.
    static bool NormalizeProfile(CString& entry);

    // One step of the dialogue: sends `text` (and "\r\n" when bit 0 of
    // `flags` is set) and, with `reply` given, waits for the answer; the
    // answer's code, 250 without a reply, 0 when the step failed.
    int Send(CSocket* socket, const char* text, CString* reply, unsigned long flags);
    // Mails `body` under `subject` to every receiver; false, with the reason
    // in `error`, when the mail could not be handed over.
    bool SendMessage(const char* subject, const char* body, CString& error);

    // The host name that greets the mail server and completes a bare
    // sender address; the document hands it over once it has read it.
    static void SetHostName(const CString& strHostName);

    // The name the agent signs its mails with.
    CString m_strSender;

    static CString m_EmailID;
    static CString m_SMTPServer;
    static TPtrList<CString> m_UserList;
    static int m_nEnable;
    static bool m_bInited;
    static int m_iRef;

private:
    // Settings whose entries could not be read whole.
    enum
    {
        kUnreadServer = 1,
        kUnreadID = 2,
        kUnreadReceivers = 4,
        kUnreadEnable = 8
    };
    static void NoteUnread(CProfile::EntryState state, unsigned setting);
    static void ReadReceivers(CProfile& profile);
    static bool WriteText(CProfile& profile, const char* key, const char* value, unsigned setting);
    static bool WriteReceivers(CProfile& profile);
    static CString ReceiverKey(int i);

    static unsigned m_nUnread;
    // The last receiver key known to hold a receiver.
    static int m_nLastReceiverKey;

    // Kept in a function so that it exists whenever the document, itself
    // built before main, hands the name over.
    static CString& HostName();
    enum Outcome
    {
        kAccepted,
        kRefused,
        kBroken
    };

    // Sends one command and compares the answer's code with `expected`.
    Outcome Step(CSocket* socket, const char* command, int expected);
    bool Converse(CSocket* socket, const char* subject, const char* body);
    void SendHeaders(CSocket* socket, const char* subject);
    bool SendAll(CSocket* socket, const char* text);
    bool Receive(CSocket* socket, CString& reply);
    // Milliseconds left of the dialogue's time, at most one step's.
    long long TimeLeft() const;
    // Bounds the next wait of `socket` by what is left of the time.
    bool LimitWait(CSocket* socket, int option);
    void Break(const char* reason);
    CString SenderAddress() const;

    long long m_nDeadlineMs = 0;
    bool m_bBroken = false;
    CString m_strReply;
    CString m_strFault;
};

// Keeps only the address between the first "<" and the next ">"; empty and
// false when either is missing.
bool EmailFromUserProfile(CString& text);
