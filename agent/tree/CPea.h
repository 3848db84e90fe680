#pragma once

#include "CObject.h"
#include "CString.h"
#include "StatusWords.h"
#include "TPtrList.h"

class CFolderOwner;
class CVirtualFolder;
class IUnknown;

// One entry of the agent's tree: an object (a folder that can be entered),
// a property or a method, with a name, a three-letter attribute, a text
// value and an ordered list of children. The list links children; it does
// not own them.
class CPea : public CObject
{
public:
    // The class marker of a plain entry, and that of a single-user folder.
    enum
    {
        kPlain = -1,
        kSingleUser = 2
    };

    CPea() = default;
    virtual ~CPea() = default;
    CPea(const CPea&) = delete;
    // Copies name, attribute, value, links and kind of an entry; the child
    // list stays as it is.
    CPea& operator=(const CPea& other);

    // The folder this entry stands for, or null for a leaf entry.
    virtual CVirtualFolder* GetFolder() const { return nullptr; }

    // Links the entry into a tree; an entry is initialised once only, and a
    // second call changes nothing and returns false.
    bool Init(CPea* parent, CFolderOwner* doc, IUnknown* unused = nullptr);

    const CString& GetName() const { return m_Name; }
    const CString& GetAttribute() const { return m_Attribute; }
    const CString& GetContent() const { return m_Content; }
    void SetName(const char* name) { m_Name = name; }
    // The attribute is empty or exactly three characters; anything else is
    // refused (false) and the attribute stays.
    bool SetAttribute(const char* attribute);
    void SetContent(const char* content) { m_Content = content; }
    CPea* GetParent() const { return m_pParent; }
    CFolderOwner* GetOwner() const { return m_pOwner; }
    int GetKind() const { return m_nKind; }
    void SetKind(int kind) { m_nKind = kind; }

    // name@attribute@value
    void ToString(CString& out) const;
    // The direct child of that exact name, or null.
    CPea* FindPea(const char* name);
    // 0, or E_INVALIDARG when child is null or already listed.
    STATUS AddPea(CPea* child);
    // Unlinks child (0, or E_INVALIDARG when it is not listed); null
    // unlinks every child.
    STATUS DelPea(CPea* child);
    int GetPeaCount() const { return m_ChildList.GetCount(); }
    // The child at the 1-based position, or null.
    CPea* GetPeaAt(int pos) const { return m_ChildList.GetAt(pos); }

    bool IsObject() const { return IsAttribute(0, 'o'); }
    bool IsProperty() const { return IsAttribute(0, 'p'); }
    bool IsMethod() const { return IsAttribute(0, 'm'); }
    bool IsProperty_Read() const { return IsProperty() && IsAttribute(1, 'r'); }
    bool IsProperty_Write() const { return IsProperty() && IsAttribute(2, 'w'); }
    bool IsProperty_Volatile() const { return IsProperty() && IsAttribute(2, 'v'); }
    bool IsKindOf(int kind) const { return m_nKind == kind; }
    bool IsRoot() const { return m_pParent == nullptr; }
    CPea* GetRoot();

    // The entry's path from the root ("/" or "\" alone for the root, whose
    // own name is never part of a path); returns true.
    bool GetBaseRef(CString& out, bool backslash) const;
    void DisplayAllPeas();

private:
    bool IsAttribute(int i, char c) const { return m_Attribute.GetLength() == 3 && m_Attribute[i] == c; }

    CString m_Name;
    CString m_Attribute;
    CString m_Content;
    CPea* m_pParent = nullptr;
    CFolderOwner* m_pOwner = nullptr;
    TPtrList<CPea> m_ChildList;
    int m_nKind = kPlain;
};
