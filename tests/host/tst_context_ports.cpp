// Opening and closing endpoints, output routing and event filters on the inputs.

#include "THostTestSupport.h"

#include "TAppMIDIIn.h"

#include <kav/KAVInterfaces.h>

namespace {

constexpr auto kSendNow = static_cast<_MPASYNC_MODE>(1);
constexpr auto kSendLater = static_cast<_MPASYNC_MODE>(2);

class ContextPorts : public ::testing::Test
{
protected:
    void SetUp() override
    {
        context = makeContext();
        ASSERT_TRUE(context);
        context->setEndpointFactory(loggedDrivers(log));
        context->setOwner(&owner);
    }

    std::shared_ptr<TDriverLog> log = std::make_shared<TDriverLog>();
    TFakeOwner owner;
    TContextPtr context;
};

TEST_F(ContextPorts, PortZeroIsNeverOpened)
{
    EXPECT_FALSE(context->requestPort(0, 0));
    EXPECT_FALSE(context->requestPort(1, 0));
    EXPECT_EQ(log->created, 0);
}

TEST_F(ContextPorts, RequestingTwiceOpensOneEndpoint)
{
    for (int direction : {0, 1}) {
        EXPECT_TRUE(context->requestPort(direction, 5));
        EXPECT_TRUE(context->requestPort(direction, 5));
        EXPECT_TRUE(context->isPortActive(direction, 5));
        EXPECT_EQ(context->openPortCount(direction), 1);
    }
    EXPECT_EQ(log->created, 2);
    EXPECT_EQ(log->snapshot(), (std::vector<std::string>{"open in 5", "open out 5"}));
}

TEST_F(ContextPorts, FailedOpenLeavesNothingBehind)
{
    log->openResult = false;
    EXPECT_FALSE(context->requestPort(0, 2));
    EXPECT_FALSE(context->requestPort(1, 2));
    EXPECT_FALSE(context->isPortActive(0, 2));
    EXPECT_FALSE(context->isPortActive(1, 2));
    EXPECT_FALSE(context->hasOutputLock(2));
    EXPECT_EQ(log->snapshot(), (std::vector<std::string>{"open in 2", "gone in 2", "open out 2", "gone out 2"}));
}

TEST_F(ContextPorts, OutputGoesOnlyToAnOpenPortAndModeBitZeroDecides)
{
    IMPAsyncOutput* output = context->asyncOutput();
    EXPECT_EQ(output->MPOutput(noteOn(3, 60), kSendNow), E_FAIL) << "never opened";

    ASSERT_TRUE(context->requestPort(1, 3));
    EXPECT_EQ(output->MPOutput(noteOn(3, 60), kSendNow), S_OK);
    EXPECT_EQ(output->MPOutput(noteOn(4, 60), kSendNow), E_FAIL) << "another port";
    EXPECT_EQ(output->MPOutput(noteOn(4, 60), kSendLater), S_OK) << "bit 0 clear: accepted, not sent";
    // An event the endpoint cannot convert is reported, not swallowed.
    EXPECT_EQ(output->MPOutput(noteOn(3, 200), kSendNow), E_FAIL);

    context->releasePort(1, 3);
    EXPECT_FALSE(context->isPortActive(1, 3));
    EXPECT_TRUE(context->hasOutputLock(3)) << "the port lock outlives the endpoint";
    EXPECT_EQ(output->MPOutput(noteOn(3, 60), kSendNow), E_FAIL);

    ASSERT_TRUE(context->requestPort(1, 3));
    EXPECT_EQ(output->MPOutput(noteOn(3, 60), kSendNow), S_OK);

    // 0x90 is note on; the unconvertible event and the deferred one sent nothing.
    EXPECT_EQ(log->snapshot(), (std::vector<std::string>{"open out 3", "sent out 3 144", "gone out 3",
                                                         "open out 3", "sent out 3 144"}));
}

TEST_F(ContextPorts, DriverFailureReachesTheComponent)
{
    auto refusing = log;
    context->setEndpointFactory([refusing]() -> TMIDITransport* {
        auto* driver = new TLoggedDriver(refusing);
        driver->setFailAtCall(0);
        return driver;
    });
    ASSERT_TRUE(context->requestPort(1, 3));
    EXPECT_EQ(context->asyncOutput()->MPOutput(noteOn(3, 60), kSendNow), E_FAIL);
    EXPECT_EQ(context->asyncOutput()->MPOutput(noteOn(3, 60), kSendNow), S_OK) << "only the first send fails";
}

TEST_F(ContextPorts, ReleasingUnknownPortsDoesNothing)
{
    context->releasePort(0, 9);
    context->releasePort(1, 9);
    EXPECT_EQ(context->openPortCount(0), 0);
    EXPECT_EQ(context->openPortCount(1), 0);
}

TEST_F(ContextPorts, NewInputGetsEveryWrapperFilterAndAttachReachesOpenInputs)
{
    TRecordingFilter first;
    TRecordingFilter second;
    TRecordingFilter later;
    owner.filters = {&first, &second};

    ASSERT_TRUE(context->requestPort(0, 1));
    ASSERT_TRUE(context->requestPort(0, 2));
    for (std::uint32_t port : {1u, 2u}) {
        TAppMIDIIn* input = context->inputEndpoint(port);
        ASSERT_TRUE(input);
        EXPECT_TRUE(input->hasEventFilter(&first));
        EXPECT_TRUE(input->hasEventFilter(&second));
    }

    context->attachEventFilter(&later);
    context->attachEventFilter(&later); // an endpoint keeps a filter once
    context->attachEventFilter(nullptr);
    for (std::uint32_t port : {1u, 2u}) {
        EXPECT_TRUE(context->inputEndpoint(port)->hasEventFilter(&later));
        EXPECT_EQ(context->inputEndpoint(port)->eventFilterCount(), 3);
    }

    context->detachEventFilter(&first);
    for (std::uint32_t port : {1u, 2u}) {
        EXPECT_FALSE(context->inputEndpoint(port)->hasEventFilter(&first));
        EXPECT_EQ(context->inputEndpoint(port)->eventFilterCount(), 2);
    }
}

TEST_F(ContextPorts, InputWithoutOwnerOpensWithoutFilters)
{
    context->setOwner(nullptr);
    ASSERT_TRUE(context->requestPort(0, 1));
    EXPECT_EQ(context->inputEndpoint(1)->eventFilterCount(), 0);
    EXPECT_EQ(owner.filterListCalls, 0);
}

TEST_F(ContextPorts, InputEventsAreStampedFromTheProcessCounter)
{
    TRecordingFilter filter;
    owner.filters = {&filter};
    ASSERT_TRUE(context->requestPort(0, 1));
    auto* driver = static_cast<TFakeDriver*>(context->inputEndpoint(1)->transport());
    ASSERT_TRUE(driver);

    const std::uint64_t before = ClientIUnknown::s_timeCounter.load();
    driver->feed({0x90, 60, 100, 0x80, 60, 0});
    ASSERT_TRUE(filter.waitCalls(2));
    const auto calls = filter.calls();
    EXPECT_EQ(calls[0].event.eventNumber, before);
    EXPECT_EQ(calls[1].event.eventNumber, before + 1);
    EXPECT_EQ(calls[0].event.eventNumberKind, 1u);
    EXPECT_GE(ClientIUnknown::s_timeCounter.load(), before + 2);
}

} // namespace
