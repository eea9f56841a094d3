// Flags, file types, the extension rule, captions and header tests.
#include "TTestDocument.h"
#include "TWarningCatcher.h"

#include <QVariant>
#include <QWidget>

#include <ostream>

using NS_Utilities::TDocuSaveLoad;

TEST(DocuFlags, BitsAndSetters)
{
    TTestDocument doc;
    EXPECT_EQ(doc.documentFlags(), 0u);
    EXPECT_FALSE(doc.documentDirty());
    EXPECT_FALSE(doc.documentSaved());

    doc.setDocumentDirty(true);
    EXPECT_EQ(doc.documentFlags(), 0x80000000u);
    doc.setDocumentSaved(true);
    EXPECT_EQ(doc.documentFlags(), 0xC0000000u);
    EXPECT_TRUE(doc.documentDirty());
    EXPECT_TRUE(doc.documentSaved());

    doc.setDocumentDirty(false);
    EXPECT_EQ(doc.documentFlags(), 0x40000000u);
    EXPECT_FALSE(doc.documentDirty());
    EXPECT_TRUE(doc.documentSaved());

    const TTestDocument& constDoc = doc;
    constDoc.markDocumentDirty();
    EXPECT_EQ(doc.documentFlags(), 0xC0000000u);
    doc.setDocumentSaved(false);
    EXPECT_EQ(doc.documentFlags(), 0x80000000u);
}

TEST(DocuTypes, PromptOfTheHostType)
{
    TTestDocument doc;
    EXPECT_EQ(doc.prompt(), QStringLiteral("VELMAR Mixwarden Document( *.MWD)"));
    EXPECT_EQ(doc.defaultExt(), QStringLiteral(".MWD"));
}

TEST(DocuTypes, PromptJoinsTypesInOrder)
{
    TTestDocument doc;
    doc.RegisterExtension(QStringLiteral(".MWL"), QStringLiteral("Library"));
    EXPECT_EQ(doc.prompt(), QStringLiteral("VELMAR Mixwarden Document( *.MWD);;Library( *.MWL)"));
    EXPECT_EQ(doc.defaultExt(), QStringLiteral(".MWD"));
}

TEST(DocuTypes, ReplaceExtension)
{
    TTestDocument doc;
    doc.RegisterExtension(QStringLiteral(".MWL"), QStringLiteral("Library"));
    {
        TWarningCatcher catcher;
        doc.ReplaceExtension(1, QStringLiteral(".LIB"));
        doc.ReplaceExtension(2, QStringLiteral(".XXX")); // beyond the list: nothing
        EXPECT_TRUE(catcher.warnings().isEmpty());
    }
    EXPECT_EQ(doc.extensions(), QStringList({".MWD", ".LIB"}));
    EXPECT_EQ(doc.descriptions(), QStringList({"VELMAR Mixwarden Document", "Library"}));

    TWarningCatcher catcher;
    doc.ReplaceExtension(-1, QStringLiteral(".BAD"));
    EXPECT_EQ(doc.extensions(), QStringList({".MWD", ".LIB"}));
    ASSERT_EQ(catcher.warnings().size(), 1);
    EXPECT_TRUE(catcher.warnings()[0].startsWith(
        QStringLiteral("ASSERT: \"index >= 0\" in ../KernelLayer/Utilities (")))
        << catcher.warnings()[0].toStdString();
}

struct ExtCase
{
    const char* name;
    const char* filter; // nullptr: null filter
    const char* expected;
    int index;
};

void PrintTo(const ExtCase& c, std::ostream* os)
{
    *os << c.name << " filter " << (c.filter ? c.filter : "(null)");
}

class DocuExtensionRule : public ::testing::TestWithParam<ExtCase>
{
};

