#include "GenericSynthEditor.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string_view>

namespace {

constexpr CFUUIDBytes kClsid = NS_KAV::uuid(GENERIC_SYNTH_EDITOR_CLSID);

// Saved data: magic, port, channel, 128 values, 128 "known" bits.
constexpr char kMagic[4] = {'G', 'S', 'E', '1'};
constexpr std::uint32_t kSavedSize = 4 + 4 + 1 + CompGenericSynth::kControllers + CompGenericSynth::kControllers / 8;

// Synchronization results other than success and cancel.
constexpr HRESULT kErrCannotFetch = 1;
constexpr HRESULT kErrNotConnected = 2;

char16_t* olestring(std::u16string_view text) { return CreateOLEString(text); }

} // namespace

// --- the component ------------------------------------------------------------------------------

CompGenericSynth::CompGenericSynth(const CFUUIDBytes& clsid)
    : TKAVComObject(nullptr, clsid, true)
    , m_clsid(clsid)
{
}

CompGenericSynth::~CompGenericSynth()
{
    for (IUnknown* part : std::initializer_list<IUnknown*>{m_setup, m_persist, m_filter, m_pages, m_recall})
        if (part)
            part->Release();
    if (m_output)
        m_output->Release();
    if (m_host)
        m_host->Release();
}

HRESULT CompGenericSynth::Init()
{
    m_setup = new (std::nothrow) CompGSEInstanceSetup(this);
    m_persist = new (std::nothrow) CompGSEPersistStream(this);
    m_filter = new (std::nothrow) CompGSEEventFilter(this);
    m_pages = new (std::nothrow) CompGSESpecifyPropertyPages(this);
    m_recall = new (std::nothrow) CompGSETotalRecall(this);
    return m_setup && m_persist && m_filter && m_pages && m_recall ? S_OK : E_OUTOFMEMORY;
}

HRESULT CompGenericSynth::AggrQueryInterface(const CFUUIDBytes& riid, void** ppv)
{
    if (IsEqualIID(riid, IID_IMPInstanceSetup))
        return QueryPart(m_setup, riid, ppv);
    if (IsEqualIID(riid, IID_IPersistStream))
        return QueryPart(m_persist, riid, ppv);
    if (IsEqualIID(riid, IID_IMPEventFilter))
        return QueryPart(m_filter, riid, ppv);
    if (IsEqualIID(riid, IID_ISpecifyPropertyPages))
        return QueryPart(m_pages, riid, ppv);
    if (IsEqualIID(riid, IID_IMPTotalRecall))
        return QueryPart(m_recall, riid, ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
}

HRESULT CompGenericSynth::MPConnect(IUnknown* host, IMPAsyncOutput* output, _MPINITIALISE_MODE, std::uint32_t,
                                    std::uint32_t*)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (host)
        host->AddRef();
    if (output)
        output->AddRef();
    if (m_host)
        m_host->Release();
    if (m_output)
        m_output->Release();
    m_host = host;
    m_output = output;
    return S_OK;
}

HRESULT CompGenericSynth::MPDisconnect()
{
    IUnknown* host;
    IMPAsyncOutput* output;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        host = std::exchange(m_host, nullptr);
        output = std::exchange(m_output, nullptr);
    }
    if (output)
        output->Release();
    if (host)
        host->Release();
    return S_OK;
}

CompGenericSynth::TState CompGenericSynth::state()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_state;
}

void CompGenericSynth::setState(const TState& state)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_state = state;
    m_dirty = false;
}

void CompGenericSynth::controlChange(std::uint32_t port, std::uint8_t channel, std::uint8_t controller,
                                     std::uint8_t value)
{
    if (controller >= kControllers)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_state.port = port;
    m_state.channel = channel & 0x0F;
    m_state.values[controller] = value & 0x7F;
    m_state.known[controller] = true;
    m_dirty = true;
}

bool CompGenericSynth::dirty()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_dirty;
}

void CompGenericSynth::clearDirty()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_dirty = false;
}

IMPAsyncOutput* CompGenericSynth::output()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_output)
        m_output->AddRef();
    return m_output;
}

// --- IMPInstanceSetup -----------------------------------------------------------------------------

CompGSEInstanceSetup::CompGSEInstanceSetup(CompGenericSynth* outer)
    : TKAVComObject(outer, IID_IMPInstanceSetup, false)
{
}

