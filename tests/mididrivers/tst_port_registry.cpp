// The system port registry: identities that survive restarts, renumbering, duplicates and
// absence; damaged stored lists; unknown identities; the port list handed to components;
// taking over the lists of the older preferences location.

#include "MIDIAssert.h"
#include "TMIDIPortSettings.h"
#include "TSystemPortLists.h"
#include "TUniMIDIPortAccessor.h"

#include <kav/KAVRecords.h>

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {

const QString kNames0 = QStringLiteral("/preferences/SystemPorts/Input/portNames");
const QString kIds0 = QStringLiteral("/preferences/SystemPorts/Input/portIds");
const QString kNames1 = QStringLiteral("/preferences/SystemPorts/Output/portNames");
const QString kIds1 = QStringLiteral("/preferences/SystemPorts/Output/portIds");

// A platform with fixed port names; an empty name stands for a missing port.
class TFakePorts : public TUniMIDIPortAccessor
{
public:
    TFakePorts(QStringList inputs, QStringList outputs = {})
    {
        m_names[0] = std::move(inputs);
        m_names[1] = std::move(outputs);
    }
    int getNumPorts(int direction) const override { return static_cast<int>(m_names[direction].size()); }
    QString identifierForIndex(int direction, int index) const override
    {
        return m_names[direction].value(index);
    }

private:
    QStringList m_names[2];
};

class PortRegistry : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    std::unique_ptr<QSettings> current() const
    {
        return std::make_unique<QSettings>(m_dir.filePath(QStringLiteral("MW2.conf")), QSettings::IniFormat);
    }
    std::unique_ptr<QSettings> older() const
    {
        return std::make_unique<QSettings>(m_dir.filePath(QStringLiteral("old.conf")), QSettings::IniFormat);
    }

    // One program start with these ports.
    std::unique_ptr<TFakePorts> start(const QStringList& inputs, const QStringList& outputs = {})
    {
        auto registry = std::make_unique<TFakePorts>(inputs, outputs);
        auto now = current();
        auto old = older();
        registry->init(*now, *old);
        return registry;
    }

    QStringList stored(const QString& key) const { return current()->value(key).toStringList(); }

    // Identity of the port at 1-based index `port`.
    static QUuid idAt(const TMIDIPortAccessor& registry, int direction, int port)
    {
        QList<QUuid> ids;
        registry.qUuids(direction, ids);
        for (const QUuid& id : ids)
            if (registry.portID(id) == port)
                return id;
        return {};
    }

    QTemporaryDir m_dir;
};

TEST_F(PortRegistry, FirstRunCreatesAndStoresIdentities)
{
    const auto registry = start({QStringLiteral("A"), QStringLiteral("B")}, {QStringLiteral("Out")});
    EXPECT_EQ(stored(kNames0), (QStringList{QStringLiteral("1;A<[Inp]>"), QStringLiteral("2;B<[Inp]>")}));
    EXPECT_EQ(stored(kNames1), QStringList{QStringLiteral("1;Out<[Out]>")});

    QList<QUuid> ids;
    registry->qUuids(0, ids);
    ASSERT_EQ(ids.size(), 2);
    EXPECT_NE(ids[0], ids[1]);
    EXPECT_EQ(stored(kIds0), (QStringList{ids[0].toString(), ids[1].toString()}));
    EXPECT_EQ(registry->encodedName(ids[0]), QStringLiteral("1;A"));
    EXPECT_EQ(registry->friendlyName(ids[1]), QStringLiteral("B"));
    EXPECT_EQ(registry->portID(ids[1]), 2);
    const QUuid out = idAt(*registry, 1, 1);
    EXPECT_EQ(registry->friendlyName(out), QStringLiteral("Out"));
    EXPECT_EQ(stored(kIds1), QStringList{out.toString()});
}

TEST_F(PortRegistry, RenumberedPortsKeepTheirIdentities)
{
    const auto first = start({QStringLiteral("A"), QStringLiteral("B")});
    const QUuid a = idAt(*first, 0, 1);
    const QUuid b = idAt(*first, 0, 2);
    const QStringList names = stored(kNames0);
    const QStringList ids = stored(kIds0);

    const auto second = start({QStringLiteral("B"), QStringLiteral("A")});
    EXPECT_EQ(second->portID(a), 2);
    EXPECT_EQ(second->portID(b), 1);
    EXPECT_EQ(second->encodedName(a), QStringLiteral("2;A"));
    QList<QUuid> order;
    second->qUuids(0, order);
    EXPECT_EQ(order, (QList<QUuid>{b, a}));
    EXPECT_EQ(stored(kNames0), names);
    EXPECT_EQ(stored(kIds0), ids);
}

