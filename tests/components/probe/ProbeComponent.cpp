#include <algorithm>
#include "ProbeComponent.h"

#include "ProbeState.h"

#include <chrono>
#include <cstdlib>
#include <cstring>

using NS_Probe::config;
using NS_Probe::configResult;
using NS_Probe::hex;
using NS_Probe::log;

namespace {

// Interfaces a probe answers unless its "answer" list says otherwise.
constexpr std::string_view kAllInterfaces = "all";

bool answers(std::string_view name) { return NS_Probe::configListHas("answer", name, kAllInterfaces); }

std::string resultText(HRESULT hr) { return hex(static_cast<std::uint32_t>(hr)); }

char16_t* olestring(const std::string& text)
{
    std::u16string units(text.begin(), text.end()); // configuration texts are ASCII
    return CreateOLEString(std::u16string_view(units));
}

} // namespace

std::string NS_Probe::interfaceName(const CFUUIDBytes& iid)
{
    static const struct {
        const CFUUIDBytes* iid;
        const char* name;
    } known[] = {
        {&IID_IUnknown, "IUnknown"},
        {&IID_IMPInitialise, "IMPInitialise"},
        {&IID_IMPEventFilter, "IMPEventFilter"},
        {&IID_IMPNotificationSink, "IMPNotificationSink"},
        {&IID_IPersistStream, "IPersistStream"},
        {&IID_ISpecifyPropertyPages, "ISpecifyPropertyPages"},
        {&IID_IPropertyPage, "IPropertyPage"},
        {&IID_IMPTotalRecall, "IMPTotalRecall"},
        {&IID_IMPTotalRecallEarlier, "IMPTotalRecallEarlier"},
        {&IID_IMPInstanceSetup, "IMPInstanceSetup"},
        {&IID_IMPEventQueue, "IMPEventQueue"},
        {&IID_IMPAsyncOutput, "IMPAsyncOutput"},
        {&IID_IMPClientServices, "IMPClientServices"},
        {&IID_IMPClientServices2, "IMPClientServices2"},
        {&IID_IConnectionPointContainer, "IConnectionPointContainer"},
        {&IID_IMPTimeInfo, "IMPTimeInfo"},
        {&IID_IMPQTBasedHost, "IMPQTBasedHost"},
        {&IID_IStream, "IStream"},
    };
    for (const auto& entry : known)
        if (*entry.iid == iid)
            return entry.name;
    return NS_KAV::uuidToText(iid);
}

// --- CompProbe ----------------------------------------------------------------------------

CompProbe::CompProbe(const CFUUIDBytes& clsid)
    : TKAVComObject(nullptr, clsid, true)
    , m_clsid(clsid)
    , m_data(config("data", "probe data"))
{
    NS_Probe::objectCreated();
}

CompProbe::~CompProbe()
{
    // Our count is 0 now, so each part's Release destroys the part.
    for (IUnknown* part : std::initializer_list<IUnknown*>{m_setup, m_persist, m_filter, m_pages, m_recall, m_sink})
        if (part)
            part->Release();
    if (m_output)
        m_output->Release();
    if (m_host)
        m_host->Release();
    log("CompProbe::~CompProbe()");
    NS_Probe::objectDestroyed();
}

HRESULT CompProbe::Init()
{
    m_setup = new ProbeInstanceSetup(this);
    m_persist = new ProbePersistStream(this);
    m_filter = new ProbeEventFilter(this);
    m_pages = new ProbeSpecifyPropertyPages(this);
    m_recall = new ProbeTotalRecall(this);
    m_sink = new ProbeNotificationSink(this);
    return S_OK;
}

HRESULT CompProbe::QueryInterface(CFUUIDBytes riid, void** ppv)
{
    const HRESULT hr = TKAVComObject::QueryInterface(riid, ppv);
    log("IUnknown::QueryInterface(" + NS_Probe::interfaceName(riid) + ") -> " + resultText(hr));
    return hr;
}

HRESULT CompProbe::NonDelegatingQueryInterface(IUnknown* self, CFUUIDBytes riid, void** ppv)
{
    // "setup=null": answer the set-up interface without an object.
    if (ppv && IsEqualIID(riid, IID_IMPInstanceSetup) && answers("IMPInstanceSetup")
        && config("setup") == "null") {
        *ppv = nullptr;
        return S_OK;
    }
    return TKAVComObject::NonDelegatingQueryInterface(self, riid, ppv);
}

