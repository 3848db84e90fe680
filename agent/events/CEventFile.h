#pragma once

#include "CObject.h"
#include "CReadWindow.h"
#include "CString.h"

#include <cstdint>

// One record of an event log file, with the two words around it.
struct tagEventRecord
{
    uint32_t link = 0;
    uint32_t id = 0;
    uint32_t time = 0;
    uint32_t severity = 0;
    CString title;
    CString detail;
    uint32_t next = 0;
};

// One folder's event log file: a 36-byte header, then linked records, then
// the position of the newest record as the file's last word. Appends only
// ever add bytes after the complete part of the file, and readers look only
// at that complete part, so an append cut short by a kill or a full disk
// leaves the log as it was before it. Those complete bytes never change
// while the file is there, so an open log reads them through a window that
// it fills ahead of the reader.
class CEventFile : public CObject
{
public:
    enum
    {
        kHeaderSize = 36,
        kMaxText = 8192
    };

    CEventFile();
    ~CEventFile();
    CEventFile(const CEventFile&) = delete;
    CEventFile& operator=(const CEventFile&) = delete;

    // Opens an existing log; false when there is none, it has no header or
    // its header lost the magic word.
    bool Open(const char* path, bool bWrite);
    void Close();
    // Puts a log holding only its header at `path` in one step; the file is
    // the owner's alone.
    static bool Create(const char* path);

    uint32_t GetMagic() const { return m_nMagic; }
    // Bytes up to the end of the newest complete record's final word.
    uint32_t GetLength() const { return m_nLength; }
    // Position of the newest record, or 0 when there is none.
    uint32_t GetHead();
    // Reads the record at `pos`; false unless it lies whole in the log.
    bool Read(uint32_t pos, tagEventRecord& rec);
    // Takes in the records appended since the log was opened (through
    // another handle); whether there are any. A log replaced or deleted
    // meanwhile stays the one that was opened.
    bool TakeAppends();
    // Adds a record after the newest one; on failure the log is unchanged.
    bool Append(const tagEventRecord& rec);

private:
    // Finds the complete part of a file of `size` bytes.
    void Measure(uint32_t size);
    bool ReadWord(uint32_t offset, uint32_t& value);
    bool ReadText(uint32_t& offset, CString& text);
    // Whether the record at `pos` is whole and its final word ends `length`.
    bool EndsAt(uint32_t pos, uint32_t length);
    // The length of the longest prefix made of whole appends.
    uint32_t FindCompleteLength();
    // The complete length when only the last append was cut short, or 0.
    uint32_t FindCutAppend();
    uint32_t WalkFromFirst();
    bool WriteAll(const char* data, int n, uint32_t offset);

    int m_fd = -1;
    uint32_t m_nFileLength = 0;
    uint32_t m_nLength = 0;
    uint32_t m_nMagic = 0;
    CReadWindow m_Window;
};
