#include "CEventFile.h"

#include "CStreamBuf.h"
#include "LittleEndian.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
const char kMaker[] = "Tavrine Technology,Inc.";
const uint32_t kWord = 4;
// Link word, id, time, severity, two text lengths, next word, final word.
const uint32_t kSmallestRecord = 8 * kWord;
const uint32_t kLongestAppend = kSmallestRecord + 2 * CEventFile::kMaxText;

// The last creation time handed out. A log cleared and made anew within the
// same second would otherwise carry the old magic word, and an enumeration
// of the old file would wrongly go on in the new one.
uint32_t nLastMagic = 0;

uint32_t NextMagic()
{
    uint32_t now = static_cast<uint32_t>(time(nullptr));
    nLastMagic = now > nLastMagic ? now : nLastMagic + 1;
    return nLastMagic;
}

uint32_t TextLength(const CString& text)
{
    int n = text.GetLength();
    return static_cast<uint32_t>(n < CEventFile::kMaxText ? n : CEventFile::kMaxText);
}

// Lays out the bytes of one append into a buffer.
class CRecordWriter
{
public:
    CRecordWriter(CStreamBuf& buf) : m_pData(reinterpret_cast<unsigned char*>(buf.GetBuf())) {}
    void Word(uint32_t v)
    {
        PutLE32(m_pData + m_nUsed, v);
        m_nUsed += kWord;
    }
    void Text(const CString& text)
    {
        uint32_t n = TextLength(text);
        Word(n);
        memcpy(m_pData + m_nUsed, text.GetBuffer(), n);
        m_nUsed += n;
    }
    uint32_t Used() const { return m_nUsed; }

private:
    unsigned char* m_pData;
    uint32_t m_nUsed = 0;
};
} // namespace

CEventFile::CEventFile() : m_Window(kLongestAppend) {}

CEventFile::~CEventFile()
{
    Close();
}

