#pragma once
// The probe component: an outer IMPInitialise object aggregating one part per further
// interface. Every call is logged (ProbeState.h); which interfaces are answered and what the
// calls return is configured per bundle or at run time.
//
// To probe another interface: add a part class below, create it in CompProbe::Init, answer
// it in CompProbe::AggrQueryInterface under a name for the "answer" list, release it in
// ~CompProbe, and document the name in README.md.

#include <kav/KAVComObject.h>

#include <condition_variable>
#include <mutex>
#include <string>

class CompProbe;

namespace NS_Probe {
// A readable name for known identifiers, else the identifier text.
std::string interfaceName(const CFUUIDBytes& iid);
} // namespace NS_Probe

class ProbeInstanceSetup : public TKAVComObject<ProbeInstanceSetup, IMPInstanceSetup> {
public:
    static constexpr char kClassName[] = "ProbeInstanceSetup";
    explicit ProbeInstanceSetup(CompProbe* outer);
    HRESULT MPInstanceSetup(const CFUUIDBytes& factoryID, const CFUUIDBytes& typeID) override;
};

class ProbePersistStream : public TKAVComObject<ProbePersistStream, IPersistStream> {
public:
    static constexpr char kClassName[] = "ProbePersistStream";
    explicit ProbePersistStream(CompProbe* outer);
    HRESULT GetClassID(CFUUIDBytes* classID) override;
    HRESULT IsDirty() override;
    HRESULT Load(IStream* stream) override;
    HRESULT Save(IStream* stream, bool clearDirty) override;
    HRESULT GetSizeMax(ULARGE_INTEGER* size) override;

private:
    CompProbe* m_probe;
};

class ProbeEventFilter : public TKAVComObject<ProbeEventFilter, IMPEventFilter> {
public:
    static constexpr char kClassName[] = "ProbeEventFilter";
    explicit ProbeEventFilter(CompProbe* outer);
    HRESULT MPOnEvents(IMPEventQueue* queue, const tagMPQSTATUS& status) override;
    HRESULT MPGetSupportedTimeFormats(_MPTIME_FORMAT* first, _MPTIME_FORMAT* second,
                                      std::uint32_t* count) override;
    HRESULT MPSetTimeFormat(_MPTIME_FORMAT format) override;

private:
    CompProbe* m_probe;
};

class ProbeSpecifyPropertyPages : public TKAVComObject<ProbeSpecifyPropertyPages, ISpecifyPropertyPages> {
public:
    static constexpr char kClassName[] = "ProbeSpecifyPropertyPages";
    explicit ProbeSpecifyPropertyPages(CompProbe* outer);
    HRESULT GetPages(tagCAUUID* pages) override;
};

class ProbeTotalRecall : public TKAVComObject<ProbeTotalRecall, IMPTotalRecall> {
public:
    static constexpr char kClassName[] = "ProbeTotalRecall";
    explicit ProbeTotalRecall(CompProbe* outer);
    HRESULT MPSynchronize(std::int32_t direction, IMPClientProgressHandler* progress,
                          std::int32_t optionMask) override;
    HRESULT MPGetErrorText(std::int32_t code, char16_t** text) override;
    HRESULT MPCancelSynchronize() override;
    HRESULT MPGetIconURLs(char16_t** first, char16_t** second) override;
    HRESULT MPGetSyncOptions(std::int32_t* selectionMode, char16_t** optionList, std::uint32_t* group,
                             std::int32_t* offline, std::int32_t* optionMask) override;

private:
    CompProbe* m_probe;
    std::mutex m_mutex;
    std::condition_variable m_cancelled;
    bool m_cancelRequested = false;
};

class ProbeNotificationSink : public TKAVComObject<ProbeNotificationSink, IMPNotificationSink> {
public:
    static constexpr char kClassName[] = "ProbeNotificationSink";
    explicit ProbeNotificationSink(CompProbe* outer);
    HRESULT MPNotify(const tagMPMSG& message) override;
};

class CompProbe : public TKAVComObject<CompProbe, IMPInitialise> {
public:
    static constexpr char kClassName[] = "CompProbe";

    // `clsid`: the factory that made it (instance counting and GetClassID).
    explicit CompProbe(const CFUUIDBytes& clsid);
    ~CompProbe() override;

    HRESULT Init() override;

    HRESULT QueryInterface(CFUUIDBytes riid, void** ppv) override;
    HRESULT MPConnect(IUnknown* host, IMPAsyncOutput* output, _MPINITIALISE_MODE mode,
                      std::uint32_t value, std::uint32_t* flags) override;
    HRESULT MPDisconnect() override;

    HRESULT AggrQueryInterface(const CFUUIDBytes& riid, void** ppv) override;
    static HRESULT NonDelegatingQueryInterface(IUnknown* self, CFUUIDBytes riid, void** ppv);

    const CFUUIDBytes& clsid() const { return m_clsid; }
    IMPAsyncOutput* output();                // AddRef'ed, or null
    void releaseOutput(IMPAsyncOutput* output);

    // Persistent data of the component (what Save writes and Load reads).
    std::string data();
    void setData(std::string data);
    bool dirty();
    void setDirty(bool dirty);

private:
    CFUUIDBytes m_clsid;
    std::mutex m_mutex;
    IUnknown* m_host = nullptr;
    IMPAsyncOutput* m_output = nullptr;
    std::string m_data;
    bool m_dirty = false;

    ProbeInstanceSetup* m_setup = nullptr;
    ProbePersistStream* m_persist = nullptr;
    ProbeEventFilter* m_filter = nullptr;
    ProbeSpecifyPropertyPages* m_pages = nullptr;
    ProbeTotalRecall* m_recall = nullptr;
    ProbeNotificationSink* m_sink = nullptr;
};
