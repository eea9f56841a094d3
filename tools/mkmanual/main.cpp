// mkmanual SOURCE.md OUTPUT.pdf [IMAGES_FOLDER] [VERSION]
// Turns the manual's Markdown source into the PDF shipped in the resources folder.
// Images named in the text are taken from IMAGES_FOLDER; its HostSplash.png is the cover.
#include "TManualWriter.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 3 || argc > 5) {
        std::fprintf(stderr, "usage: mkmanual SOURCE.md OUTPUT.pdf [IMAGES_FOLDER] [VERSION]\n");
        return 2;
    }
    QFile source(QString::fromLocal8Bit(argv[1]));
    if (!source.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "mkmanual: cannot read %s: %s\n", argv[1], qPrintable(source.errorString()));
        return 1;
    }
    const QString markdown = QString::fromUtf8(source.readAll());
    const QString images = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
    QImage cover;
    if (!images.isEmpty() && !cover.load(QDir(images).filePath(QStringLiteral("HostSplash.png"))))
        std::fprintf(stderr, "mkmanual: warning: no cover image in %s\n", argv[3]);
    const QString version = argc > 4 ? QString::fromLocal8Bit(argv[4]) : QString();

    QString error;
    if (!TManualWriter(markdown, version, cover, images).write(QString::fromLocal8Bit(argv[2]), &error)) {
        std::fprintf(stderr, "mkmanual: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