HRESULT CompProbe::AggrQueryInterface(const CFUUIDBytes& riid, void** ppv)
{
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IMPInstanceSetup) && answers("IMPInstanceSetup"))
        return QueryPart(m_setup, riid, ppv);
    if (IsEqualIID(riid, IID_IPersistStream) && answers("IPersistStream"))
        return QueryPart(m_persist, riid, ppv);
    if (IsEqualIID(riid, IID_IMPEventFilter) && answers("IMPEventFilter"))
        return QueryPart(m_filter, riid, ppv);
    if (IsEqualIID(riid, IID_ISpecifyPropertyPages) && answers("ISpecifyPropertyPages"))
        return QueryPart(m_pages, riid, ppv);
    if (IsEqualIID(riid, IID_IMPTotalRecall) && answers("IMPTotalRecall"))
        return QueryPart(m_recall, riid, ppv);
    if (IsEqualIID(riid, IID_IMPTotalRecallEarlier) && answers("IMPTotalRecallEarlier"))
        return QueryPart(m_recall, IID_IMPTotalRecall, ppv); // same table under the older name
    if (IsEqualIID(riid, IID_IMPNotificationSink) && answers("IMPNotificationSink"))
        return QueryPart(m_sink, riid, ppv);
    return E_NOINTERFACE;
}

HRESULT CompProbe::MPConnect(IUnknown* host, IMPAsyncOutput* output, _MPINITIALISE_MODE mode,
                             std::uint32_t value, std::uint32_t* flags)
{
    log("IMPInitialise::MPConnect(host=" + std::string(host ? "set" : "null") + ", output="
        + (output ? "set" : "null") + ", mode=" + std::to_string(mode) + ", value=" + std::to_string(value)
        + ", flags=" + (flags ? hex(*flags) : std::string("null")) + ")");
    const HRESULT hr = configResult("connect", S_OK);
    if (FAILED(hr))
        return hr;
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
    return hr;
}

HRESULT CompProbe::MPDisconnect()
{
    log("IMPInitialise::MPDisconnect()");
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
    return configResult("disconnect", S_OK);
}

IMPAsyncOutput* CompProbe::output()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_output)
        m_output->AddRef();
    return m_output;
}

void CompProbe::releaseOutput(IMPAsyncOutput* output)
{
    if (output)
        output->Release();
}

std::string CompProbe::data()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_data;
}

void CompProbe::setData(std::string data)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_data = std::move(data);
}

bool CompProbe::dirty()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_dirty || NS_Probe::config("dirty") == "1";
}

void CompProbe::setDirty(bool dirty)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_dirty = dirty;
}

// --- IMPInstanceSetup -----------------------------------------------------------------------

ProbeInstanceSetup::ProbeInstanceSetup(CompProbe* outer)
    : TKAVComObject(outer, IID_IMPInstanceSetup, false)
{
}

HRESULT ProbeInstanceSetup::MPInstanceSetup(const CFUUIDBytes& factoryID, const CFUUIDBytes& typeID)
{
    log("IMPInstanceSetup::MPInstanceSetup(factory=" + NS_KAV::uuidToText(factoryID)
        + ", type=" + NS_Probe::interfaceName(typeID) + ")");
    if (config("setup") == "fail")
        return configResult("setupResult", E_FAIL);
    return S_OK;
}

// --- IPersistStream -------------------------------------------------------------------------
// Stream format: u32 length, then the data bytes.

ProbePersistStream::ProbePersistStream(CompProbe* outer)
    : TKAVComObject(outer, IID_IPersistStream, false)
    , m_probe(outer)
{
}

HRESULT ProbePersistStream::GetClassID(CFUUIDBytes* classID)
{
    log("IPersistStream::GetClassID()");
    if (!classID)
        return E_POINTER;
    *classID = m_probe->clsid();
    return S_OK;
}

HRESULT ProbePersistStream::IsDirty()
{
    const bool dirty = m_probe->dirty();
    log(std::string("IPersistStream::IsDirty() -> ") + (dirty ? "S_OK" : "S_FALSE"));
    return dirty ? S_OK : S_FALSE;
}

HRESULT ProbePersistStream::Load(IStream* stream)
{
    if (!stream) {
        log("IPersistStream::Load(null)");
        return E_POINTER;
    }
    std::uint32_t length = 0, done = 0;
    HRESULT hr = stream->Read(&length, sizeof length, &done);
    if (FAILED(hr) || done != sizeof length || length > (1u << 20)) {
        log("IPersistStream::Load() -> bad header");
        return E_FAIL;
    }
    std::string data(length, '\0');
    hr = length ? stream->Read(data.data(), length, &done) : S_OK;
    if (FAILED(hr) || (length && done != length)) {
        log("IPersistStream::Load() -> short data");
        return E_FAIL;
    }
    log("IPersistStream::Load(\"" + data + "\")");
    m_probe->setData(std::move(data));
    m_probe->setDirty(false);
    return configResult("load", S_OK);
}

