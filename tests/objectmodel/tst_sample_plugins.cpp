// The sample plug-ins shipped in the build tree's plug-in folder.

#include "KAVDiscovery.h"
#include "TPluginFolder.h"

#include <gtest/gtest.h>

#include <kav/KAVComObject.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

class TMemoryStream : public TKAVComObject<TMemoryStream, IStream> {
public:
    static constexpr char kClassName[] = "TMemoryStream";
    TMemoryStream() : TKAVComObject(nullptr, IID_IStream, false) {}
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
        bytes.insert(bytes.end(), p, p + count);
        if (done)
            *done = count;
        return S_OK;
    }
    HRESULT Seek(LARGE_INTEGER, std::uint32_t, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    HRESULT SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    HRESULT CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    HRESULT Commit(std::uint32_t) override { return S_OK; }
    HRESULT Revert() override { return E_NOTIMPL; }
    HRESULT LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, std::uint32_t) override { return E_NOTIMPL; }
    HRESULT UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, std::uint32_t) override { return E_NOTIMPL; }
    HRESULT Stat(tagSTATSTG*, std::uint32_t) override { return E_NOTIMPL; }
    HRESULT Clone(IStream**) override { return E_NOTIMPL; }
};

class TRecordingOutput : public TKAVComObject<TRecordingOutput, IMPAsyncOutput> {
public:
    static constexpr char kClassName[] = "TRecordingOutput";
    TRecordingOutput() : TKAVComObject(nullptr, IID_IMPAsyncOutput, false) {}
    std::vector<tagMPEVENT> events;
    HRESULT MPOutput(const tagMPEVENT& event, _MPASYNC_MODE) override
    {
        events.push_back(event);
        return S_OK;
    }
};

// One queued event, as the host's input hands it to a component.
class TOneEventQueue : public TKAVComObject<TOneEventQueue, IMPEventQueue> {
public:
    static constexpr char kClassName[] = "TOneEventQueue";
    explicit TOneEventQueue(const tagMPEVENT& event) : TKAVComObject(nullptr, IID_IMPEventQueue, false), m_event(event) {}
    HRESULT MPQSetFilter(tagMPIDLIST*, tagMPIDLIST*) override { return S_OK; }
    HRESULT MPQGetFirstEvent(std::uint32_t* count, tagMPEVENT* event, std::uint32_t* more, std::uint32_t mask) override
    {
        if (!(m_event.type & mask))
            return E_FAIL;
        *event = m_event;
        if (count)
            *count = 1;
        if (more)
            *more = 0;
        return S_OK;
    }
    HRESULT MPQGetNextEvent(std::uint32_t*, tagMPEVENT*, std::uint32_t*, std::uint32_t) override { return E_FAIL; }
    HRESULT MPQGetPrevEvent(std::uint32_t*, tagMPEVENT*, std::uint32_t*, std::uint32_t) override { return E_FAIL; }
    HRESULT MPQGetEvent(std::uint32_t, tagMPEVENT*, std::uint32_t) override { return E_FAIL; }
    HRESULT MPQSetEvent(std::uint32_t, const tagMPEVENT&) override { return E_FAIL; }
    HRESULT MPQInsertEvent(std::uint32_t, const tagMPEVENT&) override { return E_FAIL; }
    HRESULT MPQDeleteEvent(std::uint32_t) override { return E_FAIL; }

private:
    tagMPEVENT m_event;
};

template <class I>
I* query(IUnknown* object)
{
    void* p = nullptr;
    return SUCCEEDED(object->QueryInterface(I::iid, &p)) ? static_cast<I*>(p) : nullptr;
}

IUnknown* createGenericSynthEditor()
{
    TPlugList* list = nullptr;
    EnumKAVPlugins(list);
    IUnknown* component = nullptr;
    if (list)
        for (const TPlugDescription* d : *list)
            if (d->name == "Generic Synth Editor")
                LoadKAVComponent(component, *d);
    DisposeEnumKAVPlugins(list);
    return component;
}

