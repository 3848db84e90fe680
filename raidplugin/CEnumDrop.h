#pragma once

#include "CRiverRef.h"
#include "PluginInterfaces.h"

class CRiver;

// The dir listing of a river: hands out the drops' dir texts one by one.
// It holds a reference on its river for as long as it lives.
class CEnumDrop : public IEnumString
{
public:
    CEnumDrop() = default;
    CEnumDrop(const CEnumDrop&) = delete;
    CEnumDrop& operator=(const CEnumDrop&) = delete;

    // Enumerates river from the 1-based position pos, giving back the
    // previous river's reference.
    void Init(CRiver* river, int pos);

    long AddRef() override;
    long Release() override;
    STATUS QueryInterface(unsigned iid, void** out) override;

    STATUS Next(unsigned long count, char** buffers, unsigned long* fetched) override;
    STATUS Skip(unsigned long count) override;
    STATUS Reset() override;
    // The clone carries one reference, for the caller.
    STATUS Clone(IEnumString** out) override;

protected:
    virtual ~CEnumDrop() = default;

private:
    long m_nRef = 0;
    // The position of the next drop, 0 once the listing is exhausted.
    int m_pos = 0;
    CRiverRef m_pRiver;
};
