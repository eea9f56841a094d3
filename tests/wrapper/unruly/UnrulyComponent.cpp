// A component that misbehaves on purpose: it answers interface queries without objects,
// reports page counts it never allocated, leaves garbage in out-parameters when it fails
// and hands over strings with unusual results. The host must survive all of it.
//
// The behaviour is a comma list of words set with UnrulySetMode (see `has` below).

#include <kav/KAVComObject.h>
#include <kav/KAVHelpers.h>
#include <kav/KAVInterfaces.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

namespace {

std::mutex s_modeMutex;
std::string s_mode;
std::atomic<int> s_live{0};
std::atomic<int> s_disconnects{0};

bool has(const char* word)
{
    std::lock_guard<std::mutex> lock(s_modeMutex);
    const std::string mode = "," + s_mode + ",";
    return mode.find("," + std::string(word) + ",") != std::string::npos;
}

// Stands for whatever a careless component leaves behind; never dereferenced by a sound host.
template <class T>
T* garbage()
{
    return reinterpret_cast<T*>(static_cast<std::uintptr_t>(0x10));
}

char16_t* olestring(const char* text)
{
    std::u16string units;
    for (const char* c = text; *c; ++c)
        units.push_back(static_cast<char16_t>(*c));
    return CreateOLEString(std::u16string_view(units));
}

class CompUnruly final : public IMPInitialise, public ISpecifyPropertyPages, public IMPTotalRecall,
                         public IMPEventFilter {
public:
    CompUnruly() { ++s_live; }

    HRESULT QueryInterface(CFUUIDBytes riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (IsEqualIID(riid, IID_IUnknown))
            *ppv = static_cast<IMPInitialise*>(this);
        else if (IsEqualIID(riid, IID_IMPInitialise)) {
            if (has("noInitialise"))
                return E_NOINTERFACE;
            *ppv = static_cast<IMPInitialise*>(this);
        } else if (IsEqualIID(riid, IID_ISpecifyPropertyPages) || IsEqualIID(riid, IID_IMPEventFilter)
                   || IsEqualIID(riid, IID_IMPTotalRecall) || IsEqualIID(riid, IID_IPersistStream)) {
            if (has("nullAnswers"))
                return S_OK; // "success" without an object
            if (has("failWithGarbage")) {
                *ppv = garbage<void>();
                return E_NOINTERFACE;
            }
            if (IsEqualIID(riid, IID_ISpecifyPropertyPages))
                *ppv = static_cast<ISpecifyPropertyPages*>(this);
            else if (IsEqualIID(riid, IID_IMPEventFilter))
                *ppv = static_cast<IMPEventFilter*>(this);
            else if (IsEqualIID(riid, IID_IMPTotalRecall))
                *ppv = static_cast<IMPTotalRecall*>(this);
            else
                return E_NOINTERFACE;
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    std::uint32_t AddRef() override { return ++m_count; }
    std::uint32_t Release() override
    {
        const std::uint32_t count = --m_count;
        if (count == 0) {
            --s_live;
            delete this;
        }
        return count;
    }

    // IMPInitialise
    HRESULT MPConnect(IUnknown*, IMPAsyncOutput*, _MPINITIALISE_MODE, std::uint32_t, std::uint32_t* flags) override
    {
        if (flags)
            *flags = 0xFFFFFFFFu; // not used by the host
        return S_OK;
    }
    HRESULT MPDisconnect() override
    {
        ++s_disconnects;
        return E_FAIL;
    }

    // ISpecifyPropertyPages
    HRESULT GetPages(tagCAUUID* pages) override
    {
        if (has("pagesHugeCount")) {
            // One identifier allocated, an absurd count reported.
            pages->elems = static_cast<CFUUIDBytes*>(std::malloc(sizeof(CFUUIDBytes)));
            std::memset(pages->elems, 0xAB, sizeof(CFUUIDBytes));
            pages->count = 0xFFFFFFFFu;
            return S_OK;
        }
        if (has("pagesNullArray")) {
            pages->count = 3;
            pages->elems = nullptr;
            return S_OK;
        }
        if (has("pagesZeroCount")) {
            pages->count = 0;
            pages->elems = static_cast<CFUUIDBytes*>(std::malloc(sizeof(CFUUIDBytes)));
            return S_OK;
        }
        pages->count = 7;
        pages->elems = garbage<CFUUIDBytes>();
        return E_FAIL;
    }

    // IMPTotalRecall
    HRESULT MPSynchronize(std::int32_t, IMPClientProgressHandler*, std::int32_t) override { return E_FAIL; }
    HRESULT MPGetErrorText(std::int32_t, char16_t** text) override
    {
        if (has("errorEmpty")) {
            *text = olestring("");
            return S_OK;
        }
        if (has("errorNull")) {
            *text = nullptr;
            return S_OK;
        }
        *text = garbage<char16_t>();
        return E_FAIL;
    }
    HRESULT MPCancelSynchronize() override { return S_OK; }
    HRESULT MPGetIconURLs(char16_t** first, char16_t** second) override
    {
        if (has("iconsFalse")) {
            // Strings handed over with S_FALSE: the host frees them but does not use them.
            *first = olestring("/nonexistent/first.png");
            *second = olestring("/nonexistent/second.png");
            return S_FALSE;
        }
        *first = garbage<char16_t>();
        *second = garbage<char16_t>();
        return E_FAIL;
    }
    HRESULT MPGetSyncOptions(std::int32_t* selectionMode, char16_t** optionList, std::uint32_t* group,
                             std::int32_t* offline, std::int32_t* optionMask) override
    {
        if (selectionMode)
            *selectionMode = -1;
        if (optionList)
            *optionList = garbage<char16_t>();
        if (group)
            *group = 0xFFFFFFFFu;
        if (offline)
            *offline = 1;
        if (optionMask)
            *optionMask = 0x5A5A;
        return E_FAIL;
    }

    // IMPEventFilter
    HRESULT MPOnEvents(IMPEventQueue*, const tagMPQSTATUS&) override { return E_FAIL; }
    HRESULT MPGetSupportedTimeFormats(_MPTIME_FORMAT*, _MPTIME_FORMAT*, std::uint32_t*) override { return E_FAIL; }
    HRESULT MPSetTimeFormat(_MPTIME_FORMAT) override { return E_FAIL; }

private:
    ~CompUnruly() = default;
    std::atomic<std::uint32_t> m_count{1};
};

} // namespace

KAV_EXPORT void* UnrulyFactory(void*, const CFUUIDBytes* typeID)
{
    if (!typeID || !IsEqualIID(*typeID, IID_IMPInitialise))
        return nullptr;
    return static_cast<IUnknown*>(static_cast<IMPInitialise*>(new CompUnruly));
}

KAV_EXPORT void UnrulySetMode(const char* mode)
{
    std::lock_guard<std::mutex> lock(s_modeMutex);
    s_mode = mode ? mode : "";
}

KAV_EXPORT int UnrulyLiveObjects() { return s_live.load(); }
KAV_EXPORT int UnrulyDisconnects() { return s_disconnects.load(); }
