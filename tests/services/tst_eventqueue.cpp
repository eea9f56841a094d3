// The one-event queue: filters, type masks, copies of system exclusive bytes and the
// operations it does not support.

#include "ClientIMPEventQueue.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

tagMPEVENT channelEvent(std::uint32_t type, std::uint32_t port, std::uint32_t id2 = 0)
{
    tagMPEVENT e{};
    e.type = type;
    e.port = port;
    e.channel = 5;
    e.id2 = id2;
    e.eventNumber = 1234;
    e.eventNumberKind = 1;
    e.data.bytes[0] = 0x3C;
    e.data.bytes[1] = 0x7F;
    return e;
}

class EventQueue : public ::testing::Test
{
protected:
    void SetUp() override
    {
        queue = KAVNewObject<ClientIMPEventQueue>(nullptr, IID_IMPEventQueue, false);
        ASSERT_NE(queue, nullptr);
    }
    void TearDown() override { EXPECT_EQ(queue->Release(), 0u); }

    // Delivers `e` and reads it back: the number of events the reader gets.
    std::uint32_t deliver(const tagMPEVENT& e, std::uint32_t mask = MPEVENT_MASK_ALL, tagMPEVENT* out = nullptr)
    {
        EXPECT_EQ(queue->MPQSetEvent(1, e), S_OK);
        tagMPEVENT local{};
        std::uint32_t count = 9;
        std::uint32_t more = 9;
        EXPECT_EQ(queue->MPQGetFirstEvent(&count, out ? out : &local, &more, mask), S_OK);
        EXPECT_EQ(more, 0u);
        return count;
    }

    HRESULT setFilter(std::vector<std::uint32_t> ports, std::vector<std::uint32_t> ids)
    {
        tagMPIDLIST p{static_cast<std::uint32_t>(ports.size()), ports.data()};
        tagMPIDLIST i{static_cast<std::uint32_t>(ids.size()), ids.data()};
        return queue->MPQSetFilter(&p, &i);
    }

    ClientIMPEventQueue* queue = nullptr;
};

TEST_F(EventQueue, PortAndSecondIdentifierFilters)
{
    struct Case {
        std::vector<std::uint32_t> ports;
        std::vector<std::uint32_t> ids;
        std::uint32_t port;
        std::uint32_t id2;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {{3}, {}, 2, 0, 0},
        {{3}, {}, 3, 0, 1},
        {{1, 3, 9}, {}, 9, 0, 1},
        {{}, {}, 12345, 77, 1}, // empty filters pass everything
        {{}, {7}, 4, 6, 0},
        {{}, {7}, 4, 7, 1},
        {{4}, {7}, 4, 6, 0}, // both must pass
        {{4}, {7}, 5, 7, 0},
        {{4}, {7}, 4, 7, 1},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(setFilter(c.ports, c.ids), S_OK);
        EXPECT_EQ(deliver(channelEvent(MPEVENT_NOTEON, c.port, c.id2)), c.expected)
            << "port " << c.port << " id2 " << c.id2;
        EXPECT_EQ(queue->checkFilter(c.port, c.id2), c.expected == 1);
    }

    // Clearing with null lists lets everything through again.
    ASSERT_EQ(setFilter({3}, {}), S_OK);
    EXPECT_EQ(queue->MPQSetFilter(nullptr, nullptr), S_OK);
    EXPECT_EQ(deliver(channelEvent(MPEVENT_NOTEON, 2)), 1u);
}

TEST_F(EventQueue, TypeMaskSelectsEventKinds)
{
    const std::uint32_t kinds[] = {MPEVENT_NRPN,     MPEVENT_RPN,          MPEVENT_BANKPROGRAM, MPEVENT_NOTEOFF,
                                   MPEVENT_NOTEON,   MPEVENT_POLYPRESSURE, MPEVENT_CONTROL,     MPEVENT_PROGRAM,
                                   MPEVENT_CHANPRESSURE, MPEVENT_PITCHBEND, MPEVENT_SYSEX,      MPEVENT_SYSEXCONT};
    for (std::uint32_t kind : kinds) {
        EXPECT_EQ(deliver(channelEvent(kind, 1), 0x3F0FFF), 1u) << std::hex << kind;
        EXPECT_EQ(deliver(channelEvent(kind, 1), 0x40), kind == MPEVENT_NOTEON ? 1u : 0u) << std::hex << kind;
    }
    EXPECT_EQ(deliver(channelEvent(MPEVENT_NOTEON, 1), 0), 0u);
}

TEST_F(EventQueue, InvalidFilterListKeepsTheOldFilters)
{
    ASSERT_EQ(setFilter({3}, {8}), S_OK);

    tagMPIDLIST broken{2, nullptr};
    std::uint32_t value = 2;
    tagMPIDLIST fine{1, &value};
    EXPECT_EQ(queue->MPQSetFilter(&broken, nullptr), E_POINTER);
    EXPECT_EQ(queue->MPQSetFilter(&fine, &broken), E_POINTER);
    EXPECT_EQ(queue->MPQSetFilter(nullptr, &broken), E_POINTER);

    EXPECT_EQ(deliver(channelEvent(MPEVENT_NOTEON, 2, 8)), 0u);
    EXPECT_EQ(deliver(channelEvent(MPEVENT_NOTEON, 3, 8)), 1u);
    EXPECT_EQ(deliver(channelEvent(MPEVENT_NOTEON, 3, 9)), 0u);

    // A count of 0 with no values is a valid empty list.
    tagMPIDLIST empty{0, nullptr};
    EXPECT_EQ(queue->MPQSetFilter(&empty, &empty), S_OK);
    EXPECT_EQ(deliver(channelEvent(MPEVENT_NOTEON, 2, 9)), 1u);
}

