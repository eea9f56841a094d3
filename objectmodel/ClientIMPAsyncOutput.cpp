#include "ClientIMPAsyncOutput.h"

ClientIMPAsyncOutput::ClientIMPAsyncOutput(IUnknown* outer, const CFUUIDBytes& factoryID, bool registerFactory)
    : TKAVComObject(outer, factoryID, registerFactory)
{
    // The host context object creates its parts once it is fully built, so the cast sees it.
    if (outer)
        m_dispatch.store(dynamic_cast<TOutputDispatch*>(outer), std::memory_order_release);
}

ClientIMPAsyncOutput::~ClientIMPAsyncOutput() = default;

HRESULT ClientIMPAsyncOutput::MPOutput(const tagMPEVENT& event, _MPASYNC_MODE mode)
{
    TOutputDispatch* dispatch = outputDispatch();
    return dispatch ? dispatch->midiOutDispatch(event, mode) : E_FAIL;
}
