#pragma once
// Helpers for the endpoint tests: a driver whose input is fed by the test and whose output
// is recorded, and a component event filter that records what it reads from the queue.

#include "TMIDITransport.h"

#include <kav/KAVInterfaces.h>
#include <kav/KAVRecords.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// Input: the real parser and pusher thread, fed by feed(). Output: every outputData call
// kept as the bytes that would go out (status first when given).
class TFakeDriver : public TMIDITransport
{
public:
    ~TFakeDriver() override { closeInput(); }

    bool openInput(int port, TMIDIReaderRefConInterface* receiver) override
    {
        m_inputPort = port;
        if (!m_openResult)
            return false;
        setReceiver(receiver);
        return startPusherThread();
    }
    void closeInput() override
    {
        ++m_closeInputCalls;
        stopPusherThread();
    }
    bool openOutput(int port) override
    {
        m_outputPort = port;
        return m_openResult;
    }
    void closeOutput() override {}
    bool outputData(int len, unsigned char* data, unsigned long status) override
    {
        if (m_failAtCall >= 0 && static_cast<int>(m_attempts) == m_failAtCall) {
            ++m_attempts;
            return false;
        }
        ++m_attempts;
        Bytes packet;
        if (status != 0)
            packet.push_back(static_cast<std::uint8_t>(status));
        if (data && len > 0)
            packet.insert(packet.end(), data, data + len);
        m_sent.push_back(std::move(packet));
        return true;
    }

    void feed(const Bytes& chunk) { read(static_cast<int>(chunk.size()), chunk.data()); }

    void setOpenResult(bool ok) { m_openResult = ok; }
    // The outputData call with this 0-based number fails; -1: none does.
    void setFailAtCall(int call) { m_failAtCall = call; }

    int inputPort() const { return m_inputPort; }
    int outputPort() const { return m_outputPort; }
    int closeInputCalls() const { return m_closeInputCalls; }
    const std::vector<Bytes>& sent() const { return m_sent; }

private:
    bool m_openResult = true;
    int m_failAtCall = -1;
    unsigned m_attempts = 0;
    int m_inputPort = -1;
    int m_outputPort = -1;
    int m_closeInputCalls = 0;
    std::vector<Bytes> m_sent;
};

// One MPOnEvents call as a filter saw it.
struct TFilterCall
{
    tagMPQSTATUS status{};
    std::uint32_t count = 0; // what MPQGetFirstEvent reported
    tagMPEVENT event{};      // the event read, if any
    Bytes sysEx;             // its system-exclusive bytes, copied from the reader's block
    std::thread::id thread;
};

// A component's event filter: reads the event with MPQGetFirstEvent after running an
// optional action (set its own queue filter, detach someone...). Not counted: it lives
// on the test's stack.
class TRecordingFilter : public IMPEventFilter
{
public:
    using Action = std::function<void(IMPEventQueue* queue)>;

    explicit TRecordingFilter(Action before = {}) : m_before(std::move(before)) {}

    HRESULT QueryInterface(CFUUIDBytes, void** ppv) override
    {
        if (ppv)
            *ppv = nullptr;
        return E_NOINTERFACE;
    }
    std::uint32_t AddRef() override { return 1; }
    std::uint32_t Release() override { return 1; }

    HRESULT MPOnEvents(IMPEventQueue* queue, const tagMPQSTATUS& status) override
    {
        if (m_before)
            m_before(queue);
        TFilterCall call;
        call.status = status;
        call.thread = std::this_thread::get_id();
        std::uint32_t more = 0;
        queue->MPQGetFirstEvent(&call.count, &call.event, &more, MPEVENT_MASK_ALL);
        if (call.count == 1 && MPEventIsSystem(call.event.type) && call.event.data.ptr) {
            call.sysEx.assign(call.event.data.ptr, call.event.data.ptr + call.event.length);
            std::free(call.event.data.ptr);
            call.event.data.ptr = nullptr;
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        m_calls.push_back(std::move(call));
        m_changed.notify_all();
        return S_OK;
    }
    HRESULT MPGetSupportedTimeFormats(_MPTIME_FORMAT*, _MPTIME_FORMAT*, std::uint32_t*) override
    {
        return E_NOTIMPL;
    }
    HRESULT MPSetTimeFormat(_MPTIME_FORMAT) override { return E_NOTIMPL; }

    // True once at least `count` calls have arrived (bounded wait).
    bool waitCalls(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_calls.size() >= count; });
    }
    std::vector<TFilterCall> calls()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_calls;
    }

private:
    Action m_before;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<TFilterCall> m_calls;
};

// A channel event as the parser makes it (unstamped).
inline tagMPEVENT channelEvent(std::uint32_t type, std::uint32_t channel, Bytes data)
{
    tagMPEVENT e{};
    e.type = type;
    e.channel = channel;
    for (size_t i = 0; i < data.size() && i < 4; ++i)
        e.data.bytes[i] = data[i];
    return e;
}
