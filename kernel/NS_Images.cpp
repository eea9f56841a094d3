#include "NS_Images.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QImage>

// Qt resources of a static library must be registered by hand; the macro only works
// outside any namespace.
static void registerImageResources()
{
    Q_INIT_RESOURCE(images);
}

namespace {

const char* const kBuiltIn[] = {
    "HostSplash.png", "Generic_01.png", "Generic_02.png", "bg.png",
    "appli32_256.png", "LFrecall_64x37.png", "KAV2_64x39.png",
};

// The built-in collection as an image source: an image is decoded the first time it
// is asked for and then kept under its name.
class MimeSourceFactory_MW2
{
public:
    static MimeSourceFactory_MW2& instance()
    {
        static MimeSourceFactory_MW2 s_factory;
        return s_factory;
    }

    void registerCollection()
    {
        if (m_registered)
            return;
        registerImageResources();
        m_registered = true;
    }

    QPixmap data(const QString& name)
    {
        registerCollection();
        const auto kept = m_kept.constFind(name);
        if (kept != m_kept.constEnd())
            return *kept;
        if (!isBuiltIn(name))
            return QPixmap();
        QPixmap pixmap;
        const QImage image(QStringLiteral(":/mw2/images/") + name);
        if (!image.isNull())
            pixmap = QPixmap::fromImage(image.convertToFormat(QImage::Format_ARGB32_Premultiplied));
        if (!pixmap.isNull()) {
            // Kept pixmaps must not outlive the application object.
            if (!m_cleanupHooked) {
                qAddPostRoutine(qCleanupImages_MW2);
                m_cleanupHooked = true;
            }
            m_kept.insert(name, pixmap);
        }
        return pixmap;
    }

    void clear()
    {
        m_kept.clear();
        if (m_cleanupHooked) {
            qRemovePostRoutine(qCleanupImages_MW2);
            m_cleanupHooked = false;
        }
    }

private:
    static bool isBuiltIn(const QString& name)
    {
        for (const char* builtIn : kBuiltIn) {
            if (name == QLatin1String(builtIn))
                return true;
        }
        return false;
    }

    bool m_registered = false;
    bool m_cleanupHooked = false;
    QHash<QString, QPixmap> m_kept;
};

} // namespace

void qInitImages_MW2()
{
    MimeSourceFactory_MW2::instance().registerCollection();
}

void qCleanupImages_MW2()
{
    MimeSourceFactory_MW2::instance().clear();
}

namespace NS_Utilities {

QPixmap loadPixmap(QString& name, const QString* folder)
{
    QPixmap pixmap = MimeSourceFactory_MW2::instance().data(name);
    if (pixmap.isNull()) {
        const QString path = (folder ? *folder : QStringLiteral("./images/")) + name;
        if (QFile::exists(path))
            pixmap.load(path);
    }
    return pixmap;
}

QStringList builtInImageNames()
{
    QStringList names;
    for (const char* builtIn : kBuiltIn)
        names.append(QString::fromLatin1(builtIn));
    return names;
}

} // namespace NS_Utilities
