// KAV plug-in SDK: the interfaces between host and components.
//
// Each interface is an abstract class whose virtual table holds QueryInterface, AddRef,
// Release and then the interface's own methods in fixed order (no reserved entry). The
// destructors are protected and non-virtual so that they add no table entry; objects are
// destroyed only by their own Release. Methods return result codes and never throw.
//
// Type mapping of the plug-in standard: `unsigned long` -> uint32_t, `long` -> int32_t,
// `long long` -> int64_t, 16-bit strings -> char16_t* (UTF-16, zero-terminated, malloc/free).
#pragma once

#include <kav/KAVRecords.h>
#include <kav/KAVTypes.h>

#include <cstdint>

struct IMPEventQueue;
struct IMPAsyncOutput;
struct IConnectionPoint;
struct IConnectionPointContainer;
struct IEnumConnectionPoints;
struct IEnumConnections;
struct IPropertyPageSite;

struct IUnknown {
    static constexpr CFUUIDBytes iid = IID_IUnknown;

    virtual HRESULT QueryInterface(CFUUIDBytes riid, void** ppv) = 0;
    virtual std::uint32_t AddRef() = 0;
    virtual std::uint32_t Release() = 0;

protected:
    ~IUnknown() = default;
};

// --- component side --------------------------------------------------------------------

struct IMPInitialise : IUnknown {
    static constexpr CFUUIDBytes iid = IID_IMPInitialise;

    // host: the host context object; output: where the component sends MIDI; flags: in/out.
    virtual HRESULT MPConnect(IUnknown* host, IMPAsyncOutput* output, _MPINITIALISE_MODE mode,
                              std::uint32_t value, std::uint32_t* flags) = 0;
    virtual HRESULT MPDisconnect() = 0;

protected:
    ~IMPInitialise() = default;
};

struct IMPEventFilter : IUnknown {
    static constexpr CFUUIDBytes iid = IID_IMPEventFilter;

    virtual HRESULT MPOnEvents(IMPEventQueue* queue, const tagMPQSTATUS& status) = 0;
    virtual HRESULT MPGetSupportedTimeFormats(_MPTIME_FORMAT* first, _MPTIME_FORMAT* second,
                                              std::uint32_t* count) = 0;
    virtual HRESULT MPSetTimeFormat(_MPTIME_FORMAT format) = 0;

protected:
    ~IMPEventFilter() = default;
};

struct IMPNotificationSink : IUnknown {
    static constexpr CFUUIDBytes iid = IID_IMPNotificationSink;

    virtual HRESULT MPNotify(const tagMPMSG& message) = 0;

protected:
    ~IMPNotificationSink() = default;
};

// Progress callback handed to MPSynchronize as a plain pointer: no IUnknown entries, never
// queried or counted.
struct IMPClientProgressHandler {
    // `value` of `total` steps; text may be null.
    virtual HRESULT MPProgress(IUnknown* sender, std::int32_t value, std::int32_t total,
                               char16_t* text) = 0;
    // Asks the host to stop the transfer with `code` (MP_SYNC_CANCELLED: cancelled).
    virtual HRESULT MPAbort(IUnknown* sender, std::int32_t code) = 0;

protected:
    ~IMPClientProgressHandler() = default;
};

// Answered under IID_IMPTotalRecall and, by older components, IID_IMPTotalRecallEarlier.
struct IMPTotalRecall : IUnknown {
    static constexpr CFUUIDBytes iid = IID_IMPTotalRecall;

    // direction 1 = to hardware, 0 = from hardware; 0 success, MP_SYNC_CANCELLED, else failed.
    virtual HRESULT MPSynchronize(std::int32_t direction, IMPClientProgressHandler* progress,
                                  std::int32_t optionMask) = 0;
    virtual HRESULT MPGetErrorText(std::int32_t code, char16_t** text) = 0;
    virtual HRESULT MPCancelSynchronize() = 0;
    virtual HRESULT MPGetIconURLs(char16_t** first, char16_t** second) = 0;
    // Any pointer may be null.
    virtual HRESULT MPGetSyncOptions(std::int32_t* selectionMode, char16_t** optionList,
                                     std::uint32_t* group, std::int32_t* offline,
                                     std::int32_t* optionMask) = 0;

protected:
    ~IMPTotalRecall() = default;
};

