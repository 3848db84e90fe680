#pragma once

#include "CButtonBar.h"
#include "CDialog.h"
#include "CHelpFile.h"

// The help for one prompt in a scrolling box: arrows and page keys
// scroll, Enter or Esc closes.
class CHelpViewer : public CDialog
{
public:
    CHelpViewer(const char* path, const char* prompt);

protected:
    void Draw() override;
    bool HandleKey(int key, int* result) override;

private:
    CHelpFile m_File;
    const char* m_pText = "";
    int m_nLength = 0;
    int m_nTop = 0;
    int m_nRows = 1;
    int m_nLines = 0;
    CButtonBar m_Close;
};
