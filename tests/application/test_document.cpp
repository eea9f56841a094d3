// The Workspace document: exact bytes of an empty Workspace, round trip, header
// versions and damaged input.
#include "MainWindowFixture.h"

#include "TQt3Stream.h"

#include <QBuffer>
#include <QDataStream>
#include <QtEndian>
#include <QListWidget>

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// A Qt 3 string: byte count, then UTF-16 big-endian.
QByteArray qt3String(const QString& text)
{
    QByteArray out;
    const quint32 n = quint32(text.size() * 2);
    out.append(char(n >> 24)).append(char(n >> 16)).append(char(n >> 8)).append(char(n));
    for (QChar c : text)
        out.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xff));
    return out;
}

QByteArray saved(ApplicationWindow& w)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QDataStream s(&buffer);
    EXPECT_EQ(w.saveViaStream(s, 0), 0);
    return buffer.data();
}

// Loads `bytes` into `w`; returns what loadViaStream returned.
int load(ApplicationWindow& w, const QByteArray& bytes)
{
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QDataStream s(&buffer);
    return w.loadViaStream(s, 0);
}

QByteArray withHeader(const QByteArray& document, const QString& header)
{
    // The header is the first value: type code, count, characters.
    const quint32 oldCount = qFromBigEndian<quint32>(document.constData() + 4);
    QByteArray out = hex("00000003") + qt3String(header);
    out += document.mid(8 + int(oldCount));
    return out;
}

const char* const kIncompatible =
    "Document failed to open, due to the following reason:\n"
    "Document is not compatible with this version of software.";

} // namespace

using DocumentTest = MainWindowFixture;

TEST_F(DocumentTest, EmptyWorkspaceHasTheseExactBytes)
{
    window->setGeometry(QRect(10, 20, 600, 400));
    QByteArray expected;
    expected += hex("00000003") + qt3String("Version;2.00;Application Name;VELMAR Mixwarden");
    expected += hex("00000008 0000000a 00000014 00000261 000001a3");
    expected += hex("00000000 00000000 00000000 00000000");
    expected += hex("00000003");
    expected += qt3String("fileformat-minorversion") + hex("00000011 00000001");
    expected += qt3String("iconview-arrangement") + hex("00000010 00000000");
    expected += qt3String("iconview-sorting") + hex("00000010 00000000");
    expected += hex("00000003") + qt3String("{00000000-0000-0000-0000-000000000000}");
    expected += hex("00000003 ffffffff");
    expected += hex("00000002 00000000");
    EXPECT_EQ(saved(*window).toHex(' '), expected.toHex(' '));
}

TEST_F(DocumentTest, RoundTripKeepsGeometryAndIconProperties)
{
    window->setGeometry(QRect(40, 50, 500, 300));
    window->setIconSorting(true);
    window->setIconArrangement(QListView::TopToBottom);
    const QByteArray bytes = saved(*window);

    auto other = std::make_unique<ApplicationWindow>();
    EXPECT_EQ(load(*other, bytes), 0);
    EXPECT_TRUE(prompter.shown.isEmpty());
    EXPECT_EQ(other->geometry(), QRect(40, 50, 500, 300));
    EXPECT_TRUE(other->iconSorting());
    EXPECT_EQ(other->iconArrangement(), QListView::TopToBottom);
    EXPECT_EQ(saved(*other), bytes);
}

TEST_F(DocumentTest, HeaderVersionsOfTheSameMajorVersionLoad)
{
    const QByteArray base = saved(*window);
    struct Case { const char* header; bool accepted; };
    const Case cases[] = {
        {"Version;2.50;Application Name;Some Other Host", true},
        {"Version;2.00;Application Name;VELMAR Mixwarden", true},
        {"Version;3.00;Application Name;VELMAR Mixwarden", false},
        {"Version;1.90;Application Name;VELMAR Mixwarden", false},
        {"Version;2.00;Application Name", false},
        {"Version;2.00;;Application Name;", false},
        {"", false},
    };
    for (const Case& c : cases) {
        prompter.shown.clear();
        auto w = std::make_unique<ApplicationWindow>();
        EXPECT_EQ(load(*w, withHeader(base, c.header)), 0) << c.header;
        if (c.accepted) {
            EXPECT_TRUE(prompter.shown.isEmpty()) << c.header;
        } else {
            ASSERT_EQ(prompter.shown.size(), 1) << c.header;
            EXPECT_EQ(prompter.shown[0].kind, "warning");
            EXPECT_EQ(prompter.shown[0].caption, "VELMAR Mixwarden");
            EXPECT_EQ(prompter.shown[0].text, kIncompatible) << c.header;
        }
    }
}

TEST_F(DocumentTest, RecordOfAnUninstalledPlugInIsReportedAndSkipped)
{
    window->setGeometry(QRect(10, 20, 600, 400));
    const QByteArray base = saved(*window);
    // Insert one component record before the end marker.
    const QByteArray endMarker = hex("00000003") + qt3String("{00000000-0000-0000-0000-000000000000}");
    const int at = base.indexOf(endMarker);
    ASSERT_GT(at, 0);
    QByteArray record = hex("00000003") + qt3String("{0958eca1-6709-4267-9696-33d56fec4f6a}");
    record += hex("00000003") + qt3String("Mixer 1");
    record += hex("00000010 00000000");                            // editor closed
    record += hex("00000008 00000000 00000000 ffffffff ffffffff");  // editor geometry
    record += hex("0000000e ffffffff ffffffff");                    // icon position
    record += hex("00000011 00000000");                             // options
    record += hex("00000011 00000003") + QByteArray("abc");        // component data
    QByteArray document = base;
    document.insert(at, record);
    // The trailing list has one entry for the record.
    document.chop(4);
    document += hex("00000001 00000010 00000001");

    EXPECT_EQ(load(*window, document), 0);
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].kind, "warning");
    EXPECT_EQ(prompter.shown[0].text,
              "Following component(s) could not be loaded.\nPlease ensure that you have installed "
              "required component(s) correctly.\n\nComponent \"Mixer 1\" - Status: <component not installed>");
}

TEST_F(DocumentTest, EveryTruncationIsReportedWithoutCrashing)
{
    const QByteArray full = saved(*window);
    for (int n = 0; n < full.size(); ++n) {
        prompter.shown.clear();
        EXPECT_EQ(load(*window, full.left(n)), 0) << n;
        EXPECT_EQ(prompter.shown.size(), 1) << "truncated at " << n;
    }
}

TEST_F(DocumentTest, AbsurdGeometryIsKeptOnTheScreen)
{
    QByteArray document = saved(*window);
    const int at = document.indexOf(hex("00000008"));
    ASSERT_GT(at, 0);
    document.replace(at + 4, 16, hex("80000000 80000000 7ffffff0 7ffffff0"));
    EXPECT_EQ(load(*window, document), 0);
    EXPECT_LE(window->width(), 100000);
    EXPECT_LE(window->height(), 100000);
}
