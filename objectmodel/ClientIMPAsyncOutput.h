#pragma once
// A component's way to send MIDI: a part of the host context object that hands every
// event to the host's output dispatch.

#include "TOutputDispatch.h"

#include <kav/KAVComObject.h>

#include <atomic>

class ClientIMPAsyncOutput : public TKAVComObject<ClientIMPAsyncOutput, IMPAsyncOutput>
{
public:
    static constexpr char kClassName[] = "ClientIMPAsyncOutput";

    // When `outer` implements TOutputDispatch it becomes the dispatch.
    ClientIMPAsyncOutput(IUnknown* outer, const CFUUIDBytes& factoryID, bool registerFactory);

    // IMPAsyncOutput: the dispatch's result, or E_FAIL without one.
    HRESULT MPOutput(const tagMPEVENT& event, _MPASYNC_MODE mode) override;

    ~ClientIMPAsyncOutput() override;

    // Host side: set or clear (null) the dispatch; safe against concurrent MPOutput calls
    // as far as the pointer goes, the dispatch itself must outlive them.
    void setOutputDispatch(TOutputDispatch* dispatch) { m_dispatch.store(dispatch, std::memory_order_release); }
    TOutputDispatch* outputDispatch() const { return m_dispatch.load(std::memory_order_acquire); }

private:
    std::atomic<TOutputDispatch*> m_dispatch{nullptr};
};
