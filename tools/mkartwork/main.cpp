// Regenerates the built-in images into the folder given as the only argument
// (normally kernel/images). Run once by hand; the results are committed.
#include "Artwork.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>
#include <functional>
#include <utility>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: mkartwork OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.exists() && !QDir().mkpath(out.path())) {
        std::fprintf(stderr, "mkartwork: cannot create %s\n", argv[1]);
        return 1;
    }

    const std::pair<const char*, std::function<QImage()>> images[] = {
        {"HostSplash.png", [] { return Artwork::hostSplash(); }},
        {"Generic_01.png", [] { return Artwork::genericComponent(false); }},
        {"Generic_02.png", [] { return Artwork::genericComponent(true); }},
        {"bg.png", [] { return Artwork::background(); }},
        {"appli32_256.png", [] { return Artwork::applicationIcon(); }},
        {"LFrecall_64x37.png", [] { return Artwork::recallBadge(); }},
        {"KAV2_64x39.png", [] { return Artwork::kavBadge(); }},
    };
    int failures = 0;
    for (const auto& [name, draw] : images) {
        const QImage image = draw().convertToFormat(QImage::Format_ARGB32);
        const QString path = out.filePath(QString::fromLatin1(name));
        if (!image.save(path, "PNG")) {
            std::fprintf(stderr, "mkartwork: cannot write %s\n", qPrintable(path));
            ++failures;
        }
    }
    return failures ? 1 : 0;
}
