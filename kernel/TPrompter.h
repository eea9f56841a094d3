#pragma once
// Every modal message box and file dialog of the program goes through the current
// prompter, so that tests can answer them without a dialog ever blocking.

#include <QMessageBox>
#include <QString>
#include <QStringList>

class QWidget;

namespace NS_Utilities {

class TPrompter
{
public:
    virtual ~TPrompter();

    // Shows a modal message box with the given buttons (texts, in order) and returns
    // the index of the chosen one; `escapeButton` is what closing the box means.
    virtual int message(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                        const QString& text, const QStringList& buttons,
                        int defaultButton, int escapeButton) = 0;

    // File dialogs: the chosen path, or an empty string when the user cancelled.
    virtual QString saveFileName(QWidget* parent, const QString& startWith, const QString& filter,
                                 const QString& caption, QString* selectedFilter) = 0;
    virtual QString openFileName(QWidget* parent, const QString& startWith, const QString& filter,
                                 const QString& caption, QString* selectedFilter) = 0;

    // The prompter in use; never null. Installing null restores the interactive one.
    static TPrompter* current();
    static void install(TPrompter* prompter);
};

// The interactive prompter (QMessageBox, QFileDialog).
class TDialogPrompter : public TPrompter
{
public:
    int message(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                const QString& text, const QStringList& buttons,
                int defaultButton, int escapeButton) override;
    QString saveFileName(QWidget* parent, const QString& startWith, const QString& filter,
                         const QString& caption, QString* selectedFilter) override;
    QString openFileName(QWidget* parent, const QString& startWith, const QString& filter,
                         const QString& caption, QString* selectedFilter) override;
};

// Answers of the common three-button question.
enum class TAnswer { Yes = 0, No = 1, Cancel = 2 };

// Shorthands used throughout the program.
TAnswer askYesNoCancel(QWidget* parent, const QString& caption, const QString& text);
bool askYesNo(QWidget* parent, const QString& caption, const QString& text,
              const QString& yes = QStringLiteral("&Yes"), const QString& no = QStringLiteral("&No"));
void showCritical(QWidget* parent, const QString& caption, const QString& text);
void showWarning(QWidget* parent, const QString& caption, const QString& text);
void showInformation(QWidget* parent, const QString& caption, const QString& text);

} // namespace NS_Utilities
