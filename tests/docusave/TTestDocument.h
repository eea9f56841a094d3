#pragma once
// A minimal document for the document base: writes and reads a few bytes and
// records every call the base makes into it.

#include "NS_Utilities.h"
#include "TDocuSaveLoad.h"
#include "TScriptedPrompter.h"

#include <QByteArray>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QIODevice>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

class TTestDocument : public NS_Utilities::TDocuSaveLoad
{
public:
    using TDocuSaveLoad::m_documentName;
    using TDocuSaveLoad::m_selectedFilter;

    TTestDocument() { RegisterExtension(QStringLiteral(".MWD"), QStringLiteral("VELMAR Mixwarden Document")); }

    QString moduleName() const override { return QStringLiteral("VELMAR Mixwarden"); }
    const char* hostAppName() const override { return "VELMAR Mixwarden"; }
    void newSession() override { calls << QStringLiteral("newSession"); }

    int saveViaStream(QDataStream& stream, int fileType) override
    {
        calls << QStringLiteral("saveViaStream %1").arg(fileType);
        stream.writeRawData(content.constData(), static_cast<int>(content.size()));
        return saveResult;
    }
    int loadViaStream(QDataStream& stream, int fileType) override
    {
        calls << QStringLiteral("loadViaStream %1").arg(fileType);
        loaded = stream.device()->readAll();
        return loadResult;
    }
    void eraseCurrentDocument() override
    {
        calls << QStringLiteral("erase");
        setDocumentDirty(false);
        setDocumentSaved(false);
    }
    void updateDocumentStatus(QString& name) override
    {
        calls << QStringLiteral("updateDocumentStatus ") + name;
        m_documentName = name;
        setDocumentDirty(false);
        setDocumentSaved(true);
    }

    void setFlags(bool dirty, bool saved)
    {
        setDocumentDirty(dirty);
        setDocumentSaved(saved);
    }

    QByteArray content = "MWD test content";
    int saveResult = 0;
    int loadResult = 0;
    QStringList calls;
    QByteArray loaded;
};

inline const QString kFilter = QStringLiteral("VELMAR Mixwarden Document( *.MWD)");
inline const QString kCaption = QStringLiteral("VELMAR Mixwarden");

inline QByteArray readAllOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

// Fresh folder, document and scripted prompter per test; every dialog must have been
// expected by the test.
class DocuFixture : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(tmp.isValid()); }
    void TearDown() override { EXPECT_EQ(prompter.unexpected, 0) << "a dialog was not answered by the test"; }

    QString path(const QString& name) const { return tmp.filePath(name); }
    QStringList entries() const
    {
        return QDir(tmp.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                          QDir::Name);
    }

    QTemporaryDir tmp;
    TScriptedPrompter prompter;
    TTestDocument doc;
};