bool CEventFile::Open(const char* path, bool bWrite)
{
    Close();
    m_fd = open(path, (bWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    struct stat st;
    if (m_fd < 0 || fstat(m_fd, &st) != 0 || st.st_size < kHeaderSize || st.st_size > UINT32_MAX)
    {
        Close();
        return false;
    }
    m_nLength = static_cast<uint32_t>(st.st_size);
    // Enumerations take a magic word of 0 for a missing log, so a header
    // without one is no log at all.
    if (!ReadWord(kWord, m_nMagic) || m_nMagic == 0)
    {
        Close();
        return false;
    }
    Measure(static_cast<uint32_t>(st.st_size));
    return true;
}

void CEventFile::Measure(uint32_t size)
{
    m_nFileLength = size;
    m_nLength = size;
    m_nLength = FindCompleteLength();
    // What the measure read after the complete part is the next append's
    // to overwrite.
    m_Window.Drop();
}

bool CEventFile::TakeAppends()
{
    struct stat st;
    if (m_fd < 0 || fstat(m_fd, &st) != 0 || st.st_size <= m_nFileLength || st.st_size > UINT32_MAX)
        return false;
    uint32_t before = m_nLength;
    Measure(static_cast<uint32_t>(st.st_size));
    return m_nLength > before;
}

void CEventFile::Close()
{
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
    m_nFileLength = 0;
    m_nLength = 0;
    m_nMagic = 0;
    m_Window.Drop();
}

bool CEventFile::Create(const char* path)
{
    unsigned char header[kHeaderSize] = {};
    PutLE32(header, 1);
    PutLE32(header + kWord, NextMagic());
    memcpy(header + 2 * kWord, kMaker, sizeof kMaker);
    CString temporary(path);
    temporary += ".new";
    int fd = open(temporary, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    fchmod(fd, 0600);
    bool written = write(fd, header, sizeof header) == static_cast<ssize_t>(sizeof header);
    bool closed = close(fd) == 0;
    if (written && closed && rename(temporary, path) == 0)
        return true;
    unlink(temporary);
    return false;
}

uint32_t CEventFile::GetHead()
{
    uint32_t head = 0;
    if (m_nLength <= kHeaderSize || !ReadWord(m_nLength - kWord, head))
        return 0;
    return head;
}

bool CEventFile::ReadWord(uint32_t offset, uint32_t& value)
{
    unsigned char bytes[kWord];
    if (m_fd < 0 || !m_Window.Fetch(m_fd, offset, kWord, m_nLength, bytes))
        return false;
    value = GetLE32(bytes);
    return true;
}

// A stored length outside 1 to kMaxText reads as an empty text and takes
// no bytes, as the writer of the format has always done.
bool CEventFile::ReadText(uint32_t& offset, CString& text)
{
    uint32_t n = 0;
    text.Empty();
    if (!ReadWord(offset, n))
        return false;
    offset += kWord;
    if (n < 1 || n > kMaxText)
        return true;
    char bytes[kMaxText + 1];
    if (!m_Window.Fetch(m_fd, offset, n, m_nLength, bytes))
        return false;
    bytes[n] = '\0';
    text = bytes;
    offset += n;
    return true;
}

bool CEventFile::Read(uint32_t pos, tagEventRecord& rec)
{
    if (pos < kHeaderSize || pos >= m_nLength || m_nLength - pos < kSmallestRecord)
        return false;
    uint32_t offset = pos;
    uint32_t* words[] = {&rec.link, &rec.id, &rec.time, &rec.severity};
    for (uint32_t* word : words)
    {
        if (!ReadWord(offset, *word))
            return false;
        offset += kWord;
    }
    if (!ReadText(offset, rec.title) || !ReadText(offset, rec.detail))
        return false;
    return offset <= m_nLength - 2 * kWord && ReadWord(offset, rec.next);
}

bool CEventFile::EndsAt(uint32_t pos, uint32_t length)
{
    tagEventRecord rec;
    uint32_t saved = m_nLength;
    m_nLength = length;
    bool whole = Read(pos, rec) && rec.next == length - kWord;
    m_nLength = saved;
    uint32_t last = 0;
    return whole && ReadWord(length - kWord, last) && last == pos;
}

// A sound log ends with the position of a record whose next word points at
// that very last word. Otherwise an append was cut short.
uint32_t CEventFile::FindCompleteLength()
{
    if (m_nFileLength < kHeaderSize + kSmallestRecord)
        return kHeaderSize;
    uint32_t head = 0;
    if (ReadWord(m_nFileLength - kWord, head) && EndsAt(head, m_nFileLength))
        return m_nFileLength;
    uint32_t complete = FindCutAppend();
    return complete ? complete : WalkFromFirst();
}

// Every append first cuts off what an earlier one left, so the bytes after
// the complete part are at most one append long. The complete part ends at
// the final word of a record whose next word stands just before it.
uint32_t CEventFile::FindCutAppend()
{
    const uint32_t lowest = kHeaderSize + kSmallestRecord;
    uint32_t low = m_nFileLength > lowest + kLongestAppend ? m_nFileLength - kLongestAppend : lowest;
    uint32_t start = low - 2 * kWord;
    CStreamBuf buf;
    buf.AllocateBuf(static_cast<int>(m_nFileLength - start));
    unsigned char* tail = reinterpret_cast<unsigned char*>(buf.GetBuf());
    if (pread(m_fd, tail, m_nFileLength - start, start) != static_cast<ssize_t>(m_nFileLength - start))
        return 0;
    for (uint32_t end = m_nFileLength - 1; end >= low; --end)
    {
        uint32_t next = GetLE32(tail + end - 2 * kWord - start);
        uint32_t last = GetLE32(tail + end - kWord - start);
        if (next == end - kWord && last >= kHeaderSize && last < next && EndsAt(last, end))
            return end;
    }
    return 0;
}

// The slow way, for a log damaged otherwise: the records are followed from
// the first one for as long as each is whole and linked.
uint32_t CEventFile::WalkFromFirst()
{
    uint32_t complete = kHeaderSize;
    uint32_t pos = kHeaderSize;
    uint32_t previous = 0;
    tagEventRecord rec;
    while (Read(pos, rec) && rec.link == previous && rec.next > pos &&
           EndsAt(pos, rec.next + kWord))
    {
        complete = rec.next + kWord;
        previous = pos;
        pos = rec.next;
    }
    return complete;
}

bool CEventFile::WriteAll(const char* data, int n, uint32_t offset)
{
    while (n > 0)
    {
        ssize_t done = pwrite(m_fd, data, n, offset);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        data += done;
        n -= static_cast<int>(done);
        offset += static_cast<uint32_t>(done);
    }
    return true;
}

// The whole append goes out in one write behind the complete part; only its
// final word makes it part of the log. A write that fails is cut off again.
bool CEventFile::Append(const tagEventRecord& rec)
{
    if (m_fd < 0 || (m_nFileLength > m_nLength && ftruncate(m_fd, m_nLength) != 0))
        return false;
    m_nFileLength = m_nLength;
    bool first = m_nLength <= kHeaderSize;
    const uint32_t header = kHeaderSize;
    uint32_t pos = first ? header : m_nLength - kWord;
    uint32_t start = first ? header : m_nLength;
    CStreamBuf buf;
    buf.AllocateBuf(
        static_cast<int>(kSmallestRecord + TextLength(rec.title) + TextLength(rec.detail)));
    CRecordWriter out(buf);
    if (first)
        out.Word(0);
    out.Word(rec.id);
    out.Word(rec.time);
    out.Word(rec.severity);
    out.Text(rec.title);
    out.Text(rec.detail);
    out.Word(start + out.Used() + kWord);
    out.Word(pos);
    if (!WriteAll(buf.GetBuf(), static_cast<int>(out.Used()), start))
    {
        // A tail that cannot be cut off is still skipped by every reader.
        m_nFileLength = ftruncate(m_fd, m_nLength) == 0 ? m_nLength : UINT32_MAX;
        return false;
    }
    m_nLength = start + out.Used();
    m_nFileLength = m_nLength;
    return true;
}
