// Port usages advised by components, the port lists they are checked against, nicknames
// and forgetting a component's usages.

#include "THostTestSupport.h"

#include "ClientIMPClientServices.h"

#include <kav/KAVHelpers.h>

#include <QStringList>

namespace {

constexpr auto kRemove = static_cast<EIMPPortUsageOp>(0);
constexpr auto kAdd = static_cast<EIMPPortUsageOp>(1);
constexpr auto kRename = static_cast<EIMPPortUsageOp>(2);
constexpr auto kMove = static_cast<EIMPPortUsageOp>(3);

const QUuid kIn1 = QUuid::fromString(QStringLiteral("{11111111-0000-0000-0000-000000000001}"));
const QUuid kIn2 = QUuid::fromString(QStringLiteral("{11111111-0000-0000-0000-000000000002}"));
const QUuid kOut1 = QUuid::fromString(QStringLiteral("{22222222-0000-0000-0000-000000000001}"));
const QUuid kBoth = QUuid::fromString(QStringLiteral("{33333333-0000-0000-0000-000000000003}"));
const QUuid kStranger = QUuid::fromString(QStringLiteral("{44444444-0000-0000-0000-000000000004}"));

class PortUsages : public ::testing::Test
{
protected:
    void SetUp() override
    {
        context = makeContext();
        ASSERT_TRUE(context);
        ports.add(0, kIn1, 1, QStringLiteral("Port A"));
        ports.add(0, kIn2, 2, QStringLiteral("Port B"));
        ports.add(0, kBoth, 3, QStringLiteral("Both In"));
        ports.add(1, kOut1, 1, QStringLiteral("Port A"));
        ports.add(1, kBoth, 2, QStringLiteral("Both Out"));
        context->setWorkspacePorts(&ports);
        owner.context = context.get();
        context->setOwner(&owner);
        services = context->servicesPart();
        // Users in ascending address order, so the map order is known.
        owner.names.insert(&users[0], QStringLiteral("Mixer 1"));
        owner.names.insert(&users[1], QStringLiteral("Recorder"));
    }
    void TearDown() override
    {
        context->setWorkspacePorts(nullptr);
        context.reset();
    }

    HRESULT advise(EIMPPortUsageOp op, const QUuid& port, IUnknown* user, int index,
                   const char16_t* name = u"")
    {
        CFUUIDBytes id = bytesOf(port);
        std::u16string text(name);
        return services->MPAdvisePortName(op, &id, text.data(), nullptr, user, index);
    }

    std::string nick(const QUuid& port) const { return context->nickNameForPortId(port).toStdString(); }