TEST_F(PortRegistry, PortsOfTheSameNameTakeStoredIdentitiesInOrder)
{
    const auto first = start({QStringLiteral("X"), QStringLiteral("X")});
    const QUuid x1 = idAt(*first, 0, 1);
    const QUuid x2 = idAt(*first, 0, 2);
    ASSERT_NE(x1, x2);

    const auto second = start({QStringLiteral("Y"), QStringLiteral("X"), QStringLiteral("X"), QStringLiteral("X")});
    EXPECT_EQ(second->portID(x1), 2);
    EXPECT_EQ(second->portID(x2), 3);
    const QUuid x3 = idAt(*second, 0, 4);
    EXPECT_FALSE(x3.isNull());
    EXPECT_NE(x3, x1);
    EXPECT_NE(x3, x2);
    EXPECT_EQ(stored(kNames0), (QStringList{QStringLiteral("1;X<[Inp]>"), QStringLiteral("2;X<[Inp]>"),
                                            QStringLiteral("1;Y<[Inp]>"), QStringLiteral("4;X<[Inp]>")}));
    EXPECT_EQ(stored(kIds0).last(), x3.toString());
}

TEST_F(PortRegistry, AbsentPortKeepsItsEntryAndGetsItsIdentityBack)
{
    const auto first = start({QStringLiteral("A"), QStringLiteral("B")});
    const QUuid a = idAt(*first, 0, 1);
    const QUuid b = idAt(*first, 0, 2);

    const auto without = start({QStringLiteral("B")});
    EXPECT_EQ(without->portID(a), 0);
    EXPECT_EQ(without->friendlyName(a), QStringLiteral("<unknown port name>"));
    EXPECT_EQ(without->portID(b), 1);
    EXPECT_EQ(stored(kNames0).size(), 2);

    const auto back = start({QStringLiteral("C"), QStringLiteral("A"), QStringLiteral("B")});
    EXPECT_EQ(back->portID(a), 2);
    EXPECT_EQ(back->portID(b), 3);
    EXPECT_EQ(stored(kNames0).size(), 3);
}

TEST_F(PortRegistry, MissingAndNamelessPorts)
{
    // An empty name is a missing port: no identity, no entry.
    const auto registry = start({QStringLiteral("A"), QString(), QStringLiteral("C")});
    QList<QUuid> ids;
    registry->qUuids(0, ids);
    ASSERT_EQ(ids.size(), 2);
    EXPECT_EQ(registry->encodedName(ids[1]), QStringLiteral("3;C"));
    EXPECT_EQ(stored(kNames0).size(), 2);

    // A port without a name of its own is listed as "Port #<index>"; a ';' of a platform
    // name would split the encoded name, so it is replaced.
    EXPECT_EQ(TUniMIDIPortAccessor::displayName(QString(), 1), QStringLiteral("Port #2"));
    EXPECT_EQ(TUniMIDIPortAccessor::displayName(QStringLiteral("a;b"), 0), QStringLiteral("a,b"));
}

struct TDamageCase
{
    const char* name;
    QStringList names;
    QStringList ids;
};

TEST_F(PortRegistry, DamagedStoredListsAreDiscardedAsAWhole)
{
    const QString id1 = QUuid::createUuid().toString();
    const QString id2 = QUuid::createUuid().toString();
    const QStringList goodNames{QStringLiteral("1;A<[Inp]>"), QStringLiteral("2;B<[Inp]>")};
    const TDamageCase cases[] = {
        {"identities one short", goodNames, {id1}},
        {"unreadable identity", goodNames, {id1, QStringLiteral("not-a-uuid")}},
        {"null identity", goodNames, {id1, QUuid().toString()}},
        {"name without ';'", {QStringLiteral("1;A<[Inp]>"), QStringLiteral("B<[Inp]>")}, {id1, id2}},
    };
    for (const TDamageCase& c : cases) {
        SCOPED_TRACE(c.name);
        {
            auto now = current();
            now->clear();
            now->setValue(kNames0, c.names);
            now->setValue(kIds0, c.ids);
        }
        const auto registry = start({QStringLiteral("A"), QStringLiteral("B")});
        const QUuid a = idAt(*registry, 0, 1);
        const QUuid b = idAt(*registry, 0, 2);
        EXPECT_FALSE(a.isNull());
        EXPECT_NE(a.toString(), id1);
        EXPECT_NE(b.toString(), id2);
        EXPECT_EQ(stored(kNames0), goodNames);
        EXPECT_EQ(stored(kIds0), (QStringList{a.toString(), b.toString()}));
    }
}

