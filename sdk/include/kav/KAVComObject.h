// KAV plug-in SDK: the implementation-object pattern.
//
// Every class that implements an interface derives from TKAVComObject<Class, Interface>:
//
//   class CompIPersistStream : public TKAVComObject<CompIPersistStream, IPersistStream> {
//   public:
//       static constexpr char kClassName[] = "CompIPersistStream";
//       using TKAVComObject::TKAVComObject; // (IUnknown* outer, CFUUIDBytes factoryID, bool reg)
//       ... IPersistStream methods ...
//   };
//
// The object holds, after its interface table: its own reference count (1 after
// construction), an optional outer object, its non-delegating query function and an optional
// factory registration. Construction and counting are traced to COMPRINTF with the class's
// own name.
//
// Aggregation: an outer object creates each part with itself as outer, registration off.
// A part forwards QueryInterface and AddRef to its outer object, and Release too while the
// outer's own count is not zero; so references obtained on a part count on the aggregate and
// keep it alive. Once the outer's count has reached zero (it is being destroyed), a part's
// Release acts on the part's own count (1) and destroys the part: the outer releases its
// parts from its destructor. The outer asks a part for an identifier without the call coming
// back to itself with part->NonDelegatingQuery(...). The outer object must itself be a
// TKAVComObject; a part with any other outer object is deleted by its owner with `delete`.
#pragma once

#include <kav/KAVHelpers.h>
#include <kav/KAVInterfaces.h>
#include <kav/KAVTypes.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <utility>

// --- factory instance registration -------------------------------------------------------

namespace NS_KAV {

// Called when an object registered with a factory is created / destroyed. A host's bundle
// layer may install hooks; a module's own count is kept in any case.
using FactoryInstanceHook = void (*)(const CFUUIDBytes& factoryID);

namespace detail {
struct UuidLess {
    bool operator()(const CFUUIDBytes& a, const CFUUIDBytes& b) const
    {
        return std::memcmp(a.bytes, b.bytes, sizeof a.bytes) < 0;
    }
};

struct FactoryInstances {
    std::mutex mutex;
    std::map<CFUUIDBytes, std::uint32_t, UuidLess> counts;
    FactoryInstanceHook added = nullptr;
    FactoryInstanceHook removed = nullptr;
};

inline FactoryInstances& factoryInstances()
{
    static FactoryInstances instances;
    return instances;
}
} // namespace detail

inline void setFactoryInstanceHooks(FactoryInstanceHook added, FactoryInstanceHook removed)
{
    auto& fi = detail::factoryInstances();
    std::lock_guard<std::mutex> lock(fi.mutex);
    fi.added = added;
    fi.removed = removed;
}

inline void factoryInstanceAdded(const CFUUIDBytes& factoryID)
{
    auto& fi = detail::factoryInstances();
    FactoryInstanceHook hook;
    {
        std::lock_guard<std::mutex> lock(fi.mutex);
        ++fi.counts[factoryID];
        hook = fi.added;
    }
    if (hook)
        hook(factoryID);
}

inline void factoryInstanceRemoved(const CFUUIDBytes& factoryID)
{
    auto& fi = detail::factoryInstances();
    FactoryInstanceHook hook;
    {
        std::lock_guard<std::mutex> lock(fi.mutex);
        auto it = fi.counts.find(factoryID);
        if (it != fi.counts.end() && --it->second == 0)
            fi.counts.erase(it);
        hook = fi.removed;
    }
    if (hook)
        hook(factoryID);
}

// Number of live objects of this module registered with the factory.
inline std::uint32_t factoryInstanceCount(const CFUUIDBytes& factoryID)
{
    auto& fi = detail::factoryInstances();
    std::lock_guard<std::mutex> lock(fi.mutex);
    auto it = fi.counts.find(factoryID);
    return it == fi.counts.end() ? 0 : it->second;
}

} // namespace NS_KAV

// --- the common members -------------------------------------------------------------------

// Members every implementation object holds after its interface table. Not polymorphic, so
// in TKAVComObject it follows the interface's table pointer directly.
class TKAVObjectCore {
public:
    using NonDelegatingQI = HRESULT (*)(IUnknown* self, CFUUIDBytes riid, void** ppv);

    std::uint32_t useCount() const { return __atomic_load_n(&refCount, __ATOMIC_ACQUIRE); }
    IUnknown* outerObject() const { return pOuter; }
    bool registeredWithFactory() const { return factoryRegistered; }
    const CFUUIDBytes& registeredFactoryID() const { return factoryID; }

protected:
    TKAVObjectCore(IUnknown* outer, NonDelegatingQI query, const CFUUIDBytes& factory,
                   bool registerFactory)
        : pOuter(outer)
        , pfnNonDelegatingQI(query)
        , factoryID(registerFactory ? factory : CFUUIDBytes{})
        , factoryRegistered(registerFactory)
    {
        if (factoryRegistered)
            NS_KAV::factoryInstanceAdded(factoryID);
    }

    // Runs after the class's own destructors: the factory count drops once the object is gone.
    ~TKAVObjectCore()
    {
        if (factoryRegistered)
            NS_KAV::factoryInstanceRemoved(factoryID);
    }