    TFakeWorkspacePorts ports;
    TFakeOwner owner;
    TContextPtr context;
    ClientIMPClientServices* services = nullptr;
    TPlainUnknown users[3];
};

TEST_F(PortUsages, OneUsagePerIndexAndDirection)
{
    EXPECT_EQ(advise(kAdd, kIn1, &users[0], 5), S_OK);
    EXPECT_EQ(advise(kAdd, kIn2, &users[0], 5), E_FAIL) << "index 5 is taken for inputs";
    EXPECT_EQ(advise(kAdd, kOut1, &users[0], 5), S_OK) << "outputs count apart";
    EXPECT_EQ(advise(kAdd, kIn1, &users[0], 5), E_FAIL) << "the same usage twice";
    EXPECT_EQ(advise(kAdd, kIn2, &users[0], 6), S_OK);
    EXPECT_EQ(advise(kAdd, kIn1, &users[1], 5), S_OK) << "usages are per component";
    EXPECT_EQ(services->usageCount(&users[0]), 3);
}

struct TAdviseCase
{
    const char* name;
    EIMPPortUsageOp op;
    QUuid port;
    int userIndex; // 0 has a usage of kIn1 at index 1; 2 never advised
    int usageIndex;
    HRESULT result;
};

const TAdviseCase kAdviseCases[] = {
    {"AddStrangerPort", kAdd, kStranger, 0, 2, E_INVALIDARG},
    {"AddStrangerPortNewUser", kAdd, kStranger, 2, 2, E_INVALIDARG},
    {"RenameStrangerPort", kRename, kStranger, 0, 1, E_INVALIDARG},
    {"MoveToStrangerPort", kMove, kStranger, 0, 1, E_INVALIDARG},
    {"RemoveUnknownUser", kRemove, kIn1, 2, 1, E_INVALIDARG},
    {"RenameUnknownUser", kRename, kIn1, 2, 1, E_INVALIDARG},
    {"MoveUnknownUser", kMove, kIn1, 2, 1, E_INVALIDARG},
    {"RemoveWrongIndex", kRemove, kIn1, 0, 2, E_FAIL},
    {"RemoveWrongPort", kRemove, kIn2, 0, 1, E_FAIL},
    {"RemoveIt", kRemove, kIn1, 0, 1, S_OK},
    {"RenameOtherPortSameIndex", kRename, kIn2, 0, 1, E_FAIL},
    {"RenameIt", kRename, kIn1, 0, 1, S_OK},
    {"MoveToOutputKeepsNothing", kMove, kOut1, 0, 1, E_FAIL},
    {"MoveWrongIndex", kMove, kIn2, 0, 3, E_FAIL},
    {"MoveIt", kMove, kIn2, 0, 1, S_OK},
    {"UnknownOperation", static_cast<EIMPPortUsageOp>(4), kIn1, 0, 1, E_FAIL},
};

void PrintTo(const TAdviseCase& c, std::ostream* os)
{
    *os << c.name;
}

class PortUsageResults : public PortUsages, public ::testing::WithParamInterface<TAdviseCase>
{
};

TEST_P(PortUsageResults, ResultCode)
{
    const TAdviseCase& c = GetParam();
    ASSERT_EQ(advise(kAdd, kIn1, &users[0], 1, u"MIDI A"), S_OK);
    EXPECT_EQ(advise(c.op, c.port, &users[c.userIndex], c.usageIndex, u"New"), c.result);
}

INSTANTIATE_TEST_SUITE_P(ClientServices, PortUsageResults, ::testing::ValuesIn(kAdviseCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PortUsages, RenameMoveAndRemoveShowInTheNickname)
{
    ASSERT_EQ(advise(kAdd, kIn1, &users[0], 1, u"MIDI A"), S_OK);
    EXPECT_EQ(nick(kIn1), "Mixer 1 MIDI A");
    ASSERT_EQ(advise(kRename, kIn1, &users[0], 1, u"Main"), S_OK);
    EXPECT_EQ(nick(kIn1), "Mixer 1 Main");
    ASSERT_EQ(advise(kMove, kIn2, &users[0], 1), S_OK);
    EXPECT_EQ(nick(kIn1), "");
    EXPECT_EQ(nick(kIn2), "Mixer 1 Main");
    EXPECT_TRUE(context->portInUse(kIn2));
    EXPECT_FALSE(context->portInUse(kIn1));
    ASSERT_EQ(advise(kRemove, kIn2, &users[0], 1), S_OK);
    EXPECT_FALSE(context->portInUse(kIn2));
}

TEST_F(PortUsages, IdentityInBothListsCountsAsInput)
{
    ASSERT_EQ(advise(kAdd, kBoth, &users[0], 1), S_OK);
    // An input usage at index 1 exists now, so a second input port at 1 is refused while an
    // output one is accepted.
    EXPECT_EQ(advise(kAdd, kIn1, &users[0], 1), E_FAIL);
    EXPECT_EQ(advise(kAdd, kOut1, &users[0], 1), S_OK);
}

TEST_F(PortUsages, NicknameListsComponentsInMapOrderAndSkipsUnknownUsers)
{
    ASSERT_EQ(advise(kAdd, kIn1, &users[1], 4), S_OK);           // Recorder, no name
    ASSERT_EQ(advise(kAdd, kIn1, &users[2], 1, u"Ghost"), S_OK); // no wrapper
    ASSERT_EQ(advise(kAdd, kIn1, &users[0], 7, u"MIDI A"), S_OK);
    EXPECT_EQ(nick(kIn1), "Mixer 1 MIDI A, Recorder");
    EXPECT_TRUE(context->portInUse(kIn1)) << "the unknown user's usage still counts as use";
    EXPECT_EQ(nick(kOut1), "");
}

TEST_F(PortUsages, FreedComponentLeavesNoUsage)
{
    ASSERT_EQ(advise(kAdd, kIn1, &users[0], 1, u"MIDI A"), S_OK);
    ASSERT_EQ(advise(kAdd, kOut1, &users[0], 1, u"MIDI A"), S_OK);
    ASSERT_EQ(advise(kAdd, kIn1, &users[1], 1), S_OK);

    owner.advisePortFree(&users[0]); // what the wrapper's destruction does
    EXPECT_EQ(services->usageCount(&users[0]), 0);
    EXPECT_EQ(nick(kIn1), "Recorder");
    EXPECT_FALSE(context->portInUse(kOut1));
    // The component is unknown again.
    EXPECT_EQ(advise(kRemove, kIn1, &users[0], 1), E_INVALIDARG);

    services->RemoveAllPortUsages();
    EXPECT_FALSE(context->portInUse(kIn1));
}

TEST_F(PortUsages, MissingPortIdentityIsRefusedNotFollowed)
{
    ASSERT_EQ(advise(kAdd, kIn1, &users[0], 1), S_OK);
    for (EIMPPortUsageOp op : {kAdd, kRename, kMove})
        EXPECT_EQ(services->MPAdvisePortName(op, nullptr, nullptr, nullptr, &users[0], 1), E_INVALIDARG);
    EXPECT_EQ(services->MPAdvisePortName(kRemove, nullptr, nullptr, nullptr, &users[0], 1), E_FAIL);
    EXPECT_EQ(services->usageCount(&users[0]), 1);
}

TEST_F(PortUsages, NoInterfaceForPortOpening)
{
    std::uint32_t port = 0;
    CFUUIDBytes id{};
    char16_t* name = nullptr;
    EXPECT_EQ(services->MPRequestPort(&port, &id, &name), E_NOTIMPL);
    EXPECT_EQ(services->MPReleasePort(1), E_NOTIMPL);
    EXPECT_EQ(services->MPAudioPortConfig(static_cast<_MPAUDIOSTATE>(0)), E_NOTIMPL);
    EXPECT_EQ(services->ConnectProxy(nullptr), E_NOTIMPL);
}

// --- port lists ------------------------------------------------------------------------------

// "1 Port A|2 Port B": number and name of every entry.
std::string namesOf(const tagMPPORTDATA& data)
{
    QStringList names;
    for (std::uint32_t i = 0; i < data.count; ++i)
        names << QString::number(data.ports[i].port) + QLatin1Char(' ') + QString::fromUtf16(data.ports[i].name);
    return names.join(QLatin1Char('|')).toStdString();
}

void freePorts(tagMPPORTDATA& data)
{
    for (std::uint32_t i = 0; i < data.count; ++i)
        std::free(data.ports[i].name);
    std::free(data.ports);
    data = {};
}

TEST_F(PortUsages, GetPortsHandsOutOwnCopiesAndRebuildsAfterDispose)
{
    tagMPPORTDATA data{};
    ASSERT_EQ(services->MPGetPorts(false, &data), S_OK);
    EXPECT_EQ(namesOf(data), "1 Port A|2 Port B|3 Both In");
    EXPECT_EQ(QUuid::fromRfc4122(QByteArrayView(reinterpret_cast<const char*>(data.ports[0].identity.bytes), 16)), kIn1);
    tagMPPORTDATA again{};
    ASSERT_EQ(services->MPGetPorts(false, &again), S_OK);
    EXPECT_NE(again.ports, data.ports);
    EXPECT_NE(again.ports[0].name, data.ports[0].name) << "each copy has its own names";
    freePorts(data);
    freePorts(again);

    // The cache holds until it is disposed of.
    ASSERT_EQ(services->MPGetPorts(true, &data), S_OK);
    freePorts(data);
    ports.add(1, kStranger, 3, QStringLiteral("New Out"));
    ASSERT_EQ(services->MPGetPorts(true, &data), S_OK);
    EXPECT_EQ(namesOf(data), "1 Port A|2 Both Out");
    freePorts(data);
    EXPECT_EQ(advise(kAdd, kStranger, &users[0], 1), E_INVALIDARG);

    context->disposeMPPortData();
    ASSERT_EQ(services->MPGetPorts(true, &data), S_OK);
    EXPECT_EQ(namesOf(data), "1 Port A|2 Both Out|3 New Out");
    freePorts(data);
    EXPECT_EQ(advise(kAdd, kStranger, &users[0], 1), S_OK);
}

TEST_F(PortUsages, GetPortsOfAnEmptyDirectionAndNullRecord)
{
    ports.clear(1);
    context->disposeMPPortData();
    tagMPPORTDATA data{5, reinterpret_cast<tagMPPORT*>(0x1)};
    EXPECT_EQ(services->MPGetPorts(true, &data), S_OK);
    EXPECT_EQ(data.count, 0u);
    EXPECT_EQ(data.ports, nullptr);
    EXPECT_EQ(services->MPGetPorts(true, nullptr), E_POINTER);
}

TEST(PortUsagesWithoutContext, ServicesOnTheirOwnFailSafely)
{
    auto* services = KAVNewObject<ClientIMPClientServices>(nullptr, IID_IMPClientServices, false);
    ASSERT_TRUE(services);
    TPlainUnknown user;
    CFUUIDBytes id = bytesOf(kIn1);
    tagMPPORTDATA data{};
    EXPECT_EQ(services->MPGetPorts(false, &data), E_OUTOFMEMORY);
    EXPECT_EQ(services->MPAdvisePortName(kAdd, &id, nullptr, nullptr, &user, 1), E_FAIL);
    EXPECT_FALSE(services->isValidPort(false, id));
    EXPECT_TRUE(services->nickNameForPortId(kIn1).isEmpty());
    services->Release();
}

} // namespace
