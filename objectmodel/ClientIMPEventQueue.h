#pragma once
// The one-event queue through which a component's event filter reads the MIDI event being
// delivered. Owned by an input endpoint; used on the delivering thread while the endpoint's
// lock is held, so it takes no lock of its own.

#include <kav/KAVComObject.h>

#include <cstdint>
#include <vector>

class ClientIMPEventQueue : public TKAVComObject<ClientIMPEventQueue, IMPEventQueue>
{
public:
    static constexpr char kClassName[] = "ClientIMPEventQueue";

    ClientIMPEventQueue(IUnknown* outer, const CFUUIDBytes& factoryID, bool registerFactory);

    // IMPEventQueue
    HRESULT MPQSetFilter(tagMPIDLIST* ports, tagMPIDLIST* ids) override;
    HRESULT MPQGetFirstEvent(std::uint32_t* count, tagMPEVENT* event, std::uint32_t* more,
                             std::uint32_t typeMask) override;
    HRESULT MPQGetNextEvent(std::uint32_t* count, tagMPEVENT* event, std::uint32_t* more,
                            std::uint32_t typeMask) override;
    HRESULT MPQGetPrevEvent(std::uint32_t* count, tagMPEVENT* event, std::uint32_t* more,
                            std::uint32_t typeMask) override;
    HRESULT MPQGetEvent(std::uint32_t index, tagMPEVENT* event, std::uint32_t typeMask) override;
    HRESULT MPQSetEvent(std::uint32_t slot, const tagMPEVENT& event) override;
    HRESULT MPQInsertEvent(std::uint32_t slot, const tagMPEVENT& event) override;
    HRESULT MPQDeleteEvent(std::uint32_t slot) override;

    ~ClientIMPEventQueue() override;
    HRESULT Init() override;

    // Host side: true when `port` passes the port filter and `id2` the second filter (an
    // empty filter passes everything).
    bool checkFilter(std::uint32_t port, std::uint32_t id2) const;
    const tagMPEVENT& currentEvent() const { return m_event; }

private:
    std::vector<std::uint32_t> m_portFilter;
    std::vector<std::uint32_t> m_idFilter;
    tagMPEVENT m_event{};
};
