// Feeds arbitrary bytes to the RAID API as the driver's answers: the array,
// adapter and disk tables an adapter object holds after reading them, the
// array status and the driver's event records, and decodes every one of
// them as the ra* functions do. The bytes fill, in order, the three table
// counts, the disk table, the array table, the status table, the event
// records and the two adapter records; what the input does not cover stays
// zero. Each decoded text must end within its buffer.

#include "Morliven.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{
// Reads the next bytes of the input into a record.
class Reader
{
public:
    Reader(const unsigned char* data, size_t size) : m_pData(data), m_nLeft(size) {}

    void Fill(void* record, size_t size)
    {
        const size_t n = size < m_nLeft ? size : m_nLeft;
        memset(record, 0, size);
        memcpy(record, m_pData, n);
        m_pData += n;
        m_nLeft -= n;
    }

private:
    const unsigned char* m_pData;
    size_t m_nLeft;
};

void CheckText(const char* text, size_t size, const char* what)
{
    if (memchr(text, '\0', size) == nullptr)
    {
        fprintf(stderr, "driver record fuzz: %s has no end within %zu bytes\n", what, size);
        abort();
    }
}

void DecodeDisks(Morliven& m)
{
    tagDISKBLOCKINFO disk;
    for (ULONG i = 0; i < MAX_DISKS; ++i)
    {
        m.GetDiskBlock(i, &disk);
        CheckText(disk.Name, sizeof disk.Name, "a disk's name");
        CheckText(m.GetDiskBlockString(i), 128, "a disk's line");
    }
    for (ULONG adapter = 0; adapter <= MAX_ADAPTERS; ++adapter)
    {
        for (ULONG channel = 0; channel <= CHANNELS_PER_ADAPTER; ++channel)
        {
            m.GetDiskBlock(channel, 0, &disk, adapter);
            m.GetDiskBlock(channel, 1, &disk, adapter);
            CheckText(disk.Name, sizeof disk.Name, "a disk's name");
        }
    }
}

void DecodeArrays(Morliven& m)
{
    tagARRAYINFO array;
    tagDISKBLOCKINFO disk;
    _tagArrayStatus status;
    int ids[ARRAYS_PER_ADAPTER];
    m.GetArrayId(ids);
    for (ULONG i = 0; i <= ARRAYS_PER_ADAPTER; ++i)
    {
        m.GetArray(i, &array);
        CheckText(array.Name, sizeof array.Name, "an array's name");
        m.GetArrayStatus(i, &status);
        for (ULONG member = 0; member <= MAX_MEMBERS; ++member)
        {
            m.GetDiskBlock(i, member, &disk);
            CheckText(disk.Name, sizeof disk.Name, "a member's name");
        }
    }
}

void DecodeAdapters(Morliven& m)
{
    tagCONTROLLERINFO controller;
    tagCHANNELINFO channel;
    for (ULONG i = 0; i <= MAX_ADAPTERS; ++i)
    {
        m.GetController(i, &controller);
        CheckText(controller.Name, sizeof controller.Name, "an adapter's name");
    }
    for (ULONG i = 0; i <= CHANNELS_PER_ADAPTER; ++i)
    {
        m.GetChannel(i, &channel);
        CheckText(channel.Name, sizeof channel.Name, "a channel's name");
    }
    m.CheckError();
}

void DecodeEvents(Morliven& m, const LOGEVENT* events, size_t count)
{
    for (size_t i = 0; i < count; ++i)
    {
        UINT level = 0, code = 0, aID = 0, dID = 0;
        DWORD eventId = 0;
        // The library's own caller passes a one-byte time stamp.
        char text[EVENT_TEXT_LENGTH], timestamp[1], idString[EVENT_ID_LENGTH];
        m.GetErrorString(&events[i], &level, text, timestamp, &code, &aID, &dID, idString, &eventId);
        CheckText(text, sizeof text, "an event's text");
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    // Made once: its start finds no driver in the sandbox and leaves the
    // tables to be filled here.
    static Morliven* adapters[MAX_ADAPTERS] = {new Morliven(0), new Morliven(1)};
    enum
    {
        kEvents = 20
    };
    static LOGEVENT events[kEvents];
    for (Morliven* m : adapters)
    {
        Reader in(data, size);
        ULONG counts[3];
        in.Fill(counts, sizeof counts);
        m->NumOfArray = counts[0];
        m->NumOfController = counts[1];
        m->NumOfDiskBlock = counts[2];
        in.Fill(m->blkDisk, sizeof m->blkDisk);
        in.Fill(m->ArrayDef, sizeof m->ArrayDef);
        in.Fill(m->m_as, sizeof m->m_as);
        in.Fill(events, sizeof events);
        in.Fill(m->TavrineAdapter, sizeof m->TavrineAdapter);
        m->m_ulFlag = 0;
        DecodeDisks(*m);
        DecodeArrays(*m);
        DecodeAdapters(*m);
        DecodeEvents(*m, events, kEvents);
    }
    return 0;
}
