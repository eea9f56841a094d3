#pragma once
// A main window under test: headless, every dialog answered by the scripted prompter,
// preferences in a private folder.

#include "ApplicationWindow.h"
#include "TScriptedPrompter.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

class MainWindowFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        qputenv("XDG_CONFIG_HOME", m_dir.filePath("config").toUtf8());
        window = std::make_unique<ApplicationWindow>();
    }
    void TearDown() override
    {
        window.reset();
    }

    QString path(const QString& name) const { return m_dir.filePath(name); }

    static QByteArray readAll(const QString& file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static void writeAll(const QString& file, const QByteArray& bytes)
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QTemporaryDir m_dir;
    TScriptedPrompter prompter;
    std::unique_ptr<ApplicationWindow> window;
};
