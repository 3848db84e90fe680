#include "CPea.h"

#include "CLog.h"

CPea& CPea::operator=(const CPea& other)
{
    if (this == &other)
        return *this;
    m_Name = other.m_Name;
    m_Attribute = other.m_Attribute;
    m_Content = other.m_Content;
    m_pParent = other.m_pParent;
    m_pOwner = other.m_pOwner;
    m_nKind = other.m_nKind;
    return *this;
}

bool CPea::Init(CPea* parent, CFolderOwner* doc, IUnknown*)
{
    if (m_pParent || m_pOwner)
        return false;
    m_pParent = parent;
    m_pOwner = doc;
    return true;
}

bool CPea::SetAttribute(const char* attribute)
{
    CString text = attribute;
    if (text.GetLength() != 0 && text.GetLength() != 3)
        return false;
    m_Attribute = text;
    return true;
}

void CPea::ToString(CString& out) const { out = m_Name + "@" + m_Attribute + "@" + m_Content; }

// Walked with the list's cursor, one step a child: a walk by positions
// would count from the head for every child, and filling a folder of
// thousands of entries would take minutes. Nothing else walks the
// children with the cursor.
CPea* CPea::FindPea(const char* name)
{
    for (CPea* child = m_ChildList.GetHead(); child; child = m_ChildList.GetNext())
    {
        if (child->m_Name == name)
            return child;
    }
    return nullptr;
}

STATUS CPea::AddPea(CPea* child)
{
    if (!child || m_ChildList.Find(child))
        return E_INVALIDARG;
    m_ChildList.AppendTail(child);
    return S_OK;
}

STATUS CPea::DelPea(CPea* child)
{
    if (!child)
    {
        m_ChildList.RemoveAll();
        return S_OK;
    }
    int position = m_ChildList.FindIndex(child);
    if (!position)
        return E_INVALIDARG;
    m_ChildList.RemoveAt(position);
    return S_OK;
}

CPea* CPea::GetRoot()
{
    CPea* pea = this;
    while (pea->m_pParent)
        pea = pea->m_pParent;
    return pea;
}

bool CPea::GetBaseRef(CString& out, bool backslash) const
{
    const char* separator = backslash ? "\\" : "/";
    out = "";
    if (IsRoot())
    {
        out = separator;
        return true;
    }
    for (const CPea* pea = this; !pea->IsRoot(); pea = pea->m_pParent)
        out = separator + pea->m_Name + out;
    return true;
}

void CPea::DisplayAllPeas()
{
    ShowInfo("Displaying all peas in m_ChildList\n");
    for (int i = 1; i <= m_ChildList.GetCount(); ++i)
    {
        CString text;
        m_ChildList.GetAt(i)->ToString(text);
        ShowInfo("Number%d\t%s\n", i, text.GetBuffer());
    }
    ShowInfo("=========== End display ==============\n");
}
