#pragma once

// Where halsend stands in one folder's event log on an agent, so that the
// events it counts are each counted once however often it reads and
// reconnects. The log is read oldest first with ReadEvent from the last
// record taken. The agent gives back that record's position, except when
// the read reached the newest record, where it gives 0; the position is
// then worked out from the sizes of the records read, which the log's
// layout fixes.

#include <string>
#include <vector>

namespace halsend
{
struct EventRecord
{
    long id = 0;
    long time = 0;
    long severity = 0;
    std::string title;
    std::string detail;
};

// "id@time@severity@title@detail"; false when the numbers are missing.
bool ParseEventText(const std::string& text, EventRecord& out);
// Bytes the record takes in the log: seven words and the two texts.
unsigned long RecordSize(const EventRecord& record);
// "Error", "Warning", "Information" or "Unknown".
const char* SeverityText(long severity);

class EventCursor
{
public:
    enum Outcome
    {
        // Events taken; more may wait when as many came as were asked.
        kTaken,
        // The log was made anew since the last read: read again from its
        // start.
        kRestart,
        // The folder keeps no log yet.
        kNoLog,
    };

    // The ReadEvent arguments for the next batch of at most `batch`.
    std::string Arguments(int batch) const;
    // Takes the data lines that answered the read; the new events go to
    // `fresh`, oldest first.
    Outcome Take(const std::vector<std::string>& lines, std::vector<EventRecord>& fresh);

    unsigned long Position() const { return m_position; }
    unsigned long Magic() const { return m_magic; }

private:
    unsigned long m_position = 0;
    unsigned long m_magic = 0;
    unsigned long m_lastSize = 0;
};

// The lines of a ReadEvent answer: the event texts, and whether the
// closing cursor line came with its position and magic word.
struct ReadEventLines
{
    std::vector<std::string> events;
    bool cursor = false;
    unsigned long position = 0;
    unsigned long magic = 0;
};
ReadEventLines SplitReadEvent(const std::vector<std::string>& lines);
} // namespace halsend
