// Hello Component: one component object answering IMPInitialise, with its IPersistStream as
// an aggregated part.
#pragma once

#include <kav/KAVComObject.h>

#include <mutex>
#include <string>

class CompHelloInitialise;

// Persistence part: created with the component as its outer object, so references to it
// count on the component.
class CompHelloPersistStream : public TKAVComObject<CompHelloPersistStream, IPersistStream> {
public:
    static constexpr char kClassName[] = "CompHelloPersistStream";

    CompHelloPersistStream(CompHelloInitialise* component);

    HRESULT GetClassID(CFUUIDBytes* classID) override;
    HRESULT IsDirty() override;
    HRESULT Load(IStream* stream) override;
    HRESULT Save(IStream* stream, bool clearDirty) override;
    HRESULT GetSizeMax(ULARGE_INTEGER* size) override;

private:
    CompHelloInitialise* m_component;
};

class CompHelloInitialise : public TKAVComObject<CompHelloInitialise, IMPInitialise> {
public:
    static constexpr char kClassName[] = "CompHelloInitialise";
    static constexpr CFUUIDBytes guid = NS_KAV::uuid(HELLO_CLSID);

    using TKAVComObject::TKAVComObject;
    ~CompHelloInitialise() override;

    HRESULT Init() override;
    HRESULT AggrQueryInterface(const CFUUIDBytes& riid, void** ppv) override;

    HRESULT MPConnect(IUnknown* host, IMPAsyncOutput* output, _MPINITIALISE_MODE mode,
                      std::uint32_t value, std::uint32_t* flags) override;
    HRESULT MPDisconnect() override;

    // The component's data: a greeting text, persisted through IPersistStream.
    std::u16string greeting() const;
    void setGreeting(const std::u16string& text);
    bool isDirty() const;
    void clearDirty();

private:
    friend class CompHelloPersistStream;

    mutable std::mutex m_mutex; // hosts call from any thread
    std::u16string m_greeting = u"Hello";
    bool m_dirty = false;
    IMPAsyncOutput* m_output = nullptr; // counted while connected
    CompHelloPersistStream* m_persist = nullptr;
};
