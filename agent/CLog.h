#pragma once

#include <cstdio>

class CMessage;

// The agent's diagnostic output. Ordinary messages go to standard output
// and, as a copy, into the misc log; urgent ones go to standard error.
class CLog
{
public:
    // Longest formatted message; longer ones are cut.
    enum
    {
        kMaxInfo = 263
    };

    static void ShowInfo(const char* text);
    // A debug-mode trace line; prints nothing unless the debug switch is on.
    static void ShowMessage(const char* label);
    // The same with a packet's command word, kind word and body after it.
    static void ShowMessage(const char* label, const CMessage* pMsg);
    static void DumpMemory(const void* p, int n);

    // Picks the next misc log of the rotation kept in the profile and opens
    // it afresh; without it the agent prints to standard output only.
    static void OpenLogfile();
    static void CloseLogfile();
    static void FlushLog();

    static FILE* m_fpMiscLog;

private:
    static int NextLogNumber();
};

void ShowInfo(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void UrgentInfo(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
