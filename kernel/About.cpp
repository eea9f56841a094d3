#include "About.h"

#include "NS_Help.h"
#include "NS_Images.h"
#include "ui_About.h"

#include <QLayout>
#include <memory>

namespace {

void putImage(QLabel* label, const char* name)
{
    QString imageName = QString::fromLatin1(name);
    label->setPixmap(NS_Utilities::loadPixmap(imageName, nullptr));
}

} // namespace

About::About(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , m_ui(std::make_unique<Ui::About>())
{
    m_ui->setupUi(this);
    about_editor_icon = m_ui->about_editor_icon;
    VersionTextLabel = m_ui->VersionTextLabel;
    InfoTextLabel = m_ui->InfoTextLabel;
    pixmapLabel1 = m_ui->pixmapLabel1;
    pixmapLabel2 = m_ui->pixmapLabel2;
    line1 = m_ui->line1;
    OKButton = m_ui->OKButton;
    putImage(pixmapLabel1, "LFrecall_64x37.png");
    putImage(pixmapLabel2, "KAV2_64x39.png");
    InfoTextLabel->hide();
    // The box keeps the size its contents give it.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

About::~About() = default;

namespace NS_Utilities {

About* createAboutBox(const QString& extraInfo)
{
    auto* box = new About(nullptr);
    putImage(box->about_editor_icon, "appli32_256.png");
    box->VersionTextLabel->setText(
        box->VersionTextLabel->text().arg(QStringLiteral("VELMAR Mixwarden"), QStringLiteral("V2.1.8")));
    if (!extraInfo.isEmpty()) {
        box->InfoTextLabel->setText(extraInfo);
        box->InfoTextLabel->show();
    }
    return box;
}

void showAboutBox(const QString& extraInfo)
{
    const std::unique_ptr<About> box(createAboutBox(extraInfo));
    box->exec();
}

} // namespace NS_Utilities
