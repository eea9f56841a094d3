#include "HelloComponent.h"

// Lets the host count this module's live components per factory.
KAV_EXPORT_FACTORY_INSTANCE_HOOKS()

// The bundle's factory: Info.json names it for the component's factory identifier. Returns an
// IUnknown* holding one reference, or null for a type this bundle does not make.
KAV_EXPORT void* HELLO_FACTORY_FUNCTION(void* /*allocator*/, const CFUUIDBytes* typeID)
{
    if (!typeID || !IsEqualIID(*typeID, IID_IMPInitialise))
        return nullptr;
    CompHelloInitialise* object = KAVNewObject<CompHelloInitialise>(nullptr, CompHelloInitialise::guid, true);
    return object ? static_cast<IUnknown*>(object) : nullptr;
}

HRESULT CompHelloInitialise::Init()
{
    m_persist = new (std::nothrow) CompHelloPersistStream(this);
    return m_persist ? S_OK : E_OUTOFMEMORY;
}

CompHelloInitialise::~CompHelloInitialise()
{
    if (m_output)
        m_output->Release();
    if (m_persist)
        m_persist->Release(); // our count is zero here, so the part goes too
}

HRESULT CompHelloInitialise::AggrQueryInterface(const CFUUIDBytes& riid, void** ppv)
{
    return QueryPart(m_persist, riid, ppv);
}

HRESULT CompHelloInitialise::MPConnect(IUnknown* host, IMPAsyncOutput* output, _MPINITIALISE_MODE mode,
                                       std::uint32_t, std::uint32_t*)
{
    if (!host || mode != MPINIT_NORMAL)
        return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (output)
        output->AddRef();
    if (m_output)
        m_output->Release();
    m_output = output;
    return S_OK;
}

HRESULT CompHelloInitialise::MPDisconnect()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_output) {
        m_output->Release(); // after this the component no longer calls the host
        m_output = nullptr;
    }
    return S_OK;
}

std::u16string CompHelloInitialise::greeting() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_greeting;
}

void CompHelloInitialise::setGreeting(const std::u16string& text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (text != m_greeting) {
        m_greeting = text;
        m_dirty = true;
    }
}

bool CompHelloInitialise::isDirty() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_dirty;
}

void CompHelloInitialise::clearDirty()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_dirty = false;
}