HRESULT CompGSEInstanceSetup::MPInstanceSetup(const CFUUIDBytes& factoryID, const CFUUIDBytes& typeID)
{
    // Only what our Info.json promises.
    return IsEqualIID(factoryID, kClsid) && IsEqualIID(typeID, IID_IMPInitialise) ? S_OK : E_INVALIDARG;
}

// --- IPersistStream -------------------------------------------------------------------------------

CompGSEPersistStream::CompGSEPersistStream(CompGenericSynth* outer)
    : TKAVComObject(outer, IID_IPersistStream, false)
    , m_synth(outer)
{
}

HRESULT CompGSEPersistStream::GetClassID(CFUUIDBytes* classID)
{
    if (!classID)
        return E_POINTER;
    *classID = m_synth->clsid();
    return S_OK;
}

HRESULT CompGSEPersistStream::IsDirty() { return m_synth->dirty() ? S_OK : S_FALSE; }

HRESULT CompGSEPersistStream::Load(IStream* stream)
{
    if (!stream)
        return E_POINTER;
    std::uint8_t bytes[kSavedSize];
    std::uint32_t done = 0;
    if (FAILED(stream->Read(bytes, kSavedSize, &done)) || done != kSavedSize
        || std::memcmp(bytes, kMagic, sizeof kMagic) != 0)
        return E_FAIL; // keep what we have rather than half a state
    CompGenericSynth::TState state;
    std::memcpy(&state.port, bytes + 4, 4);
    state.channel = bytes[8] & 0x0F;
    for (int i = 0; i < CompGenericSynth::kControllers; ++i) {
        state.values[i] = bytes[9 + i] & 0x7F;
        state.known[i] = (bytes[9 + CompGenericSynth::kControllers + i / 8] >> (i % 8)) & 1;
    }
    m_synth->setState(state);
    return S_OK;
}

HRESULT CompGSEPersistStream::Save(IStream* stream, bool clearDirty)
{
    if (!stream)
        return E_POINTER;
    const CompGenericSynth::TState state = m_synth->state();
    std::uint8_t bytes[kSavedSize] = {};
    std::memcpy(bytes, kMagic, sizeof kMagic);
    std::memcpy(bytes + 4, &state.port, 4);
    bytes[8] = state.channel;
    for (int i = 0; i < CompGenericSynth::kControllers; ++i) {
        bytes[9 + i] = state.values[i];
        if (state.known[i])
            bytes[9 + CompGenericSynth::kControllers + i / 8] |= static_cast<std::uint8_t>(1u << (i % 8));
    }
    std::uint32_t done = 0;
    const HRESULT hr = stream->Write(bytes, kSavedSize, &done);
    if (FAILED(hr))
        return hr;
    if (done != kSavedSize)
        return E_FAIL;
    if (clearDirty)
        m_synth->clearDirty();
    return S_OK;
}

HRESULT CompGSEPersistStream::GetSizeMax(ULARGE_INTEGER* size)
{
    if (!size)
        return E_POINTER;
    *size = kSavedSize;
    return S_OK;
}

// --- IMPEventFilter -------------------------------------------------------------------------------

CompGSEEventFilter::CompGSEEventFilter(CompGenericSynth* outer)
    : TKAVComObject(outer, IID_IMPEventFilter, false)
    , m_synth(outer)
{
}

HRESULT CompGSEEventFilter::MPOnEvents(IMPEventQueue* queue, const tagMPQSTATUS& status)
{
    if (!queue || !(status.flags & MPQSTATUS_FLAG_VALID))
        return S_OK;
    tagMPEVENT event{};
    std::uint32_t count = 0, more = 0;
    if (FAILED(queue->MPQGetFirstEvent(&count, &event, &more, MPEVENT_CONTROL)))
        return S_OK;
    if (event.type == MPEVENT_CONTROL)
        m_synth->controlChange(event.port, static_cast<std::uint8_t>(event.channel), event.data.bytes[0],
                               event.data.bytes[1]);
    else if (MPEventIsSystem(event.type))
        std::free(event.data.ptr); // only if a host ignored our mask: the copy is ours
    return S_OK;
}

HRESULT CompGSEEventFilter::MPGetSupportedTimeFormats(_MPTIME_FORMAT* first, _MPTIME_FORMAT* second,
                                                      std::uint32_t* count)
{
    if (first)
        *first = MPTF_FORMAT1;
    if (second)
        *second = MPTF_NONE;
    if (count)
        *count = 1;
    return S_OK;
}

