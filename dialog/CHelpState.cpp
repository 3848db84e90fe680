#include "CHelpState.h"

#include <cstdlib>
#include <cstring>

namespace
{
char* g_pFile = nullptr;
char* g_pLine = nullptr;
} // namespace

void CHelpState::Replace(char** slot, const char* text)
{
    if (*slot == text)
        return;
    char* copy = text ? strdup(text) : nullptr;
    free(*slot);
    *slot = copy;
}

void CHelpState::SetFile(const char* path)
{
    Replace(&g_pFile, path);
}

void CHelpState::SetLine(const char* line)
{
    Replace(&g_pLine, line);
}

CHelpState::CHelpState()
{
    Replace(&m_pFile, g_pFile);
    Replace(&m_pLine, g_pLine);
}

CHelpState::~CHelpState()
{
    free(m_pFile);
    free(m_pLine);
}

void CHelpState::Restore() const
{
    SetFile(m_pFile);
    SetLine(m_pLine);
}
