#pragma once
// Lays out the manual's Markdown text as an A4 PDF: a cover page, a contents page
// and the body with running footers and page numbers.

#include <QImage>
#include <QString>

class TManualWriter
{
public:
    // Relative image names in the text are looked up in `imagesFolder`.
    TManualWriter(const QString& markdown, const QString& version, const QImage& cover,
                  const QString& imagesFolder);

    // Writes the PDF; false with a reason in `error` when the file cannot be written.
    bool write(const QString& pdfPath, QString* error) const;

private:
    QString m_markdown;
    QString m_version;
    QImage m_cover;
    QString m_imagesFolder;
};
