#include "CRiverRef.h"

#include "CRiver.h"

void CRiverRef::Set(CRiver* river)
{
    if (river == m_pRiver)
        return;
    if (river)
        river->AddRef();
    // Cleared first: the release may destroy what leads back to this holder.
    CRiver* previous = m_pRiver;
    m_pRiver = river;
    if (previous)
        previous->Release();
}
