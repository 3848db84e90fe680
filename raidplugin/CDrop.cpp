#include "CDrop.h"

#include "PluginInterfaces.h"

#include <cstring>

bool CDrop::IsValidName(const char* name)
{
    return name && *name && !strchr(name, '@') && !strchr(name, '\\');
}

bool CDrop::Fits(const char* name, const char* value)
{
    // name + "@" + three attribute letters + "@" + value + NUL
    const size_t overhead = 1 + 3 + 1 + 1;
    return strlen(name) + strlen(value) + overhead <= RIVER_TEXT_SIZE;
}

bool CDrop::Init(const char* name, unsigned flags, const char* value)
{
    if (!value)
        value = "";
    if (!IsValidName(name) || !Fits(name, value))
        return false;
    m_Name = name;
    m_iAttr = flags;
    m_Content = value;
    DeriveAttribute();
    return true;
}

bool CDrop::SetContent(const char* value)
{
    if (!value)
        value = "";
    if (!Fits(m_Name, value))
        return false;
    m_Content = value;
    return true;
}

void CDrop::DeriveAttribute()
{
    if (IsObject())
        m_Attribute = "o--";
    else if (IsMethod())
        m_Attribute = "m--";
    else if (m_iAttr & DT_PROPERTY)
    {
        char text[4] = {'p', '-', '-', 0};
        if (m_iAttr & 0x2)
            text[1] = 'r';
        if (m_iAttr & 0x4)
            text[2] = 'w';
        else if (m_iAttr & 0x8)
            text[2] = 'v';
        m_Attribute = text;
    }
}

CString CDrop::GetDirText() const
{
    CString shown = m_Content;
    if (IsObject())
    {
        // An object shows its type number; without "id;type" it shows nothing.
        int split = m_Content.FindIndex(';');
        if (split < 1)
            return CString();
        shown.Mid(split + 1);
    }
    return m_Name + "@" + m_Attribute + "@" + shown;
}