// Optional: the host calls it right after creating an instance; a failure discards it.
struct IMPInstanceSetup : IUnknown {
    static constexpr CFUUIDBytes iid = IID_IMPInstanceSetup;

    virtual HRESULT MPInstanceSetup(const CFUUIDBytes& factoryID, const CFUUIDBytes& typeID) = 0;

protected:
    ~IMPInstanceSetup() = default;
};

// --- host side ------------------------------------------------------------------------

struct IMPTimeInfo : IUnknown {
    static constexpr CFUUIDBytes iid = IID_IMPTimeInfo;

    virtual HRESULT MPTimeConvert(std::int64_t time, _MPTIME_FORMAT from, std::uint32_t fromParam,
                                  std::int64_t* out, _MPTIME_FORMAT to, std::uint32_t toParam) = 0;
    virtual HRESULT MPTimeToMBT(std::int64_t time, _MPTIME_FORMAT format, std::uint32_t param,
                                std::uint32_t* measure, std::uint32_t* beat, std::uint32_t* tick) = 0;
    virtual HRESULT MPMBTToTime(std::uint32_t measure, std::uint32_t beat, std::uint32_t tick,
                                std::int64_t* time, _MPTIME_FORMAT format, std::uint32_t param) = 0;
    virtual HRESULT MPGetTimeData(_MPTIME_FORMAT format, std::uint32_t* data) = 0;

protected:
    ~IMPTimeInfo() = default;
};

struct IMPEventQueue : IUnknown {
    static constexpr CFUUIDBytes iid = IID_IMPEventQueue;

    virtual HRESULT MPQSetFilter(tagMPIDLIST* ports, tagMPIDLIST* ids) = 0;
    virtual HRESULT MPQGetFirstEvent(std::uint32_t* count, tagMPEVENT* event, std::uint32_t* more,
                                     std::uint32_t typeMask) = 0;
    virtual HRESULT MPQGetNextEvent(std::uint32_t* count, tagMPEVENT* event, std::uint32_t* more,
                                    std::uint32_t typeMask) = 0;
    virtual HRESULT MPQGetPrevEvent(std::uint32_t* count, tagMPEVENT* event, std::uint32_t* more,
                                    std::uint32_t typeMask) = 0;
    virtual HRESULT MPQGetEvent(std::uint32_t index, tagMPEVENT* event, std::uint32_t typeMask) = 0;
    virtual HRESULT MPQSetEvent(std::uint32_t slot, const tagMPEVENT& event) = 0;
    virtual HRESULT MPQInsertEvent(std::uint32_t slot, const tagMPEVENT& event) = 0;
    virtual HRESULT MPQDeleteEvent(std::uint32_t slot) = 0;

protected:
    ~IMPEventQueue() = default;
};

struct IMPAsyncOutput : IUnknown {
    static constexpr CFUUIDBytes iid = IID_IMPAsyncOutput;

    virtual HRESULT MPOutput(const tagMPEVENT& event, _MPASYNC_MODE mode) = 0;

protected:
    ~IMPAsyncOutput() = default;
};

// Base of IMPClientServices2: its methods lead IMPClientServices2's table. A host answers
// IID_IMPClientServices with its IMPClientServices2 object.
struct IMPClientServices : IUnknown {
    static constexpr CFUUIDBytes iid = IID_IMPClientServices;

    // Port list of one direction; the caller frees every name and then the array.
    virtual HRESULT MPGetPorts(bool output, tagMPPORTDATA* data) = 0;
    virtual HRESULT MPRequestPort(std::uint32_t* port, CFUUIDBytes* identity, char16_t** name) = 0;
    virtual HRESULT MPReleasePort(std::uint32_t port) = 0;
    virtual HRESULT MPAudioPortConfig(_MPAUDIOSTATE state) = 0;

protected:
    ~IMPClientServices() = default;
};

