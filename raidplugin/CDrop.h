#pragma once

#include "CObject.h"
#include "CRiverRef.h"
#include "CString.h"

class CRiver;

// Flag bits of a drop.
const unsigned DT_OBJECT = 0x10000;
const unsigned DT_METHOD = 0x100;
const unsigned DT_PROPERTY = 0x1;
const unsigned DT_P_READ = 0x3;
const unsigned DT_P_WRITE = 0x5;
const unsigned DT_P_VOLATILE = 0x9;

// One entry of a river: a property, a method or a child river. Its dir text
// (name@attribute@value) always fits the contract's text size, so every
// change that would outgrow it, and every name that the dir text or a path
// could not carry, is refused and leaves the drop as it was.
class CDrop : public CObject
{
public:
    CDrop() = default;
    CDrop(const CDrop&) = delete;
    CDrop& operator=(const CDrop&) = delete;

    // A name is usable when it is not empty and holds no "@" (the field
    // separator of dir texts) and no backslash (the path separator).
    static bool IsValidName(const char* name);

    // Sets name, flags and value and derives the attribute; false when the
    // name is not usable or the text would not fit.
    bool Init(const char* name, unsigned flags, const char* value);
    // Replaces the value; false when it would not fit.
    bool SetContent(const char* value);
    // Takes a reference on child and gives back the one on the previous child.
    void SetChild(CRiver* child) { m_Child.Set(child); }

    // The entry as dir lists it: name@attribute@value, where an object shows
    // its type number (the text after the first ";" of its value).
    CString GetDirText() const;

    bool IsObject() const { return (m_iAttr & DT_OBJECT) != 0; }
    bool IsMethod() const { return (m_iAttr & DT_METHOD) != 0; }
    bool IsPropRead() const { return (m_iAttr & DT_P_READ) == DT_P_READ; }
    bool IsPropWrite() const { return (m_iAttr & DT_P_WRITE) == DT_P_WRITE; }

    unsigned GetFlags() const { return m_iAttr; }
    const CString& GetName() const { return m_Name; }
    const CString& GetAttribute() const { return m_Attribute; }
    const CString& GetContent() const { return m_Content; }
    CRiver* GetChild() const { return m_Child.Get(); }

private:
    static bool Fits(const char* name, const char* value);
    void DeriveAttribute();

    unsigned m_iAttr = 0;
    CString m_Name;
    CString m_Attribute;
    CString m_Content;
    // The child river of an object drop, referenced.
    CRiverRef m_Child;
};