    TKAVObjectCore(const TKAVObjectCore&) = delete;
    TKAVObjectCore& operator=(const TKAVObjectCore&) = delete;

    std::uint32_t refCount = 1;
    IUnknown* pOuter;
    NonDelegatingQI pfnNonDelegatingQI;
    CFUUIDBytes factoryID; // meaningful only when factoryRegistered
    bool factoryRegistered;
    TKAVObjectCore* outerCore = nullptr; // pOuter's members, when it follows this pattern
};

// --- the pattern ------------------------------------------------------------------------------

template <class Derived, class Interface>
class TKAVComObject : public Interface, public TKAVObjectCore {
public:
    TKAVComObject(IUnknown* outer, const CFUUIDBytes& factory, bool registerFactory)
        : TKAVObjectCore(outer, &Derived::NonDelegatingQueryInterface, factory, registerFactory)
    {
        if (outer)
            outerCore = dynamic_cast<TKAVObjectCore*>(outer);
        COMPRINTF("%s::%s() Constructor called - useCount: %d", Derived::kClassName,
                  Derived::kClassName, static_cast<int>(refCount));
    }

    HRESULT QueryInterface(CFUUIDBytes riid, void** ppv) override
    {
        if (pOuter)
            return pOuter->QueryInterface(riid, ppv);
        return pfnNonDelegatingQI(static_cast<Interface*>(this), riid, ppv);
    }

    std::uint32_t AddRef() override
    {
        if (pOuter)
            return pOuter->AddRef();
        const std::uint32_t count = InterlockedExchangeAdd(&refCount, 1);
        COMPRINTF("%s:: AddRef() yields:%d", Derived::kClassName, static_cast<int>(count));
        return count;
    }

    std::uint32_t Release() override
    {
        if (pOuter && (!outerCore || outerCore->useCount() != 0))
            return pOuter->Release();
        const std::uint32_t count = InterlockedExchangeAdd(&refCount, -1);
        COMPRINTF("%s::Release() yields:%d", Derived::kClassName, static_cast<int>(count));
        if (count != 0)
            return count;
        delete this;
        return 0;
    }

    // Table entries after the interface's methods: destructors, then Init and the aggregate
    // lookup, then whatever the class adds.
    virtual ~TKAVComObject() = default;

    // The class's initialisation, run by KAVNewObject after construction.
    virtual HRESULT Init() { return S_OK; }

    // Asked by the non-delegating query for identifiers other than IUnknown and the class's own
    // interface; an aggregating outer object answers for its parts here.
    virtual HRESULT AggrQueryInterface(const CFUUIDBytes& riid, void** ppv)
    {
        (void)riid;
        *ppv = nullptr;
        return E_NOINTERFACE;
    }

    // The default non-delegating query: IUnknown and the class's own interface (never the
    // base interfaces such as IPersist), else the aggregate lookup. A class may hide it with its
    // own static function of the same signature.
    static HRESULT NonDelegatingQueryInterface(IUnknown* self, CFUUIDBytes riid, void** ppv)
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (!self)
            return E_NOINTERFACE;
        auto* object = static_cast<Derived*>(static_cast<Interface*>(self));
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, Interface::iid)) {
            object->AddRef(); // on a part this counts on the outer object
            *ppv = static_cast<Interface*>(object);
            return S_OK;
        }
        const HRESULT hr = object->AggrQueryInterface(riid, ppv);
        if (SUCCEEDED(hr) && *ppv)
            return hr;
        *ppv = nullptr;
        return E_NOINTERFACE;
    }

    // Query this object itself, bypassing its outer object (used by an outer on its parts).
    HRESULT NonDelegatingQuery(const CFUUIDBytes& riid, void** ppv)
    {
        return pfnNonDelegatingQI(static_cast<Interface*>(this), riid, ppv);
    }

    // For an outer object's aggregate lookup: ask one part; a missing part does not answer.
    template <class Part>
    static HRESULT QueryPart(Part* part, const CFUUIDBytes& riid, void** ppv)
    {
        if (!part) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        return part->NonDelegatingQuery(riid, ppv);
    }
};

// Creates an implementation object and runs its initialisation; null when either fails. The
// caller owns the one reference (for a part: the outer object owns it).
template <class T, class... Args>
T* KAVNewObject(Args&&... args)
{
    T* object = new (std::nothrow) T(std::forward<Args>(args)...);
    if (!object)
        return nullptr;
    if (FAILED(object->Init())) {
        // Through Release, so the count is 0 while the destructor lets go of any parts Init
        // already made: their releases then destroy the parts instead of the object again.
        object->Release();
        return nullptr;
    }
    return object;
}

// Exports the function through which a host hands a module its factory instance hooks right
// after loading it. Use once in a plug-in module:  KAV_EXPORT_FACTORY_INSTANCE_HOOKS()
#define KAV_EXPORT_FACTORY_INSTANCE_HOOKS()                                                      \
    KAV_EXPORT void KAVSetFactoryInstanceHooks(NS_KAV::FactoryInstanceHook added,                \
                                               NS_KAV::FactoryInstanceHook removed)              \
    {                                                                                            \
        NS_KAV::setFactoryInstanceHooks(added, removed);                                         \
    }
