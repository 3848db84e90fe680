#pragma once

class CSvrSocket;
class CVirtualFolder;

// What a connection needs of the agent that holds it: the folder a new
// connection starts in, and the way to be taken out of the agent's list.
// The link layer knows no more of the document than this.
class CServerOwner
{
public:
    virtual CVirtualFolder* GetRootFolder() = 0;
    virtual void RemoveServer(CSvrSocket* pSvr) = 0;

protected:
    ~CServerOwner() = default;
};
