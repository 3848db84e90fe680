#pragma once

class CMessage;

// Where a packet's body begins to hold a password or a logon credential,
// so that what is shown of it in the diagnostics stops before.
namespace PacketSecrets
{
// The offset in the body from which it must not be shown, or -1 when the
// body holds nothing secret.
int SecretStart(const CMessage& msg);
} // namespace PacketSecrets
