#pragma once
// Test prompter: answers come from a queue, everything shown is recorded.
// An unexpected prompt (empty queue) takes the escape button / cancels and is counted.

#include "TPrompter.h"

#include <QList>
#include <QVariant>

struct TShownPrompt
{
    QString kind;      // "question", "critical", "warning", "information", "save", "open"
    QString caption;
    QString text;      // message text, or the start name of a file dialog
    QStringList buttons;
    QString filter;    // file dialogs
    bool hadParent = false;
};

class TScriptedPrompter : public NS_Utilities::TPrompter
{
public:
    TScriptedPrompter() { install(this); }
    ~TScriptedPrompter() override { install(nullptr); }

    // Queue an answer: a button index for message boxes, a path for file dialogs
    // (empty = cancel).
    void answer(int button) { m_answers.append(button); }
    void answerFile(const QString& path) { m_answers.append(path); }
    void answerFile(const QString& path, const QString& chosenFilter)
    {
        m_answers.append(path);
        m_filters.append(chosenFilter);
    }

    int message(QWidget* parent, QMessageBox::Icon icon, const QString& caption, const QString& text,
                const QStringList& buttons, int, int escapeButton) override
    {
        TShownPrompt p;
        switch (icon) {
        case QMessageBox::Question: p.kind = "question"; break;
        case QMessageBox::Critical: p.kind = "critical"; break;
        case QMessageBox::Warning: p.kind = "warning"; break;
        default: p.kind = "information"; break;
        }
        p.caption = caption;
        p.text = text;
        p.buttons = buttons;
        p.hadParent = parent != nullptr;
        shown.append(p);
        if (buttons.size() <= 1)
            return 0; // plain notices need no answer
        if (m_answers.isEmpty() || !m_answers.first().canConvert<int>() ||
            m_answers.first().typeId() == QMetaType::QString) {
            ++unexpected;
            return escapeButton;
        }
        return m_answers.takeFirst().toInt();
    }

    QString saveFileName(QWidget* parent, const QString& startWith, const QString& filter,
                         const QString& caption, QString* selectedFilter) override
    {
        return file("save", parent, startWith, filter, caption, selectedFilter);
    }
    QString openFileName(QWidget* parent, const QString& startWith, const QString& filter,
                         const QString& caption, QString* selectedFilter) override
    {
        return file("open", parent, startWith, filter, caption, selectedFilter);
    }

    QList<TShownPrompt> shown;
    int unexpected = 0;
    QStringList lastSelectedFilterIn; // preselected filter handed to each file dialog

private:
    QString file(const char* kind, QWidget* parent, const QString& startWith, const QString& filter,
                 const QString& caption, QString* selectedFilter)
    {
        TShownPrompt p;
        p.kind = kind;
        p.caption = caption;
        p.text = startWith;
        p.filter = filter;
        p.hadParent = parent != nullptr;
        shown.append(p);
        lastSelectedFilterIn.append(selectedFilter ? *selectedFilter : QString());
        if (m_answers.isEmpty() || m_answers.first().typeId() != QMetaType::QString) {
            ++unexpected;
            return QString();
        }
        const QString path = m_answers.takeFirst().toString();
        if (selectedFilter && !m_filters.isEmpty())
            *selectedFilter = m_filters.takeFirst();
        return path;
    }

    QList<QVariant> m_answers;
    QStringList m_filters;
};
