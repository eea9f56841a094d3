#pragma once
// One advised sink of a connection point: the sink's interface pointer (one counted
// reference, taken over from Advise) and its cookie.

#include <kav/KAVInterfaces.h>

#include <cstdint>
#include <memory>
#include <vector>

class ClientConnection
{
public:
    // Takes over one reference to `sink`; the destructor gives it back.
    ClientConnection(IUnknown* sink, std::uint32_t cookie);
    ~ClientConnection();

    ClientConnection(const ClientConnection&) = delete;
    ClientConnection& operator=(const ClientConnection&) = delete;

    // Cookie and the sink's IUnknown (a counted reference for the receiver). Returns the
    // result of asking the sink for IUnknown.
    HRESULT FillConnectData(CONNECTDATA* data) const;

    std::uint32_t cookie() const { return m_cookie; }
    // The interface the point asked the sink for; not counted for the caller.
    IUnknown* sink() const { return m_sink; }

private:
    IUnknown* m_sink;
    std::uint32_t m_cookie;
};

// Shared so that a caller can walk a copy of the list while sinks advise or unadvise
// from inside a notification.
using TConnectionList = std::vector<std::shared_ptr<ClientConnection>>;
