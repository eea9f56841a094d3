#pragma once
// The setup dialog: Workspace composition, default MIDI ports and preferences.

#include <QDialog>

class SetupDlg : public QDialog
{
    Q_OBJECT
public:
    SetupDlg(QWidget* parent, const char* name, bool modal, Qt::WindowFlags flags);

    // Automatic Ravuz Uzuvuv after opening a document (preference, on by default).
    virtual bool isAutoSync() const;

signals:
    void doHelp(QWidget* parent);
};
