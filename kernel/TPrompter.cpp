#include "TPrompter.h"

#include <QFileDialog>
#include <QPushButton>

namespace NS_Utilities {

namespace {
TDialogPrompter& interactivePrompter()
{
    static TDialogPrompter s_prompter;
    return s_prompter;
}
TPrompter* s_current = nullptr;
} // namespace

TPrompter::~TPrompter() = default;

TPrompter* TPrompter::current()
{
    return s_current ? s_current : &interactivePrompter();
}

void TPrompter::install(TPrompter* prompter)
{
    s_current = prompter;
}

int TDialogPrompter::message(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                             const QString& text, const QStringList& buttons,
                             int defaultButton, int escapeButton)
{
    QMessageBox box(icon, caption, text, QMessageBox::NoButton, parent);
    QList<QAbstractButton*> made;
    for (const QString& label : buttons)
        made.append(box.addButton(label, QMessageBox::AcceptRole));
    if (made.isEmpty())
        made.append(box.addButton(QMessageBox::Ok));
    if (defaultButton >= 0 && defaultButton < made.size())
        box.setDefaultButton(qobject_cast<QPushButton*>(made[defaultButton]));
    if (escapeButton >= 0 && escapeButton < made.size())
        box.setEscapeButton(made[escapeButton]);
    box.exec();
    const int chosen = made.indexOf(box.clickedButton());
    return chosen >= 0 ? chosen : escapeButton;
}

QString TDialogPrompter::saveFileName(QWidget* parent, const QString& startWith, const QString& filter,
                                      const QString& caption, QString* selectedFilter)
{
    return QFileDialog::getSaveFileName(parent, caption, startWith, filter, selectedFilter,
                                        QFileDialog::DontConfirmOverwrite);
}

QString TDialogPrompter::openFileName(QWidget* parent, const QString& startWith, const QString& filter,
                                      const QString& caption, QString* selectedFilter)
{
    return QFileDialog::getOpenFileName(parent, caption, startWith, filter, selectedFilter);
}

TAnswer askYesNoCancel(QWidget* parent, const QString& caption, const QString& text)
{
    const int chosen = TPrompter::current()->message(
        parent, QMessageBox::Question, caption, text,
        {QStringLiteral("&Yes"), QStringLiteral("&No"), QStringLiteral("&Cancel")}, 0, 2);
    switch (chosen) {
    case 0: return TAnswer::Yes;
    case 1: return TAnswer::No;
    default: return TAnswer::Cancel;
    }
}

bool askYesNo(QWidget* parent, const QString& caption, const QString& text,
              const QString& yes, const QString& no)
{
    return TPrompter::current()->message(parent, QMessageBox::Question, caption, text,
                                         {yes, no}, 0, 1) == 0;
}

static void inform(QWidget* parent, QMessageBox::Icon icon, const QString& caption, const QString& text)
{
    TPrompter::current()->message(parent, icon, caption, text, {QStringLiteral("OK")}, 0, 0);
}

void showCritical(QWidget* parent, const QString& caption, const QString& text)
{
    inform(parent, QMessageBox::Critical, caption, text);
}

void showWarning(QWidget* parent, const QString& caption, const QString& text)
{
    inform(parent, QMessageBox::Warning, caption, text);
}

void showInformation(QWidget* parent, const QString& caption, const QString& text)
{
    inform(parent, QMessageBox::Information, caption, text);
}

} // namespace NS_Utilities
