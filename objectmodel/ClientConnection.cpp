#include "ClientConnection.h"

#include "NS_Utilities.h"

namespace {
constexpr const char* kSource = "ClientConnection.cpp";
}

ClientConnection::ClientConnection(IUnknown* sink, std::uint32_t cookie)
    : m_sink(sink)
    , m_cookie(cookie)
{
}

ClientConnection::~ClientConnection()
{
    if (m_sink)
        m_sink->Release();
}

HRESULT ClientConnection::FillConnectData(CONNECTDATA* data) const
{
    MW_ASSERT_TEXT(data != nullptr, "pConnectData", kSource);
    if (!data)
        return E_POINTER;
    data->dwCookie = m_cookie;
    data->pUnk = nullptr;
    if (!m_sink)
        return S_OK;
    void* unknown = nullptr;
    const HRESULT hr = m_sink->QueryInterface(IID_IUnknown, &unknown);
    // A sink that claims success without a pointer hands out nothing.
    data->pUnk = SUCCEEDED(hr) ? static_cast<IUnknown*>(unknown) : nullptr;
    return hr;
}
