#pragma once

class CRiver;

// One counted reference on a river: taking a new river gives back the
// reference on the previous one, and so does the end of the holder.
class CRiverRef
{
public:
    CRiverRef() = default;
    ~CRiverRef() { Set(nullptr); }
    CRiverRef(const CRiverRef&) = delete;
    CRiverRef& operator=(const CRiverRef&) = delete;

    void Set(CRiver* river);
    CRiver* Get() const { return m_pRiver; }

private:
    CRiver* m_pRiver = nullptr;
};
