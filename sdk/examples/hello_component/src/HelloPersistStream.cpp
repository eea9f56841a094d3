#include "HelloComponent.h"

#include <cstring>
#include <vector>

namespace {
// Saved form: magic, unit count, UTF-16 units (native order).
constexpr std::uint32_t kMagic = 0x48454C4F; // "HELO"
constexpr std::uint32_t kMaxUnits = 4096;    // a greeting longer than this is damaged data

HRESULT readAll(IStream* stream, void* buffer, std::uint32_t count)
{
    std::uint32_t done = 0;
    const HRESULT hr = stream->Read(buffer, count, &done);
    return FAILED(hr) ? hr : (done == count ? S_OK : E_FAIL);
}

HRESULT writeAll(IStream* stream, const void* buffer, std::uint32_t count)
{
    std::uint32_t done = 0;
    const HRESULT hr = stream->Write(buffer, count, &done);
    return FAILED(hr) ? hr : (done == count ? S_OK : E_FAIL);
}
} // namespace

CompHelloPersistStream::CompHelloPersistStream(CompHelloInitialise* component)
    : TKAVComObject(static_cast<IUnknown*>(component), IID_IPersistStream, false)
    , m_component(component)
{
}

HRESULT CompHelloPersistStream::GetClassID(CFUUIDBytes* classID)
{
    if (!classID)
        return E_POINTER;
    *classID = CompHelloInitialise::guid;
    return S_OK;
}

HRESULT CompHelloPersistStream::IsDirty()
{
    return m_component->isDirty() ? S_OK : S_FALSE;
}

// Reads everything first and changes the component only when the whole record was valid.
HRESULT CompHelloPersistStream::Load(IStream* stream)
{
    if (!stream)
        return E_POINTER;
    std::uint32_t header[2] = {0, 0};
    HRESULT hr = readAll(stream, header, sizeof header);
    if (FAILED(hr))
        return hr;
    if (header[0] != kMagic || header[1] > kMaxUnits)
        return E_FAIL;
    std::u16string text(header[1], u'\0');
    if (header[1] != 0) {
        hr = readAll(stream, text.data(), header[1] * static_cast<std::uint32_t>(sizeof(char16_t)));
        if (FAILED(hr))
            return hr;
    }
    m_component->setGreeting(text);
    m_component->clearDirty();
    return S_OK;
}

HRESULT CompHelloPersistStream::Save(IStream* stream, bool clearDirty)
{
    if (!stream)
        return E_POINTER;
    const std::u16string text = m_component->greeting();
    const std::uint32_t header[2] = {kMagic, static_cast<std::uint32_t>(text.size())};
    HRESULT hr = writeAll(stream, header, sizeof header);
    if (SUCCEEDED(hr) && !text.empty())
        hr = writeAll(stream, text.data(), static_cast<std::uint32_t>(text.size() * sizeof(char16_t)));
    if (SUCCEEDED(hr) && clearDirty)
        m_component->clearDirty();
    return hr;
}

HRESULT CompHelloPersistStream::GetSizeMax(ULARGE_INTEGER* size)
{
    if (!size)
        return E_POINTER;
    *size = 2 * sizeof(std::uint32_t) + m_component->greeting().size() * sizeof(char16_t);
    return S_OK;
}
