#pragma once
// A main window with a session, a plug-in folder holding the probe, and context menus
// answered by the test.

#include "ApplicationWindow.h"
#include "CKAVWrapper.h"
#include "KAVDiscovery.h"
#include "TPluginFolder.h"
#include "TProbeAccess.h"
#include "TScriptedPrompter.h"

#include <QListWidget>
#include <QMenu>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

// One menu entry as shown: "text", with "[x]" when checked, "(off)" when disabled,
// "-" for a separator and "text >" for a submenu.
inline QStringList describeMenu(QMenu* menu)
{
    QStringList rows;
    for (QAction* a : menu->actions()) {
        if (a->isSeparator()) {
            rows << "-";
            continue;
        }
        QString row = a->text();
        if (a->menu())
            row += " >";
        if (a->isCheckable() && a->isChecked())
            row += " [x]";
        if (!a->isEnabled())
            row += " (off)";
        rows << row;
    }
    return rows;
}

// Finds "Item" or "Submenu/Item".
inline QAction* findAction(QMenu* menu, const QString& path)
{
    const QStringList parts = path.split('/');
    QMenu* current = menu;
    for (int i = 0; i < parts.size(); ++i) {
        QAction* found = nullptr;
        for (QAction* a : current->actions())
            if (a->text() == parts[i])
                found = a;
        if (!found)
            return nullptr;
        if (i + 1 == parts.size())
            return found;
        current = found->menu();
        if (!current)
            return nullptr;
    }
    return nullptr;
}

class WorkspaceFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", m_config.filePath("config").toUtf8());
        ASSERT_TRUE(m_plugins.addBundle("Probe"));
        ASSERT_TRUE(m_plugins.addBundle("EarlierRecall"));
        probe.resetConfig();
        probe.clearLog();
        ApplicationWindow::setMenuRunner([this](QMenu* menu, const QPoint&) -> QAction* {
            shownMenu = describeMenu(menu);
            for (QAction* a : menu->actions())
                if (a->menu())
                    shownSubmenus[a->text()] = describeMenu(a->menu());
            return chooseInMenu.isEmpty() ? nullptr : findAction(menu, chooseInMenu);
        });
        window = std::make_unique<ApplicationWindow>();
        window->yNewSession();
        list = EnumKAVPlugins(plugins);
        ASSERT_NE(list, nullptr);
    }
    void TearDown() override
    {
        window.reset();
        DisposeEnumKAVPlugins(plugins);
        ApplicationWindow::setMenuRunner({});
    }

    const TPlugDescription& plugin(const CFUUIDBytes& clsid) const
    {
        for (const TPlugDescription* p : *list)
            if (p->clsid == clsid)
                return *p;
        ADD_FAILURE() << "plug-in not installed";
        return *list->front();
    }

    CKAVWrapper* add(const QString& name, const CFUUIDBytes& clsid = TestBundles::kProbe)
    {
        return window->addComponent(plugin(clsid), name);
    }

    QStringList iconOrder() const
    {
        QStringList names;
        for (int i = 0; i < window->iconView()->count(); ++i)
            names << window->iconView()->item(i)->text();
        return names;
    }

    void contextMenu(CKAVWrapper* on, const QString& choose = {})
    {
        chooseInMenu = choose;
        shownMenu.clear();
        shownSubmenus.clear();
        window->handle_contextMenuRequested(on, QPoint(10, 10));
    }

    QTemporaryDir m_config;
    TPluginFolder m_plugins;
    TProbeAccess probe{TestBundles::modulePath("Probe")};
    TScriptedPrompter prompter;
    std::unique_ptr<ApplicationWindow> window;
    TPlugList* plugins = nullptr;
    TPlugList* list = nullptr;
    QString chooseInMenu;
    QStringList shownMenu;
    QMap<QString, QStringList> shownSubmenus;
};
