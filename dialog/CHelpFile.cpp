#include "CHelpFile.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{
const int kKeySize = 128;
const int kChunk = 4096;

// The line after p (or the end).
const char* NextLine(const char* p, const char* end)
{
    const char* newline = static_cast<const char*>(memchr(p, '\n', end - p));
    return newline ? newline + 1 : end;
}

bool IsHeader(const char* p, const char* lineEnd)
{
    while (lineEnd > p && (lineEnd[-1] == '\n' || lineEnd[-1] == '\r'))
        lineEnd--;
    return lineEnd - p >= 2 && p[0] == '[' && lineEnd[-1] == ']';
}

bool IsHeaderOf(const char* p, const char* lineEnd, const char* name)
{
    size_t n = strlen(name);
    return IsHeader(p, lineEnd) && static_cast<size_t>(lineEnd - p) >= n + 2 && memcmp(p + 1, name, n) == 0 &&
           p[n + 1] == ']';
}
} // namespace

CHelpFile::~CHelpFile()
{
    free(m_pText);
}

bool CHelpFile::Load(const char* path)
{
    FILE* f = path ? fopen(path, "r") : nullptr;
    if (!f)
        return false;
    char* text = nullptr;
    size_t length = 0;
    size_t got = kChunk;
    // Lengths are counted in an int; a larger file is no help file, and
    // one that cannot be held whole is not shown in part.
    bool ok = true;
    while (ok && got == kChunk)
    {
        char* grown = length <= static_cast<size_t>(INT_MAX - kChunk)
                          ? static_cast<char*>(realloc(text, length + kChunk))
                          : nullptr;
        ok = grown != nullptr;
        if (ok)
        {
            text = grown;
            got = fread(text + length, 1, kChunk, f);
            length += got;
        }
    }
    ok = ok && !ferror(f);
    fclose(f);
    if (ok)
        SetText(text, static_cast<int>(length));
    free(text);
    return ok;
}

void CHelpFile::SetText(const char* text, int length)
{
    free(m_pText);
    m_pText = static_cast<char*>(malloc(length + 1));
    m_nLength = m_pText ? length : 0;
    if (m_pText)
    {
        memcpy(m_pText, text, length);
        m_pText[length] = '\0';
    }
}

void CHelpFile::MakeKey(const char* prompt, char* key, int size)
{
    int n = 0;
    for (const char* p = prompt ? prompt : ""; *p && n < size - 1; p++)
    {
        if (isdigit(static_cast<unsigned char>(*p)))
        {
            if (n == 0 || key[n - 1] != '#')
                key[n++] = '#';
        }
        else
            key[n++] = *p;
    }
    if (size > 0)
        key[n] = '\0';
}

bool CHelpFile::FindSection(const char* name, const char** start, int* length) const
{
    const char* end = m_pText + m_nLength;
    for (const char* p = m_pText; p < end; p = NextLine(p, end))
    {
        if (!IsHeaderOf(p, NextLine(p, end), name))
            continue;
        const char* body = NextLine(p, end);
        const char* q = body;
        while (q < end && !IsHeader(q, NextLine(q, end)))
            q = NextLine(q, end);
        *start = body;
        *length = static_cast<int>(q - body);
        return true;
    }
    return false;
}

void CHelpFile::Find(const char* prompt, const char** start, int* length) const
{
    char key[kKeySize];
    MakeKey(prompt, key, sizeof(key));
    *start = m_pText ? m_pText : "";
    *length = m_nLength;
    if (m_pText && !FindSection(key, start, length))
        FindSection("*", start, length);
}
