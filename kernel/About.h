#pragma once
// The About box: application icon, product name and version, brand images.

#include <QDialog>
#include <memory>

class QFrame;
class QLabel;
class QPushButton;

namespace Ui {
class About;
}

class About : public QDialog
{
    Q_OBJECT

public:
    explicit About(QWidget* parent = nullptr);
    ~About() override;

    // The form's widgets (the generated form stays private to the kernel).
    QLabel* about_editor_icon = nullptr;
    QLabel* VersionTextLabel = nullptr; // "%1" product name, "%2" version
    QLabel* InfoTextLabel = nullptr;    // optional extra line, hidden when empty
    QLabel* pixmapLabel1 = nullptr;
    QLabel* pixmapLabel2 = nullptr;
    QFrame* line1 = nullptr;
    QPushButton* OKButton = nullptr;

private:
    std::unique_ptr<Ui::About> m_ui;
};

namespace NS_Utilities {

// Builds the About box as the program shows it (no parent, icon and version filled
// in) without running it. The caller owns the result.
About* createAboutBox(const QString& extraInfo = QString());

} // namespace NS_Utilities