TEST_P(DocuExtensionRule, AppendExt)
{
    TTestDocument doc;
    doc.RegisterExtension(QStringLiteral(".MWL"), QStringLiteral("Library"));
    const ExtCase& c = GetParam();
    QString name = QString::fromUtf8(c.name);
    const QString filter = c.filter ? QString::fromUtf8(c.filter) : QString();
    EXPECT_EQ(doc.appendExt(name, filter), c.index);
    EXPECT_EQ(name, QString::fromUtf8(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DocuExtensionRule,
    ::testing::Values(
        ExtCase{"Untitled", nullptr, "Untitled.MWD", 0},
        ExtCase{"Untitled 1", nullptr, "Untitled 1.MWD", 0},
        ExtCase{"/a/b/song.txt", nullptr, "/a/b/song.MWD", 0},
        ExtCase{"/a/b/song.mwd", nullptr, "/a/b/song.MWD", 0},
        ExtCase{"/a/b/mix.v2", nullptr, "/a/b/mix.MWD", 0},
        ExtCase{"/a/b/mix.v2.MWD", nullptr, "/a/b/mix.v2.MWD", 0},
        ExtCase{"/a/my.folder/song", nullptr, "/a/my.folder/song.MWD", 0},
        ExtCase{"/a/my.folder/", nullptr, "/a/my.folder/.MWD", 0},
        ExtCase{"song.", nullptr, "song.MWD", 0},
        ExtCase{"song", "", "song.MWD", 0},                                  // empty, not null
        ExtCase{"song", "VELMAR Mixwarden Document( *.MWD)", "song.MWD", 0},
        ExtCase{"song", "Library( *.mwl)", "song.MWL", 1},                   // letter case ignored
        ExtCase{"song.MWD", "Library( *.MWL)", "song.MWL", 1},
        ExtCase{"song", "Other( *.xyz)", "song.MWD", 0}));

TEST(DocuTypes, AppendExtWithoutTypesOnlyCutsTheExtension)
{
    struct TBare : TTestDocument
    {
        TBare() { m_extensions.clear(); m_descriptions.clear(); }
    } doc;
    QString name = QStringLiteral("x.txt");
    EXPECT_EQ(doc.appendExt(name, QStringLiteral("anything")), 0);
    EXPECT_EQ(name, QStringLiteral("x"));
    EXPECT_EQ(doc.prompt(), QString());
}

struct CaptionCase
{
    const char* windowTitle; // nullptr: no parent
    bool childOfWindow;
    int index;
    const char* expected;
};

void PrintTo(const CaptionCase& c, std::ostream* os)
{
    *os << (c.windowTitle ? c.windowTitle : "(no parent)") << (c.childOfWindow ? " child" : "") << " index "
        << c.index;
}

class DocuCaption : public ::testing::TestWithParam<CaptionCase>
{
};

TEST_P(DocuCaption, MakeDialogCaption)
{
    TTestDocument doc;
    const CaptionCase& c = GetParam();
    QWidget window;
    QWidget* child = new QWidget(&window);
    QWidget* parent = nullptr;
    if (c.windowTitle) {
        window.setWindowTitle(QString::fromUtf8(c.windowTitle));
        parent = c.childOfWindow ? child : &window;
    }
    EXPECT_EQ(doc.makeDialogCaption(parent, c.index), QString::fromUtf8(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DocuCaption,
    ::testing::Values(CaptionCase{nullptr, false, 0, "VELMAR Mixwarden"},
                      CaptionCase{nullptr, false, 3, "VELMAR Mixwarden"}, // no suffix without parent
                      CaptionCase{"Editor", false, 0, "Editor"},
                      CaptionCase{"Editor", true, 0, "Editor"},            // the top-level window's caption
                      CaptionCase{"Editor", false, 1, "Editor - Library"},
                      CaptionCase{"Editor", true, 7, "Editor - GEQ"},
                      CaptionCase{"Editor", false, 12, "Editor - Surround Monitor"},
                      CaptionCase{"Editor", false, 13, "Editor - Automix"},
                      CaptionCase{"", false, 2, "VELMAR Mixwarden - Scene"},
                      CaptionCase{"", true, 0, "VELMAR Mixwarden"},
                      CaptionCase{"Editor", false, 14, "Editor"},         // beyond the table
                      CaptionCase{"Editor", false, -1, "Editor"}));

TEST(DocuCaption, WholeSuffixTable)
{
    const char* const suffixes[] = {" - Library", " - Scene", " - Channel", " - Gate", " - Compressor",
                                    " - Equalizer", " - GEQ", " - Effect", " - Input Patch",
                                    " - Output Patch", " - Bus To Stereo", " - Surround Monitor",
                                    " - Automix"};
    TTestDocument doc;
    QWidget window;
    window.setWindowTitle(QStringLiteral("W"));
    for (int i = 1; i <= 13; ++i)
        EXPECT_EQ(doc.makeDialogCaption(&window, i), QStringLiteral("W") + QLatin1String(suffixes[i - 1]))
            << "index " << i;
}

struct HeaderCase
{
    float version;
    const char* header;
    bool accepted;
};

void PrintTo(const HeaderCase& c, std::ostream* os)
{
    // No ';' in test names: CTest would take them as list separators.
    *os << c.version << ' ' << QString::fromUtf8(c.header).replace(QLatin1Char(';'), QLatin1Char('|')).toStdString();
}

class DocuHeaderVersion : public ::testing::TestWithParam<HeaderCase>
{
};

TEST_P(DocuHeaderVersion, CheckFileFormatVersion)
{
    TTestDocument doc;
    const HeaderCase& c = GetParam();
    EXPECT_EQ(doc.checkFileFormat(c.version, QVariant(QString::fromUtf8(c.header))), c.accepted)
        << c.header;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DocuHeaderVersion,
    ::testing::Values(HeaderCase{2.0f, "Version;2.00;Application Name;VELMAR Mixwarden", true},
                      HeaderCase{2.0f, "Version;2.50;Application Name;Someone Else", true},
                      HeaderCase{2.0f, "Version;2.99;Application Name;X", true},
                      HeaderCase{2.0f, "Version;3.00;Application Name;VELMAR Mixwarden", false},
                      HeaderCase{2.0f, "Version;1.90;Application Name;VELMAR Mixwarden", false},
                      HeaderCase{2.0f, "Version;2.00;Application Name", false},      // three fields
                      HeaderCase{2.0f, "Version;2.00;;Application Name;", false},    // empty parts dropped
                      HeaderCase{2.0f, "", false},
                      HeaderCase{2.0f, "Version;two;Application Name;X", false},
                      HeaderCase{2.0f, "Version;nan;Application Name;X", false},
                      HeaderCase{2.0f, "Version;1e40;Application Name;X", false},
                      HeaderCase{0.5f, "Version;junk;Application Name;X", false},    // not a number at all
                      HeaderCase{3.0f, "Version;3.00;Application Name;X", true}));

TEST(DocuHeader, CheckFileFormatName)
{
    TTestDocument doc;
    const QString app = QStringLiteral("VELMAR Mixwarden");
    EXPECT_TRUE(doc.checkFileFormat(app, QVariant(QStringLiteral("Version;2.00;Application Name;VELMAR Mixwarden"))));
    EXPECT_FALSE(doc.checkFileFormat(app, QVariant(QStringLiteral("Version;2.00;Application Name;velmar mixwarden"))));
    EXPECT_FALSE(doc.checkFileFormat(app, QVariant(QStringLiteral("Version;2.00;Application Name;VELMAR Mixwarden "))));
    EXPECT_FALSE(doc.checkFileFormat(app, QVariant(QStringLiteral("Version;2.00;VELMAR Mixwarden"))));
    EXPECT_FALSE(doc.checkFileFormat(app, QVariant()));
}