HRESULT ProbePersistStream::Save(IStream* stream, bool clearDirty)
{
    const std::string data = m_probe->data();
    log("IPersistStream::Save(\"" + data + "\", clearDirty=" + (clearDirty ? "true" : "false") + ")");
    if (!stream)
        return E_POINTER;
    const auto length = static_cast<std::uint32_t>(data.size());
    std::uint32_t done = 0;
    HRESULT hr = stream->Write(&length, sizeof length, &done);
    if (SUCCEEDED(hr) && length)
        hr = stream->Write(data.data(), length, &done);
    if (FAILED(hr))
        return hr;
    if (clearDirty)
        m_probe->setDirty(false);
    return configResult("save", S_OK);
}

HRESULT ProbePersistStream::GetSizeMax(ULARGE_INTEGER* size)
{
    log("IPersistStream::GetSizeMax()");
    if (!size)
        return E_POINTER;
    *size = sizeof(std::uint32_t) + m_probe->data().size();
    return S_OK;
}

// --- IMPEventFilter -------------------------------------------------------------------------

ProbeEventFilter::ProbeEventFilter(CompProbe* outer)
    : TKAVComObject(outer, IID_IMPEventFilter, false)
    , m_probe(outer)
{
}

HRESULT ProbeEventFilter::MPOnEvents(IMPEventQueue* queue, const tagMPQSTATUS& status)
{
    std::string line = "IMPEventFilter::MPOnEvents(first=" + std::to_string(status.firstEventNumber)
        + ", end=" + std::to_string(status.endEventNumber) + ", count=" + std::to_string(status.eventCount)
        + ", flags=" + hex(status.flags) + ")";
    if (!queue || !(status.flags & MPQSTATUS_FLAG_VALID)) {
        log(line);
        return S_OK;
    }
    tagMPEVENT event{};
    std::uint32_t count = 0, more = 0;
    const HRESULT hr = queue->MPQGetFirstEvent(&count, &event, &more, MPEVENT_MASK_ALL);
    line += " event(hr=" + resultText(hr) + ", type=" + hex(event.type) + ", port=" + std::to_string(event.port)
        + ", channel=" + std::to_string(event.channel) + ", length=" + std::to_string(event.length) + ")";
    log(line);
    if (SUCCEEDED(hr) && config("echo") == "1") {
        if (IMPAsyncOutput* output = m_probe->output()) {
            output->MPOutput(event, MPASYNC_SENDNOW);
            m_probe->releaseOutput(output);
        }
    }
    // System event bytes belong to the reader.
    if (SUCCEEDED(hr) && MPEventIsSystem(event.type))
        std::free(event.data.ptr);
    return S_OK;
}

HRESULT ProbeEventFilter::MPGetSupportedTimeFormats(_MPTIME_FORMAT* first, _MPTIME_FORMAT* second,
                                                    std::uint32_t* count)
{
    log("IMPEventFilter::MPGetSupportedTimeFormats()");
    if (first)
        *first = MPTF_FORMAT1;
    if (second)
        *second = MPTF_FORMAT2;
    if (count)
        *count = 2;
    return S_OK;
}

HRESULT ProbeEventFilter::MPSetTimeFormat(_MPTIME_FORMAT format)
{
    log("IMPEventFilter::MPSetTimeFormat(" + std::to_string(format) + ")");
    return S_OK;
}

// --- ISpecifyPropertyPages ------------------------------------------------------------------

ProbeSpecifyPropertyPages::ProbeSpecifyPropertyPages(CompProbe* outer)
    : TKAVComObject(outer, IID_ISpecifyPropertyPages, false)
{
}

