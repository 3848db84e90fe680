// Feeds arbitrary bytes to the packet decoder, and as a byte stream in
// pieces of varying size to one real agent connection, so that its
// reassembly, the refusal of oversized requests and the handling of
// malformed packets all see them.

#include "AgentConnection.h"
#include "CMessage.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    CMessage msg;
    msg.ParsePool(reinterpret_cast<const char*>(data), static_cast<int>(size));
    if (size == 0)
        return 0;

    // The first byte chooses the size of the pieces the rest arrives in.
    const size_t nPiece = static_cast<size_t>(data[0]) * 8 + 1;
    fuzzlink::Connection connection;
    for (size_t at = 1; at < size && connection.IsOpen(); at += nPiece)
        connection.Send(data + at, size - at < nPiece ? size - at : nPiece);
    return 0;
}