TEST_F(PortRegistry, IdentityStoredTwiceGivesTheSecondPortANewOne)
{
    const QString id = QUuid::createUuid().toString();
    {
        auto now = current();
        now->setValue(kNames0, QStringList{QStringLiteral("1;A<[Inp]>"), QStringLiteral("2;B<[Inp]>")});
        now->setValue(kIds0, QStringList{id, id});
    }
    const auto registry = start({QStringLiteral("A"), QStringLiteral("B")});
    EXPECT_EQ(idAt(*registry, 0, 1).toString(), id);
    const QUuid b = idAt(*registry, 0, 2);
    EXPECT_FALSE(b.isNull());
    EXPECT_NE(b.toString(), id);
    EXPECT_EQ(stored(kIds0).size(), 3);
}

TEST_F(PortRegistry, UnknownIdentitiesNeverFail)
{
    const auto registry = start({QStringLiteral("A")});
    for (const QUuid& id : {QUuid(), QUuid::createUuid()}) {
        SCOPED_TRACE(id.toString().toStdString());
        EXPECT_EQ(registry->friendlyName(id), QStringLiteral("<unknown port name>"));
        EXPECT_EQ(registry->encodedName(id), QStringLiteral("0;<unknown port name>"));
        EXPECT_EQ(registry->portID(id), 0);
    }
}

TEST_F(PortRegistry, GetPortsFillsTheRecordInIndexOrder)
{
    const auto registry = start({QStringLiteral("B"), QStringLiteral("A")});
    tagMPPORTDATA data{99, reinterpret_cast<tagMPPORT*>(1)};
    registry->MPGetPorts(1, &data);
    EXPECT_EQ(data.count, 0u);
    EXPECT_EQ(data.ports, nullptr);

    registry->MPGetPorts(0, &data);
    ASSERT_EQ(data.count, 2u);
    ASSERT_NE(data.ports, nullptr);
    const char16_t* expectedNames[] = {u"B", u"A"};
    for (std::uint32_t i = 0; i < data.count; ++i) {
        const tagMPPORT& port = data.ports[i];
        EXPECT_EQ(port.port, i + 1);
        const QUuid id = QUuid::fromRfc4122(QByteArrayView(port.identity.bytes, 16));
        EXPECT_EQ(id, idAt(*registry, 0, static_cast<int>(i + 1)));
        EXPECT_EQ(QString::fromUtf16(port.name), QString::fromUtf16(expectedNames[i]));
        std::free(port.name);
    }
    std::free(data.ports);
}

TEST_F(PortRegistry, GetPortsWithoutRecordIsReported)
{
    const auto registry = start({QStringLiteral("A")});
    QStringList seen;
    static QStringList* sink = nullptr;
    sink = &seen;
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& text) { sink->append(text); });
    registry->MPGetPorts(0, nullptr);
    qInstallMessageHandler(previous);
    ASSERT_EQ(seen.size(), 1);
    EXPECT_TRUE(seen[0].startsWith(QStringLiteral("ASSERT: \"pPortData\" in MIDITransport ("))) << qPrintable(seen[0]);
}

// The table handed in directly, to pin the ordering rules.
class TTableAccessor : public TMIDIPortAccessor
{
public:
    void set(int direction, const QMap<QUuid, QString>& table) { m_ports[direction] = table; }
};

TEST(PortOrder, AscendingIndexLastOfEqualIndicesAndTwoFieldsNeeded)
{
    const QUuid low = QUuid::fromString(QStringLiteral("{00000000-0000-0000-0000-000000000001}"));
    const QUuid high = QUuid::fromString(QStringLiteral("{00000000-0000-0000-0000-000000000002}"));
    const QUuid ten = QUuid::createUuid();
    const QUuid two = QUuid::createUuid();
    const QUuid bad = QUuid::createUuid();
    TTableAccessor accessor;
    accessor.set(0, {{ten, QStringLiteral("10;Ten")}, {two, QStringLiteral("2;Two")},
                     {low, QStringLiteral("3;first")}, {high, QStringLiteral("3;second")},
                     {bad, QStringLiteral("7")}});
    QList<QUuid> ids;
    accessor.qUuids(0, ids);
    EXPECT_EQ(ids, (QList<QUuid>{two, high, ten}));
    EXPECT_EQ(accessor.portID(bad), 7);
    EXPECT_EQ(accessor.friendlyName(bad), QString());
    QList<QUuid> none;
    accessor.qUuids(5, none);
    EXPECT_TRUE(none.isEmpty());
}

