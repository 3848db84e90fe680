#include "CCommandArgs.h"

#include "CRiver.h"
#include "PluginState.h"

#include <cstring>

CCommandArgs::CCommandArgs(const char* text)
{
    if (!text)
        text = "";
    size_t length = strlen(text);
    m_pText = new char[length + 1];
    memcpy(m_pText, text, length + 1);
    ParseCommandString(m_pText, m_nCount, m_pFields, '@');
}

CCommandArgs::~CCommandArgs()
{
    delete[] m_pFields;
    delete[] m_pText;
}

const char* CCommandArgs::Field(int index) const
{
    return index >= 0 && index < m_nCount ? m_pFields[index] : nullptr;
}

bool CCommandArgs::Number(int index, long& value) const { return ReadNumber(Field(index), value); }
