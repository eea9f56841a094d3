#pragma once
// Generic Synth Editor: a device editor for any synthesizer that is set through control
// changes. It remembers the last value of every controller it hears, saves them with the
// Workspace and sends them all back to the device on synchronization.

#include <kav/KAVComObject.h>

#include <atomic>
#include <cstdint>
#include <mutex>

class CompGenericSynth;

class CompGSEInstanceSetup : public TKAVComObject<CompGSEInstanceSetup, IMPInstanceSetup> {
public:
    static constexpr char kClassName[] = "CompGSEInstanceSetup";
    explicit CompGSEInstanceSetup(CompGenericSynth* outer);
    HRESULT MPInstanceSetup(const CFUUIDBytes& factoryID, const CFUUIDBytes& typeID) override;
};

class CompGSEPersistStream : public TKAVComObject<CompGSEPersistStream, IPersistStream> {
public:
    static constexpr char kClassName[] = "CompGSEPersistStream";
    explicit CompGSEPersistStream(CompGenericSynth* outer);
    HRESULT GetClassID(CFUUIDBytes* classID) override;
    HRESULT IsDirty() override;
    HRESULT Load(IStream* stream) override;
    HRESULT Save(IStream* stream, bool clearDirty) override;
    HRESULT GetSizeMax(ULARGE_INTEGER* size) override;

private:
    CompGenericSynth* m_synth;
};

class CompGSEEventFilter : public TKAVComObject<CompGSEEventFilter, IMPEventFilter> {
public:
    static constexpr char kClassName[] = "CompGSEEventFilter";
    explicit CompGSEEventFilter(CompGenericSynth* outer);
    HRESULT MPOnEvents(IMPEventQueue* queue, const tagMPQSTATUS& status) override;
    HRESULT MPGetSupportedTimeFormats(_MPTIME_FORMAT* first, _MPTIME_FORMAT* second, std::uint32_t* count) override;
    HRESULT MPSetTimeFormat(_MPTIME_FORMAT format) override;

private:
    CompGenericSynth* m_synth;
};

class CompGSESpecifyPropertyPages : public TKAVComObject<CompGSESpecifyPropertyPages, ISpecifyPropertyPages> {
public:
    static constexpr char kClassName[] = "CompGSESpecifyPropertyPages";
    explicit CompGSESpecifyPropertyPages(CompGenericSynth* outer);
    HRESULT GetPages(tagCAUUID* pages) override; // no editor page yet
};

class CompGSETotalRecall : public TKAVComObject<CompGSETotalRecall, IMPTotalRecall> {
public:
    static constexpr char kClassName[] = "CompGSETotalRecall";
    explicit CompGSETotalRecall(CompGenericSynth* outer);
    HRESULT MPSynchronize(std::int32_t direction, IMPClientProgressHandler* progress, std::int32_t optionMask) override;
    HRESULT MPGetErrorText(std::int32_t code, char16_t** text) override;
    HRESULT MPCancelSynchronize() override;
    HRESULT MPGetIconURLs(char16_t** first, char16_t** second) override;
    HRESULT MPGetSyncOptions(std::int32_t* selectionMode, char16_t** optionList, std::uint32_t* group,
                             std::int32_t* offline, std::int32_t* optionMask) override;

private:
    CompGenericSynth* m_synth;
    std::atomic<bool> m_cancel{false};
};

class CompGenericSynth : public TKAVComObject<CompGenericSynth, IMPInitialise> {
public:
    static constexpr char kClassName[] = "CompGenericSynth";
    static constexpr int kControllers = 128;

    explicit CompGenericSynth(const CFUUIDBytes& clsid);
    ~CompGenericSynth() override;
    HRESULT Init() override;
    HRESULT AggrQueryInterface(const CFUUIDBytes& riid, void** ppv) override;

    HRESULT MPConnect(IUnknown* host, IMPAsyncOutput* output, _MPINITIALISE_MODE mode, std::uint32_t value,
                      std::uint32_t* flags) override;
    HRESULT MPDisconnect() override;

    const CFUUIDBytes& clsid() const { return m_clsid; }

    // Controller state, guarded by m_mutex: events arrive on another thread than saves.
    struct TState {
        std::uint32_t port = 0;
        std::uint8_t channel = 0;
        std::uint8_t values[kControllers] = {};
        bool known[kControllers] = {};
    };
    TState state();
    void setState(const TState& state);
    void controlChange(std::uint32_t port, std::uint8_t channel, std::uint8_t controller, std::uint8_t value);
    bool dirty();
    void clearDirty();

    IMPAsyncOutput* output(); // AddRef'ed, or null

private:
    CFUUIDBytes m_clsid;
    std::mutex m_mutex;
    TState m_state;
    bool m_dirty = false;
    IUnknown* m_host = nullptr;
    IMPAsyncOutput* m_output = nullptr;

    CompGSEInstanceSetup* m_setup = nullptr;
    CompGSEPersistStream* m_persist = nullptr;
    CompGSEEventFilter* m_filter = nullptr;
    CompGSESpecifyPropertyPages* m_pages = nullptr;
    CompGSETotalRecall* m_recall = nullptr;
};
