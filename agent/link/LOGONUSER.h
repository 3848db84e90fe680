#pragma once

// One user logon held by a connection: the location value the client
// presented, the account manager's user handle, and the logon handle that
// names the record towards the client.
struct LOGONUSER
{
    unsigned long m_dwLocation[2] = {0, 0};
    void* m_nUserSSN = nullptr;
    // Nonzero, unique among the records of one connection and fixed for
    // the record's life; an address would not fit the 32 bits of the wire.
    unsigned m_nLogon = 0;

    // Same location and same user handle; the logon handle is not compared.
    bool IsSameLogon(const LOGONUSER& other) const;
};
