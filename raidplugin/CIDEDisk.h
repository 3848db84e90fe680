#pragma once

#include "CDisk.h"

// An IDE disk: its key is the channel index, its position 0 (master) or 1
// (slave); the driver numbers it 2 x channel + position.
class CIDEDisk : public CDisk
{
public:
    int InitialProperty() override;

    int GetDiskNumber() const { return static_cast<int>(2 * m_Handle + m_diskID); }

protected:
    ~CIDEDisk() override = default;

private:
    void WriteStatus(int disk);
    void WriteGeometry(int disk);
    void WriteTiming(int disk);
};