TEST_F(PortRegistry, OlderLocationIsTakenOverOnce)
{
    const QString oldA = QUuid::createUuid().toString();
    {
        auto old = older();
        old->setValue(kNames0, QStringList{QStringLiteral("3;A<[Inp]>")});
        old->setValue(kIds0, QStringList{oldA});
        old->setValue(kNames1, QStringList{QStringLiteral("1;Out<[Out]>")});
        old->setValue(kIds1, QStringList{QUuid::createUuid().toString()});
    }
    const auto first = start({QStringLiteral("B"), QStringLiteral("A")}, {QStringLiteral("Out")});
    EXPECT_EQ(idAt(*first, 0, 2).toString(), oldA);
    EXPECT_EQ(stored(kNames0), (QStringList{QStringLiteral("3;A<[Inp]>"), QStringLiteral("1;B<[Inp]>")}));
    EXPECT_EQ(stored(kIds0).first(), oldA);
    EXPECT_EQ(idAt(*first, 1, 1).toString(), older()->value(kIds1).toStringList().first());

    // Once the current location has lists, the older one is not read again.
    {
        auto old = older();
        old->setValue(kIds0, QStringList{QUuid::createUuid().toString()});
    }
    const auto second = start({QStringLiteral("A")});
    EXPECT_EQ(idAt(*second, 0, 1).toString(), oldA);
}

TEST_F(PortRegistry, NoPortsStoresListsThatReadBackEmpty)
{
    const auto first = start({});
    EXPECT_TRUE(current()->contains(kNames0));
    EXPECT_TRUE(stored(kNames0).isEmpty());
    EXPECT_TRUE(stored(kIds0).isEmpty());
    const auto second = start({QStringLiteral("A")});
    EXPECT_EQ(stored(kNames0), QStringList{QStringLiteral("1;A<[Inp]>")});
}

TEST_F(PortRegistry, DefaultLocationsArePerUserAndSystemWide)
{
    QTemporaryDir user;
    QTemporaryDir system;
    ASSERT_TRUE(user.isValid() && system.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, user.path());
    QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, system.path());

    const QString oldId = QUuid::createUuid().toString();
    {
        const auto old = NS_Utilities::setOldPath();
        old->setValue(kNames1, QStringList{QStringLiteral("1;Synth<[Out]>")});
        old->setValue(kIds1, QStringList{oldId});
    }
    EXPECT_TRUE(QFile::exists(system.filePath(QStringLiteral("Velmar/VELMAR Mixwarden.conf"))));

    TFakePorts registry({}, {QStringLiteral("Synth")});
    registry.init();
    EXPECT_EQ(idAt(registry, 1, 1).toString(), oldId);
    const auto now = NS_Utilities::setNewPath();
    EXPECT_TRUE(now->fileName().startsWith(user.path())) << qPrintable(now->fileName());
    EXPECT_TRUE(now->fileName().endsWith(QStringLiteral("Velmar/MW2.conf"))) << qPrintable(now->fileName());
    EXPECT_EQ(now->value(kIds1).toStringList(), QStringList{oldId});
}

TEST(VirtualPortList, ListsTheServicePortsInOrder)
{
    TVirtualMIDIService service;
    service.addSource(QStringLiteral("Keys"));
    service.addLoopback(QStringLiteral("Loop"));
    service.addDestination(QString());
    TVirtualServicePortAccessor ports(service);
    EXPECT_EQ(ports.getNumPorts(0), 2);
    EXPECT_EQ(ports.identifierForIndex(0, 0), QStringLiteral("Keys"));
    EXPECT_EQ(ports.identifierForIndex(0, 1), QStringLiteral("Loop"));
    EXPECT_EQ(ports.getNumPorts(1), 2);
    EXPECT_EQ(ports.identifierForIndex(1, 1), QStringLiteral("Port #2"));
    EXPECT_EQ(ports.identifierForIndex(1, 2), QString());
    EXPECT_EQ(ports.identifierForIndex(2, 0), QString());
}

} // namespace