HRESULT CompGSEEventFilter::MPSetTimeFormat(_MPTIME_FORMAT format)
{
    return format == MPTF_FORMAT1 ? S_OK : E_INVALIDARG;
}

// --- ISpecifyPropertyPages ------------------------------------------------------------------------

CompGSESpecifyPropertyPages::CompGSESpecifyPropertyPages(CompGenericSynth* outer)
    : TKAVComObject(outer, IID_ISpecifyPropertyPages, false)
{
}

HRESULT CompGSESpecifyPropertyPages::GetPages(tagCAUUID* pages)
{
    if (!pages)
        return E_POINTER;
    pages->count = 0;
    pages->elems = nullptr;
    return S_OK;
}

// --- IMPTotalRecall -------------------------------------------------------------------------------

CompGSETotalRecall::CompGSETotalRecall(CompGenericSynth* outer)
    : TKAVComObject(outer, IID_IMPTotalRecall, false)
    , m_synth(outer)
{
}

HRESULT CompGSETotalRecall::MPSynchronize(std::int32_t direction, IMPClientProgressHandler* progress, std::int32_t)
{
    m_cancel = false;
    if (direction != 1)
        return kErrCannotFetch; // a generic editor has no dump request to ask the device with
    IMPAsyncOutput* output = m_synth->output();
    if (!output)
        return kErrNotConnected;

    const CompGenericSynth::TState state = m_synth->state();
    int total = 0;
    for (bool known : state.known)
        total += known;
    HRESULT result = S_OK;
    int sent = 0;
    for (int controller = 0; controller < CompGenericSynth::kControllers; ++controller) {
        if (!state.known[controller])
            continue;
        if (m_cancel) {
            result = MP_SYNC_CANCELLED;
            break;
        }
        tagMPEVENT event{};
        event.type = MPEVENT_CONTROL;
        event.port = state.port;
        event.channel = state.channel;
        event.data.bytes[0] = static_cast<std::uint8_t>(controller);
        event.data.bytes[1] = state.values[controller];
        output->MPOutput(event, MPASYNC_SENDNOW);
        ++sent;
        if (progress) {
            char16_t* text = olestring(u"Sending controllers");
            progress->MPProgress(m_synth, sent, total, text);
            std::free(text);
        }
    }
    output->Release();
    return result;
}

HRESULT CompGSETotalRecall::MPGetErrorText(std::int32_t code, char16_t** text)
{
    if (!text)
        return E_POINTER;
    switch (code) {
    case kErrCannotFetch:
        *text = olestring(u"The Generic Synth Editor cannot read data from the device.");
        break;
    case kErrNotConnected:
        *text = olestring(u"The Generic Synth Editor is not connected to a MIDI output.");
        break;
    default:
        *text = olestring(u"Unknown error.");
        break;
    }
    return *text ? S_OK : E_OUTOFMEMORY;
}

HRESULT CompGSETotalRecall::MPCancelSynchronize()
{
    m_cancel = true;
    return S_OK;
}

HRESULT CompGSETotalRecall::MPGetIconURLs(char16_t** first, char16_t** second)
{
    // No icons of our own: the host uses the bundle's.
    if (first)
        *first = nullptr;
    if (second)
        *second = nullptr;
    return S_OK;
}

HRESULT CompGSETotalRecall::MPGetSyncOptions(std::int32_t* selectionMode, char16_t** optionList, std::uint32_t* group,
                                             std::int32_t* offline, std::int32_t* optionMask)
{
    if (selectionMode)
        *selectionMode = 0;
    if (optionList)
        *optionList = nullptr;
    if (group)
        *group = 0;
    if (offline)
        *offline = 0;
    if (optionMask)
        *optionMask = 0;
    return S_OK;
}

// --- entry points ---------------------------------------------------------------------------------

KAV_EXPORT void* GenericSynthEditorFactory(void*, const CFUUIDBytes* typeID)
{
    if (!typeID || !IsEqualIID(*typeID, IID_IMPInitialise))
        return nullptr;
    IMPInitialise* component = KAVNewObject<CompGenericSynth>(kClsid);
    return static_cast<IUnknown*>(component);
}

// Lets the host count our instances per factory.
KAV_EXPORT_FACTORY_INSTANCE_HOOKS()
