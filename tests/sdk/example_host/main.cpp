// Loads a component module, creates the component through its factory and checks the calls a
// host makes: MPConnect, the IPersistStream round trip, damaged data, MPDisconnect, Release.
// Usage: kav_example_host <module> <factory symbol> <factory identifier>
#include <kav/KAVComObject.h>

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

int g_failures = 0;
int g_instancesAdded = 0;
int g_instancesRemoved = 0;

void check(bool ok, const char* what)
{
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what);
    if (!ok)
        ++g_failures;
}

// A stream over a byte vector.
class HostMemoryStream : public TKAVComObject<HostMemoryStream, IStream> {
public:
    static constexpr char kClassName[] = "HostMemoryStream";
    HostMemoryStream() : TKAVComObject(nullptr, IID_IStream, false) {}

    std::vector<std::uint8_t> bytes;
    std::size_t pos = 0;

    HRESULT Read(void* buffer, std::uint32_t count, std::uint32_t* done) override
    {
        const std::size_t n = std::min<std::size_t>(count, bytes.size() - pos);
        if (n)
            std::memcpy(buffer, bytes.data() + pos, n);
        pos += n;
        if (done)
            *done = static_cast<std::uint32_t>(n);
        return S_OK;
    }
    HRESULT Write(const void* buffer, std::uint32_t count, std::uint32_t* done) override
    {
        const auto* p = static_cast<const std::uint8_t*>(buffer);
        bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(pos), p, p + count);
        pos += count;
        if (done)
            *done = count;
        return S_OK;
    }
    HRESULT Seek(LARGE_INTEGER offset, std::uint32_t origin, ULARGE_INTEGER* position) override
    {
        if (origin != 0 || offset < 0 || static_cast<std::size_t>(offset) > bytes.size())
            return E_FAIL;
        pos = static_cast<std::size_t>(offset);
        if (position)
            *position = pos;
        return S_OK;
    }
    HRESULT SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    HRESULT CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    HRESULT Commit(std::uint32_t) override { return E_NOTIMPL; }
    HRESULT Revert() override { return E_NOTIMPL; }
    HRESULT LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, std::uint32_t) override { return E_NOTIMPL; }
    HRESULT UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, std::uint32_t) override { return E_NOTIMPL; }
    HRESULT Stat(tagSTATSTG*, std::uint32_t) override { return E_NOTIMPL; }
    HRESULT Clone(IStream**) override { return E_NOTIMPL; }
};

class HostOutput : public TKAVComObject<HostOutput, IMPAsyncOutput> {
public:
    static constexpr char kClassName[] = "HostOutput";
    HostOutput() : TKAVComObject(nullptr, IID_IMPAsyncOutput, false) {}
    HRESULT MPOutput(const tagMPEVENT&, _MPASYNC_MODE) override { return S_OK; }
};

class HostContext : public TKAVComObject<HostContext, IUnknown> {
public:
    static constexpr char kClassName[] = "HostContext";
    HostContext() : TKAVComObject(nullptr, IID_IUnknown, false) {}
};

std::vector<std::uint8_t> helloRecord(const std::u16string& text)
{
    std::vector<std::uint8_t> out(8 + text.size() * 2);
    const std::uint32_t header[2] = {0x48454C4F, static_cast<std::uint32_t>(text.size())};
    std::memcpy(out.data(), header, 8);
    if (!text.empty())
        std::memcpy(out.data() + 8, text.data(), text.size() * 2);
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <module> <factory symbol> <factory identifier>\n", argv[0]);
        return 2;
    }
    CFUUIDBytes clsid{};
    if (!NS_KAV::parseUuid(argv[3], clsid)) {
        std::fprintf(stderr, "not an identifier: %s\n", argv[3]);
        return 2;
    }
    void* module = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        std::fprintf(stderr, "cannot load %s: %s\n", argv[1], dlerror());
        return 1;
    }
    auto factory = reinterpret_cast<KAVFactoryFunction>(dlsym(module, argv[2]));
    if (!factory) {
        std::fprintf(stderr, "no factory %s\n", argv[2]);
        return 1;
    }

    using SetHooks = void (*)(NS_KAV::FactoryInstanceHook, NS_KAV::FactoryInstanceHook);
    auto setHooks = reinterpret_cast<SetHooks>(dlsym(module, "KAVSetFactoryInstanceHooks"));
    check(setHooks != nullptr, "module exports its factory instance hooks setter");
    if (setHooks)
        setHooks([](const CFUUIDBytes&) { ++g_instancesAdded; }, [](const CFUUIDBytes&) { ++g_instancesRemoved; });

    check(factory(nullptr, &IID_IPropertyPage) == nullptr, "factory refuses an unknown type");
    auto* component = static_cast<IUnknown*>(factory(nullptr, &IID_IMPInitialise));
    if (!component) {
        std::fprintf(stderr, "factory made no component\n");
        return 1;
    }

    IMPInitialise* init = nullptr;
    check(component->QueryInterface(IID_IMPInitialise, reinterpret_cast<void**>(&init)) == S_OK && init,
          "component answers IMPInitialise");
    void* none = reinterpret_cast<void*>(0x1);
    check(component->QueryInterface(IID_IMPEventFilter, &none) == E_NOINTERFACE && !none,
          "component refuses IMPEventFilter");

    auto* host = new HostContext;
    auto* output = new HostOutput;
    std::uint32_t flags = 0x40;
    check(init->MPConnect(host, output, MPINIT_NORMAL, 0, &flags) == S_OK, "MPConnect");
    check(output->useCount() == 2, "component keeps a reference to the output while connected");

    IPersistStream* persist = nullptr;
    check(component->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist)) == S_OK && persist,
          "component answers IPersistStream");
    if (persist) {
        CFUUIDBytes classID{};
        check(persist->GetClassID(&classID) == S_OK && IsEqualIID(classID, clsid),
              "GetClassID equals the factory identifier");

        auto* stream = new HostMemoryStream;
        check(persist->Save(stream, true) == S_OK && stream->bytes == helloRecord(u"Hello"),
              "Save writes the default greeting");
        check(persist->IsDirty() == S_FALSE, "clean after Save");

        stream->bytes = helloRecord(u"Hi there");
        stream->pos = 0;
        check(persist->Load(stream) == S_OK, "Load of a valid record");

        const std::vector<std::uint8_t> damaged = {0x01, 0x02, 0x03};
        stream->bytes = damaged;
        stream->pos = 0;
        check(FAILED(persist->Load(stream)), "Load of damaged data fails");

        stream->bytes.clear();
        stream->pos = 0;
        check(persist->Save(stream, true) == S_OK && stream->bytes == helloRecord(u"Hi there"),
              "damaged data left the loaded greeting intact");
        stream->Release();
        persist->Release();
    }

    check(init->MPDisconnect() == S_OK, "MPDisconnect");
    check(output->useCount() == 1, "output released at disconnect");
    init->Release();
    check(g_instancesAdded == 1 && g_instancesRemoved == 0, "the component counts as one factory instance");
    check(component->Release() == 0, "last Release destroys the component");
    check(g_instancesRemoved == 1, "its factory instance is gone after the last Release");
    output->Release();
    host->Release();

    std::printf("kav_example_host: %s\n", g_failures == 0 ? "all checks passed" : "checks failed");
    return g_failures == 0 ? 0 : 1;
}