TEST_F(EventQueue, ChannelEventIsCopiedWhole)
{
    tagMPEVENT e = channelEvent(MPEVENT_CONTROL, 6);
    e.reserved1[0] = 0x11;
    e.reserved2[7] = 0x22;
    tagMPEVENT out{};
    ASSERT_EQ(deliver(e, MPEVENT_MASK_ALL, &out), 1u);
    EXPECT_EQ(std::memcmp(&out, &e, sizeof e), 0);
}

TEST_F(EventQueue, SysExCopiesAreSeparateBlocksOwnedByTheReader)
{
    std::vector<std::uint8_t> bytes = {0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7};
    tagMPEVENT e{};
    e.type = MPEVENT_SYSEX;
    e.port = 1;
    e.length = static_cast<std::uint32_t>(bytes.size());
    e.data.ptr = bytes.data();
    ASSERT_EQ(queue->MPQSetEvent(1, e), S_OK);

    tagMPEVENT a{};
    tagMPEVENT b{};
    std::uint32_t count = 0;
    std::uint32_t more = 0;
    ASSERT_EQ(queue->MPQGetFirstEvent(&count, &a, &more, MPEVENT_MASK_ALL), S_OK);
    ASSERT_EQ(count, 1u);
    ASSERT_EQ(queue->MPQGetFirstEvent(&count, &b, &more, MPEVENT_MASK_ALL), S_OK);
    ASSERT_EQ(count, 1u);

    ASSERT_NE(a.data.ptr, nullptr);
    ASSERT_NE(b.data.ptr, nullptr);
    EXPECT_NE(a.data.ptr, b.data.ptr);
    EXPECT_NE(a.data.ptr, bytes.data());
    EXPECT_EQ(a.length, bytes.size());
    EXPECT_EQ(b.length, bytes.size());

    // The deliverer's bytes go away after delivery; the copies stay intact.
    const std::vector<std::uint8_t> original = bytes;
    std::fill(bytes.begin(), bytes.end(), 0xEE);
    EXPECT_EQ(std::memcmp(a.data.ptr, original.data(), original.size()), 0);
    std::free(a.data.ptr); // the reader frees with free()
    EXPECT_EQ(std::memcmp(b.data.ptr, original.data(), original.size()), 0);
    std::free(b.data.ptr);
}

TEST_F(EventQueue, SysExWithoutBytesGivesNoBlock)
{
    struct Case {
        std::uint32_t length;
        bool withData;
    };
    std::uint8_t byte = 0x7F;
    for (const Case c : {Case{0, true}, Case{4, false}}) {
        tagMPEVENT e{};
        e.type = MPEVENT_SYSEXCONT;
        e.length = c.length;
        e.data.ptr = c.withData ? &byte : nullptr;
        tagMPEVENT out{};
        out.data.ptr = &byte; // must be overwritten
        ASSERT_EQ(deliver(e, MPEVENT_MASK_ALL, &out), 1u);
        EXPECT_EQ(out.length, 0u);
        EXPECT_EQ(out.data.ptr, nullptr);
    }
}

TEST_F(EventQueue, UnsupportedOperationsAndNullArguments)
{
    tagMPEVENT e = channelEvent(MPEVENT_NOTEON, 1);
    ASSERT_EQ(queue->MPQSetEvent(1, e), S_OK);
    std::uint32_t count = 5;
    std::uint32_t more = 5;
    tagMPEVENT out{};

    EXPECT_EQ(queue->MPQGetFirstEvent(nullptr, &out, &more, MPEVENT_MASK_ALL), E_FAIL);
    EXPECT_EQ(queue->MPQGetFirstEvent(&count, nullptr, &more, MPEVENT_MASK_ALL), E_FAIL);
    EXPECT_EQ(queue->MPQGetFirstEvent(&count, &out, nullptr, MPEVENT_MASK_ALL), E_FAIL);

    EXPECT_EQ(queue->MPQGetNextEvent(&count, &out, &more, MPEVENT_MASK_ALL), S_OK);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(more, 0u);
    count = more = 5;
    EXPECT_EQ(queue->MPQGetPrevEvent(&count, &out, &more, MPEVENT_MASK_ALL), S_OK);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(more, 0u);
    EXPECT_EQ(queue->MPQGetNextEvent(nullptr, nullptr, nullptr, 0), S_OK);

    tagMPEVENT untouched{};
    untouched.port = 99;
    EXPECT_EQ(queue->MPQGetEvent(1, &untouched, MPEVENT_MASK_ALL), E_FAIL);
    EXPECT_EQ(untouched.port, 99u);
    EXPECT_EQ(queue->MPQInsertEvent(1, e), E_FAIL);
    EXPECT_EQ(queue->MPQDeleteEvent(1), E_FAIL);

    // Only slot 1 holds an event.
    EXPECT_EQ(queue->MPQSetEvent(2, channelEvent(MPEVENT_NOTEON, 7)), S_OK);
    EXPECT_EQ(queue->currentEvent().port, 1u);
}

TEST(EventQueueAlone, FreshQueueDeliversNothing)
{
    auto* queue = KAVNewObject<ClientIMPEventQueue>(nullptr, IID_IMPEventQueue, false);
    std::uint32_t count = 3;
    std::uint32_t more = 3;
    tagMPEVENT out{};
    EXPECT_EQ(queue->MPQGetFirstEvent(&count, &out, &more, MPEVENT_MASK_ALL), S_OK);
    EXPECT_EQ(count, 0u);
    queue->Release();
}

} // namespace
