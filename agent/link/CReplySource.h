#pragma once

class CMessage;

// A reply made one packet at a time, as the peer takes what was sent
// before, so that a long one never waits whole in the agent.
class CReplySource
{
public:
    virtual ~CReplySource() = default;
    // Makes the next packet of the reply in msg: its kind word and body
    // (the command and stamp words are the request's). False when the
    // reply has nothing more; a closing reply (kind 3) ends it too.
    virtual bool Next(CMessage& msg) = 0;
};