void sendControl(IUnknown* component, std::uint8_t controller, std::uint8_t value)
{
    tagMPEVENT event{};
    event.type = MPEVENT_CONTROL;
    event.port = 3;
    event.channel = 5;
    event.data.bytes[0] = controller;
    event.data.bytes[1] = value;
    auto* queue = new TOneEventQueue(event);
    IMPEventFilter* filter = query<IMPEventFilter>(component);
    ASSERT_NE(filter, nullptr);
    tagMPQSTATUS status{};
    status.flags = MPQSTATUS_FLAG_VALID;
    filter->MPOnEvents(queue, status);
    filter->Release();
    queue->Release();
}

} // namespace

TEST(GenericSynthEditor, RemembersSavesAndSendsControllers)
{
    TPluginFolder folder;
    ASSERT_TRUE(QFile::link(QStringLiteral(MW_SAMPLE_PLUGINS_DIR "/GenericSynthEditor.bundle"),
                            folder.entryPath("GenericSynthEditor.bundle")));
    IUnknown* editor = createGenericSynthEditor();
    ASSERT_NE(editor, nullptr);
    auto* output = new TRecordingOutput;
    IMPInitialise* init = query<IMPInitialise>(editor);
    ASSERT_NE(init, nullptr);
    std::uint32_t flags = 0x40;
    ASSERT_EQ(init->MPConnect(nullptr, output, MPINIT_NORMAL, 0, &flags), S_OK);

    sendControl(editor, 7, 100);
    sendControl(editor, 10, 64);
    IPersistStream* persist = query<IPersistStream>(editor);
    ASSERT_NE(persist, nullptr);
    EXPECT_EQ(persist->IsDirty(), S_OK);
    auto* stream = new TMemoryStream;
    ASSERT_EQ(persist->Save(stream, true), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);

    // A second editor loads the saved state and sends it to the device.
    IUnknown* copy = createGenericSynthEditor();
    ASSERT_NE(copy, nullptr);
    IPersistStream* copyPersist = query<IPersistStream>(copy);
    ASSERT_EQ(copyPersist->Load(stream), S_OK);
    IMPInitialise* copyInit = query<IMPInitialise>(copy);
    ASSERT_EQ(copyInit->MPConnect(nullptr, output, MPINIT_NORMAL, 0, &flags), S_OK);
    IMPTotalRecall* recall = query<IMPTotalRecall>(copy);
    ASSERT_NE(recall, nullptr);
    EXPECT_EQ(recall->MPSynchronize(1, nullptr, 0), S_OK);
    ASSERT_EQ(output->events.size(), 2u);
    EXPECT_EQ(output->events[0].type, MPEVENT_CONTROL);
    EXPECT_EQ(output->events[0].port, 3u);
    EXPECT_EQ(output->events[0].channel, 5u);
    EXPECT_EQ(output->events[0].data.bytes[0], 7);
    EXPECT_EQ(output->events[0].data.bytes[1], 100);
    EXPECT_EQ(output->events[1].data.bytes[0], 10);

    // Reading from the device is not possible for a generic editor: a failure with a text.
    const HRESULT fetch = recall->MPSynchronize(0, nullptr, 0);
    EXPECT_NE(fetch, S_OK);
    char16_t* text = nullptr;
    EXPECT_EQ(recall->MPGetErrorText(fetch, &text), S_OK);
    EXPECT_NE(text, nullptr);
    std::free(text);

    // Damaged data is refused.
    auto* damaged = new TMemoryStream;
    damaged->bytes = {'x', 'y'};
    EXPECT_LT(copyPersist->Load(damaged), 0);
    damaged->Release();

    recall->Release();
    copyInit->MPDisconnect();
    copyInit->Release();
    copyPersist->Release();
    copy->Release();
    init->MPDisconnect();
    init->Release();
    persist->Release();
    editor->Release();
    stream->Release();
    EXPECT_EQ(output->Release(), 0u); // both editors gave their output reference back
}
