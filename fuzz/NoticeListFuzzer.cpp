// Feeds arbitrary text to the notice list check, as a management server
// sets the e-mail and report lists, and checks that a list is taken whole
// or not at all: a valid list names known ids only and as many as it
// counts, the document stores exactly the valid ones, and an event is
// mailed or pushed exactly when its id is on the stored list.

#include "CAgentDoc.h"
#include "CLog.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace
{
// What the lists hold before each input, so that a refused list shows by
// leaving it in place.
const char kKept[] = "1@512";

void Fail(const char* what, const std::string& text)
{
    fprintf(stderr, "notice list fuzz: %s for \"%s\"\n", what, text.c_str());
    abort();
}

bool Listed(unsigned long id, const unsigned long* ids, unsigned long count)
{
    for (unsigned long i = 0; i < count; ++i)
    {
        if (ids[i] == id)
            return true;
    }
    return false;
}

void CheckParsed(const std::string& text, bool valid, unsigned long count, const unsigned long* ids)
{
    if (!valid && (ids || count))
        Fail("a refused list gave ids", text);
    if (valid && (count > CLog::kNumEventIDs || (count == 0) != (ids == nullptr)))
        Fail("a valid list has a count out of bounds", text);
    for (unsigned long i = 0; valid && i < count; ++i)
    {
        if (!Listed(ids[i], CLog::EventIDs, CLog::kNumEventIDs))
            Fail("a valid list names an unknown id", text);
    }
}

// Sets `text` as one of the two lists over the kept one and checks what
// is stored afterwards.
void StoreAndRead(bool email, const std::string& text, bool valid)
{
    if (email ? !g_AgentDoc.SetEmailNoticeList(kKept) : !g_AgentDoc.SetReportNoticeList(kKept))
        Fail("the kept list is refused", kKept);
    const bool taken = email ? g_AgentDoc.SetEmailNoticeList(text.c_str()) : g_AgentDoc.SetReportNoticeList(text.c_str());
    if (taken != valid)
        Fail(valid ? "the document refuses a valid list" : "the document takes an invalid list", text);
    CString stored;
    if (email)
        g_AgentDoc.GetEmailNoticeList(stored);
    else
        g_AgentDoc.GetReportNoticeList(stored);
    if (stored != (valid ? text.c_str() : kKept))
        Fail("the stored list is not the one set", text);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    // A list is a C string; the profile holds one line of it.
    std::string text(reinterpret_cast<const char*>(data), size);
    text = text.substr(0, text.find_first_of(std::string("\0\r\n", 3)));
    unsigned long count = 0;
    unsigned long* ids = nullptr;
    const bool valid = CLog::strListSyntax(text.c_str(), count, ids);
    CheckParsed(text, valid, count, ids);

    StoreAndRead(true, text, valid);
    StoreAndRead(false, text, valid);
    for (unsigned long i = 0; i < CLog::kNumEventIDs; ++i)
    {
        const unsigned long id = CLog::EventIDs[i];
        const std::string event = std::to_string(id) + "@1700000000@1@Title@Detail";
        CLog log(&g_AgentDoc, nullptr, event.c_str());
        const bool listed = valid ? Listed(id, ids, count) : id == 512;
        if (log.NeedEmailReport() != listed)
            Fail("an event is mailed against the list", text);
        if (log.NeedConsoleReport() != listed)
            Fail("an event is pushed against the list", text);
    }
    delete[] ids;
    return 0;
}
