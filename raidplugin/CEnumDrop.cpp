#include "CEnumDrop.h"

#include "CRiver.h"

#include <cstring>
#include <new>

void CEnumDrop::Init(CRiver* river, int pos)
{
    m_pRiver.Set(river);
    m_pos = pos;
}

long CEnumDrop::AddRef() { return ++m_nRef; }

long CEnumDrop::Release()
{
    long count = --m_nRef;
    if (count == 0)
        delete this;
    return count;
}

STATUS CEnumDrop::QueryInterface(unsigned iid, void** out)
{
    if (!out)
        return E_INVALIDARG;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IEnumString)
        return E_NOINTERFACE;
    AddRef();
    *out = static_cast<IEnumString*>(this);
    return S_OK;
}

STATUS CEnumDrop::Next(unsigned long count, char** buffers, unsigned long* fetched)
{
    unsigned long copied = 0;
    if (m_pRiver.Get() && buffers)
    {
        while (copied < count && m_pos != 0 && buffers[copied])
        {
            CDrop* drop = m_pRiver.Get()->GetDropAt(m_pos);
            if (!drop)
            {
                m_pos = 0;
                break;
            }
            ++m_pos;
            // Every drop keeps its dir text shorter than the buffer.
            CString text = drop->GetDirText();
            memcpy(buffers[copied], text.GetBuffer(), text.GetLength() + 1);
            ++copied;
        }
    }
    if (fetched)
        *fetched = copied;
    return copied > 0 ? S_OK : S_FALSE;
}

STATUS CEnumDrop::Skip(unsigned long count)
{
    for (; count > 0; --count)
    {
        if (!m_pRiver.Get() || m_pos == 0 || !m_pRiver.Get()->GetDropAt(m_pos))
        {
            m_pos = 0;
            return S_FALSE;
        }
        ++m_pos;
    }
    return S_OK;
}

STATUS CEnumDrop::Reset()
{
    if (!m_pRiver.Get() || m_pRiver.Get()->GetDropCount() == 0)
    {
        m_pos = 0;
        return S_FALSE;
    }
    m_pos = 1;
    return S_OK;
}

STATUS CEnumDrop::Clone(IEnumString** out)
{
    if (!out)
        return E_INVALIDARG;
    *out = nullptr;
    CEnumDrop* clone = new (std::nothrow) CEnumDrop;
    if (!clone)
        return E_OUTOFMEMORY;
    clone->Init(m_pRiver.Get(), m_pos);
    clone->AddRef();
    *out = clone;
    return S_OK;
}