HRESULT ProbeSpecifyPropertyPages::GetPages(tagCAUUID* pages)
{
    log("ISpecifyPropertyPages::GetPages()");
    if (!pages)
        return E_POINTER;
    pages->count = 0;
    pages->elems = nullptr;
    // "pages": comma-separated page identifiers.
    std::vector<CFUUIDBytes> ids;
    std::string_view rest;
    const std::string list = config("pages");
    rest = list;
    while (!rest.empty()) {
        const std::size_t end = rest.find(',');
        CFUUIDBytes id{};
        if (NS_KAV::parseUuid(rest.substr(0, end), id))
            ids.push_back(id);
        if (end == std::string_view::npos)
            break;
        rest = rest.substr(end + 1);
    }
    if (!ids.empty()) {
        pages->elems = static_cast<CFUUIDBytes*>(std::malloc(ids.size() * sizeof(CFUUIDBytes)));
        if (!pages->elems)
            return E_OUTOFMEMORY;
        std::memcpy(pages->elems, ids.data(), ids.size() * sizeof(CFUUIDBytes));
        pages->count = static_cast<std::uint32_t>(ids.size());
    }
    return configResult("getPages", S_OK);
}

// --- IMPTotalRecall -------------------------------------------------------------------------

ProbeTotalRecall::ProbeTotalRecall(CompProbe* outer)
    : TKAVComObject(outer, IID_IMPTotalRecall, false)
    , m_probe(outer)
{
}

HRESULT ProbeTotalRecall::MPSynchronize(std::int32_t direction, IMPClientProgressHandler* progress,
                                        std::int32_t optionMask)
{
    log("IMPTotalRecall::MPSynchronize(direction=" + std::to_string(direction) + ", progress="
        + (progress ? "set" : "null") + ", optionMask=" + hex(static_cast<std::uint32_t>(optionMask)) + ")");
    if (progress && config("progress") == "1") {
        char16_t* text = olestring("probe step");
        progress->MPProgress(m_probe, 1, 2, text);
        std::free(text);
    }
    // "syncWaitCancel=1": run until MPCancelSynchronize (at most 30 s), then report cancelled.
    if (config("syncWaitCancel") == "1") {
        std::unique_lock<std::mutex> lock(m_mutex);
        const bool cancelled = m_cancelled.wait_for(lock, std::chrono::seconds(30), [this] { return m_cancelRequested; });
        m_cancelRequested = false;
        if (cancelled)
            return MP_SYNC_CANCELLED;
    }
    return configResult("sync", S_OK);
}

HRESULT ProbeTotalRecall::MPGetErrorText(std::int32_t code, char16_t** text)
{
    log("IMPTotalRecall::MPGetErrorText(" + std::to_string(code) + ")");
    if (!text)
        return E_POINTER;
    *text = olestring("Probe error " + std::to_string(code));
    return S_OK;
}

HRESULT ProbeTotalRecall::MPCancelSynchronize()
{
    log("IMPTotalRecall::MPCancelSynchronize()");
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_cancelRequested = true;
    }
    m_cancelled.notify_all();
    return S_OK;
}

HRESULT ProbeTotalRecall::MPGetIconURLs(char16_t** first, char16_t** second)
{
    log("IMPTotalRecall::MPGetIconURLs()");
    const std::string icon1 = config("icon1"), icon2 = config("icon2");
    if (first)
        *first = icon1.empty() ? nullptr : olestring(icon1);
    if (second)
        *second = icon2.empty() ? nullptr : olestring(icon2);
    return configResult("iconURLs", S_OK);
}

HRESULT ProbeTotalRecall::MPGetSyncOptions(std::int32_t* selectionMode, char16_t** optionList,
                                           std::uint32_t* group, std::int32_t* offline, std::int32_t* optionMask)
{
    log("IMPTotalRecall::MPGetSyncOptions()");
    if (selectionMode)
        *selectionMode = std::atoi(config("selectionMode", "0").c_str());
    if (optionList) {
        // Configuration items are separated by ';', so the list is configured with '|'.
        std::string list = config("optionList");
        std::replace(list.begin(), list.end(), '|', ';');
        *optionList = list.empty() ? nullptr : olestring(list);
    }
    if (group)
        *group = static_cast<std::uint32_t>(std::atoi(config("group", "0").c_str()));
    if (offline)
        *offline = std::atoi(config("offline", "0").c_str());
    if (optionMask)
        *optionMask = std::atoi(config("optionMask", "0").c_str());
    return configResult("syncOptions", S_OK);
}

// --- IMPNotificationSink --------------------------------------------------------------------

ProbeNotificationSink::ProbeNotificationSink(CompProbe* outer)
    : TKAVComObject(outer, IID_IMPNotificationSink, false)
{
}

HRESULT ProbeNotificationSink::MPNotify(const tagMPMSG& message)
{
    log("IMPNotificationSink::MPNotify(" + NS_KAV::uuidToText(message.id) + ")");
    return S_OK;
}