struct IMPClientServices2 : IMPClientServices {
    static constexpr CFUUIDBytes iid = IID_IMPClientServices2;

    virtual HRESULT MPAdvisePortName(EIMPPortUsageOp op, CFUUIDBytes* portIdentity, char16_t* name,
                                     CFUUIDBytes* unused, IUnknown* user, std::int32_t usageIndex) = 0;

protected:
    ~IMPClientServices2() = default;
};

struct IMPClientInfo : IUnknown {
    static constexpr CFUUIDBytes iid = IID_IMPClientInfo;

    virtual HRESULT MPGetClientName(char16_t** name, std::uint32_t* value) = 0;
    virtual HRESULT MPGetSongName(char16_t** first, char16_t** second) = 0;
    virtual HRESULT MPGetParam(CFUUIDBytes& id, std::int64_t param, std::int64_t* result,
                               std::uint32_t size, std::uint8_t* data) = 0;
    virtual HRESULT MPSetParam(CFUUIDBytes& id, std::int64_t param, std::uint32_t size,
                               std::uint8_t* data) = 0;

protected:
    ~IMPClientInfo() = default;
};

struct IMPQTBasedHost : IUnknown {
    static constexpr CFUUIDBytes iid = IID_IMPQTBasedHost;

    virtual HRESULT QTGetInformation(std::uint32_t& info) = 0;
    // S_OK when `application` is the host's own Qt application object (pass qApp). A
    // 16-bit argument cannot carry an object's identity, so this takes a pointer.
    virtual HRESULT QTIdenticalHost(const void* application) = 0;

protected:
    ~IMPQTBasedHost() = default;
};

struct ISequentialStream : IUnknown {
    virtual HRESULT Read(void* buffer, std::uint32_t count, std::uint32_t* done) = 0;
    virtual HRESULT Write(const void* buffer, std::uint32_t count, std::uint32_t* done) = 0;

protected:
    ~ISequentialStream() = default;
};

struct IStream : ISequentialStream {
    static constexpr CFUUIDBytes iid = IID_IStream;

    // origin: 0 from the start, 1 from the current position, 2 from the end.
    virtual HRESULT Seek(LARGE_INTEGER offset, std::uint32_t origin, ULARGE_INTEGER* position) = 0;
    virtual HRESULT SetSize(ULARGE_INTEGER size) = 0;
    virtual HRESULT CopyTo(IStream* target, ULARGE_INTEGER count, ULARGE_INTEGER* read,
                           ULARGE_INTEGER* written) = 0;
    virtual HRESULT Commit(std::uint32_t flags) = 0;
    virtual HRESULT Revert() = 0;
    virtual HRESULT LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER count, std::uint32_t type) = 0;
    virtual HRESULT UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER count, std::uint32_t type) = 0;
    virtual HRESULT Stat(tagSTATSTG* stat, std::uint32_t flags) = 0;
    virtual HRESULT Clone(IStream** clone) = 0;

protected:
    ~IStream() = default;
};

struct IPersist : IUnknown {
    virtual HRESULT GetClassID(CFUUIDBytes* classID) = 0;

protected:
    ~IPersist() = default;
};

struct IPersistStream : IPersist {
    static constexpr CFUUIDBytes iid = IID_IPersistStream;

    virtual HRESULT IsDirty() = 0; // S_OK dirty, S_FALSE clean
    virtual HRESULT Load(IStream* stream) = 0;
    virtual HRESULT Save(IStream* stream, bool clearDirty) = 0;
    virtual HRESULT GetSizeMax(ULARGE_INTEGER* size) = 0;

protected:
    ~IPersistStream() = default;
};

// --- connection points ----------------------------------------------------------------

struct IConnectionPointContainer : IUnknown {
    static constexpr CFUUIDBytes iid = IID_IConnectionPointContainer;

    virtual HRESULT EnumConnectionPoints(IEnumConnectionPoints** ppEnum) = 0;
    virtual HRESULT FindConnectionPoint(CFUUIDBytes riid, IConnectionPoint** ppCP) = 0;

protected:
    ~IConnectionPointContainer() = default;
};

