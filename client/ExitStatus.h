#pragma once

// halsenctl's exit statuses, shared by its commands.
enum ExitStatus
{
    kOk = 0,
    kErrorReply = 1,
    kUsage = 2,
    kTransport = 3,
};