struct IEnumConnectionPoints : IUnknown {
    static constexpr CFUUIDBytes iid = IID_IEnumConnectionPoints;

    virtual HRESULT Next(std::uint32_t count, IConnectionPoint** points, std::uint32_t* fetched) = 0;
    virtual HRESULT Skip(std::uint32_t count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumConnectionPoints** ppEnum) = 0;

protected:
    ~IEnumConnectionPoints() = default;
};

struct IConnectionPoint : IUnknown {
    static constexpr CFUUIDBytes iid = IID_IConnectionPoint;

    virtual HRESULT GetConnectionInterface(CFUUIDBytes* pIID) = 0;
    virtual HRESULT GetConnectionPointContainer(IConnectionPointContainer** ppCPC) = 0;
    virtual HRESULT Advise(IUnknown* pUnk, std::uint32_t* pdwCookie) = 0;
    virtual HRESULT Unadvise(std::uint32_t cookie) = 0;
    virtual HRESULT EnumConnections(IEnumConnections** ppEnum) = 0;

protected:
    ~IConnectionPoint() = default;
};

struct IEnumConnections : IUnknown {
    static constexpr CFUUIDBytes iid = IID_IEnumConnections;

    virtual HRESULT Next(std::uint32_t count, CONNECTDATA* connections, std::uint32_t* fetched) = 0;
    virtual HRESULT Skip(std::uint32_t count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumConnections** ppEnum) = 0;

protected:
    ~IEnumConnections() = default;
};

// --- editor pages ---------------------------------------------------------------------

// The site a page may be given; hosts of this standard pass none, so it has no methods of
// its own (a page only counts its reference).
struct IPropertyPageSite : IUnknown {
protected:
    ~IPropertyPageSite() = default;
};

struct ISpecifyPropertyPages : IUnknown {
    static constexpr CFUUIDBytes iid = IID_ISpecifyPropertyPages;

    // Fills count and a malloc'ed array of page identifiers; the caller frees it.
    virtual HRESULT GetPages(tagCAUUID* pages) = 0;

protected:
    ~ISpecifyPropertyPages() = default;
};

struct IPropertyPage : IUnknown {
    static constexpr CFUUIDBytes iid = IID_IPropertyPage;

    virtual HRESULT SetPageSite(IPropertyPageSite* site) = 0;
    // parentWindow carries the parent's native window id (WId) as a pointer value; see
    // kav/KAVQtParent.h.
    virtual HRESULT Activate(void** parentWindow, const tagRECT* rect, bool modal) = 0;
    virtual HRESULT Deactivate() = 0;
    virtual HRESULT GetPageInfo(tagPROPPAGEINFO* info) = 0;
    virtual HRESULT SetObjects(std::uint32_t count, IUnknown** objects) = 0;
    virtual HRESULT Show(std::uint32_t command) = 0;
    virtual HRESULT Move(const tagRECT* rect) = 0;
    virtual HRESULT IsPageDirty() = 0;
    virtual HRESULT Apply() = 0;
    virtual HRESULT Help(const char16_t* helpDir) = 0;
    // message points to a `tagMPKEYEVENT*`; S_OK handled, S_FALSE not handled.
    virtual HRESULT TranslateAccelerator(void** message) = 0;

protected:
    ~IPropertyPage() = default;
};

// --- proxy component and its outer host ------------------------------------------------

struct IMW2Comp : IUnknown {
    static constexpr CFUUIDBytes iid = IID_IMW2Comp;

    virtual HRESULT DisplayEditor(CFUUIDBytes& clsid, IUnknown* component) = 0;
    virtual HRESULT Resync(void** arg) = 0;

protected:
    ~IMW2Comp() = default;
};

// The outer host's page manager; only its first method is used.
struct IMW2CompClient : IUnknown {
    static constexpr CFUUIDBytes iid = IID_IMW2CompClient;

    virtual HRESULT MPPageManage(IPropertyPage* page, MW2CEW_OP op, tagMWWINIFO* info) = 0;

protected:
    ~IMW2CompClient() = default;
};
