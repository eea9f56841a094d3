#include "TManualWriter.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFont>
#include <QList>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextTable>
#include <QUrl>

namespace {

const QColor kInk(0x1f, 0x23, 0x33);
const QColor kNavy(0x23, 0x2a, 0x45);
const QColor kAmber(0xd9, 0x8a, 0x0b);
const QColor kMuted(0x6a, 0x70, 0x86);
const QString kTitle = QStringLiteral("VELMAR Mixwarden");
const QString kSans = QStringLiteral("DejaVu Sans");

struct THeading
{
    int level;
    QString text;
    int page; // 0-based page of the body
};

// Converts millimetres to device pixels of the writer.
qreal mm(const QPdfWriter& writer, qreal millimetres)
{
    return millimetres * writer.resolution() / 25.4;
}

void styleTables(QTextFrame* frame)
{
    for (QTextFrame* child : frame->childFrames()) {
        if (auto* table = qobject_cast<QTextTable*>(child)) {
            QTextTableFormat f = table->format();
            f.setBorder(0.6);
            f.setBorderBrush(QColor(0xb8, 0xbe, 0xd0));
            f.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
            f.setBorderCollapse(true);
            f.setCellPadding(5);
            f.setCellSpacing(0);
            f.setWidth(QTextLength(QTextLength::PercentageLength, 100));
            f.setTopMargin(4);
            f.setBottomMargin(8);
            table->setFormat(f);
            for (int row = 0; row < table->rows(); ++row) {
                for (int column = 0; column < table->columns(); ++column) {
                    QTextTableCell cell = table->cellAt(row, column);
                    QTextCharFormat cf = cell.format();
                    cf.setVerticalAlignment(QTextCharFormat::AlignMiddle);
                    if (row == 0)
                        cf.setBackground(QColor(0xe6, 0xe9, 0xf2));
                    cell.setFormat(cf);
                }
            }
        }
        styleTables(child);
    }
}

// Icons in the text are shown at about half their pixel size, so that they sit in a
// table row like a picture in a catalogue. True when the block holds an image.
bool shrinkImages(QTextDocument& doc, const QTextBlock& block)
{
    bool found = false;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (!fragment.isValid() || !fragment.charFormat().isImageFormat())
            continue;
        QTextImageFormat image = fragment.charFormat().toImageFormat();
        image.setWidth(48);
        image.setHeight(48);
        QTextCursor cursor(&doc);
        cursor.setPosition(fragment.position());
        cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
        cursor.setCharFormat(image);
        found = true;
    }
    return found;
}

// Gives the imported Markdown the manual's look and starts every chapter on a new page.
QList<THeading> styleDocument(QTextDocument& doc)
{
    QList<THeading> headings;
    bool firstChapter = true;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        QTextCursor cursor(block);
        cursor.select(QTextCursor::BlockUnderCursor);
        QTextBlockFormat bf = block.blockFormat();
        const int level = bf.headingLevel();
        if (level > 0) {
            QTextCharFormat cf;
            cf.setFontFamilies({kSans});
            cf.setForeground(level == 1 ? kNavy : kInk);
            cf.setFontWeight(QFont::Bold);
            cursor.mergeCharFormat(cf);
            bf.setTopMargin(level == 1 ? 0 : level == 2 ? 16 : 10);
            bf.setBottomMargin(level == 1 ? 14 : 6);
            if (level == 1 && !firstChapter)
                bf.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            if (level == 1)
                firstChapter = false;
            if (level <= 2)
                headings.append({level, block.text(), 0});
        } else if (bf.hasProperty(QTextFormat::BlockCodeFence) || bf.nonBreakableLines()) {
            bf.setBackground(QColor(0xf1, 0xf2, 0xf6));
            bf.setLeftMargin(12);
            bf.setRightMargin(12);
        } else if (bf.hasProperty(QTextFormat::BlockQuoteLevel)) {
            bf.setBackground(QColor(0xfd, 0xf3, 0xde));
            bf.setLeftMargin(12);
            bf.setRightMargin(12);
            bf.setTopMargin(6);
            bf.setBottomMargin(6);
        } else if (!shrinkImages(doc, block)) {
            bf.setLineHeight(118, QTextBlockFormat::ProportionalHeight);
        }
        QTextCursor(block).setBlockFormat(bf);
    }
    styleTables(doc.rootFrame());
    return headings;
}

void drawFooter(QPainter& p, const QRectF& page, qreal rule, int pageNumber)
{
    p.save();
    p.setPen(QPen(QColor(0xc4, 0xc9, 0xd8), rule));
    p.drawLine(QPointF(page.left(), page.bottom() - page.height() * 0.035),
               QPointF(page.right(), page.bottom() - page.height() * 0.035));
    QFont f(kSans);
    f.setPointSizeF(7.5);
    p.setFont(f);
    p.setPen(kMuted);
    const QRectF band(page.left(), page.bottom() - page.height() * 0.03, page.width(), page.height() * 0.03);
    p.drawText(band, Qt::AlignLeft | Qt::AlignBottom, kTitle + QStringLiteral(" \u2014 User Manual"));
    p.drawText(band, Qt::AlignRight | Qt::AlignBottom, QString::number(pageNumber));
    p.restore();
}

void drawCover(QPainter& p, const QPdfWriter& writer, const QRectF& page, const QImage& cover,
               const QString& version)
{
    p.save();
    p.fillRect(QRectF(page.left(), page.top(), page.width(), mm(writer, 3)), kAmber);
    qreal y = page.top() + mm(writer, 30);
    if (!cover.isNull()) {
        const qreal w = page.width();
        const qreal h = w * cover.height() / cover.width();
        p.drawImage(QRectF(page.left(), y, w, h), cover);
        y += h + mm(writer, 18);
    }
    QFont title(kSans);
    title.setPointSizeF(30);
    title.setBold(true);
    p.setFont(title);
    p.setPen(kNavy);
    p.drawText(QRectF(page.left(), y, page.width(), mm(writer, 16)), Qt::AlignLeft | Qt::AlignVCenter, kTitle);
    y += mm(writer, 16);
    QFont sub(kSans);
    sub.setPointSizeF(18);
    p.setFont(sub);
    p.setPen(kInk);
    p.drawText(QRectF(page.left(), y, page.width(), mm(writer, 12)), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("User Manual"));
    y += mm(writer, 14);
    if (!version.isEmpty()) {
        QFont v(kSans);
        v.setPointSizeF(11);
        p.setFont(v);
        p.setPen(kMuted);
        p.drawText(QRectF(page.left(), y, page.width(), mm(writer, 8)), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("Version ") + version);
    }
    QFont small(kSans);
    small.setPointSizeF(8);
    p.setFont(small);
    p.setPen(kMuted);
    p.drawText(QRectF(page.left(), page.bottom() - mm(writer, 12), page.width(), mm(writer, 12)),
               Qt::AlignLeft | Qt::AlignBottom,
               QStringLiteral("\u00a9 Velmar. All rights reserved. KAV is a plug-in standard for device editors."));
    p.restore();
}

// Where each contents entry goes: its page (0-based within the contents) and top.
struct TContentsPlace
{
    int page;
    qreal top;
};

QList<TContentsPlace> layoutContents(const QPdfWriter& writer, const QRectF& page, const QList<THeading>& headings)
{
    QList<TContentsPlace> places;
    const qreal line = mm(writer, 5.2);
    const qreal bottom = page.bottom() - mm(writer, 14);
    int current = 0;
    qreal y = page.top() + mm(writer, 18); // the first page starts below its title
    for (qsizetype i = 0; i < headings.size(); ++i) {
        if (headings[i].level == 1 && i > 0)
            y += mm(writer, 2);
        if (y + line > bottom) {
            ++current;
            y = page.top();
        }
        places.append({current, y});
        y += line;
    }
    return places;
}

void drawContentsTitle(QPainter& p, const QPdfWriter& writer, const QRectF& page)
{
    QFont title(kSans);
    title.setPointSizeF(20);
    title.setBold(true);
    p.setFont(title);
    p.setPen(kNavy);
    p.drawText(QRectF(page.left(), page.top(), page.width(), mm(writer, 12)), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Contents"));
}

void drawContentsEntry(QPainter& p, const QPdfWriter& writer, const QRectF& page, const THeading& h,
                       qreal top, int pageNumber)
{
    p.save();
    QFont f(kSans);
    f.setPointSizeF(h.level == 1 ? 10.5 : 9);
    f.setBold(h.level == 1);
    p.setFont(f);
    p.setPen(h.level == 1 ? kNavy : kInk);
    const qreal indent = h.level == 1 ? 0 : mm(writer, 7);
    const QRectF row(page.left() + indent, top, page.width() - indent, mm(writer, 5.2));
    const QString number = QString::number(pageNumber);
    p.drawText(row, Qt::AlignLeft | Qt::AlignVCenter, h.text);
    p.drawText(row, Qt::AlignRight | Qt::AlignVCenter, number);
    // Dot leader between title and page number.
    const QFontMetricsF fm(f, p.device());
    const qreal start = row.left() + fm.horizontalAdvance(h.text) + mm(writer, 2);
    const qreal end = row.right() - fm.horizontalAdvance(number) - mm(writer, 2);
    if (end > start) {
        p.setPen(QPen(QColor(0xb0, 0xb5, 0xc6), mm(writer, 0.35), Qt::DotLine));
        const qreal base = row.center().y() + fm.ascent() / 2 - mm(writer, 0.4);
        p.drawLine(QPointF(start, base), QPointF(end, base));
    }
    p.restore();
}

} // namespace

TManualWriter::TManualWriter(const QString& markdown, const QString& version, const QImage& cover,
                             const QString& imagesFolder)
    : m_markdown(markdown), m_version(version), m_cover(cover), m_imagesFolder(imagesFolder)
{
}

bool TManualWriter::write(const QString& pdfPath, QString* error) const
{
    QSaveFile file(pdfPath);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("cannot write %1: %2").arg(pdfPath, file.errorString());
        return false;
    }
    QPdfWriter writer(&file);
    writer.setResolution(300);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(22, 20, 22, 16), QPageLayout::Millimeter));
    writer.setTitle(kTitle + QStringLiteral(" User Manual"));
    writer.setCreator(QStringLiteral("mkmanual"));

    const QRectF page(QPointF(0, 0), writer.pageLayout().paintRectPixels(writer.resolution()).size());
    const qreal footer = mm(writer, 12);

    QTextDocument doc;
    doc.documentLayout()->setPaintDevice(&writer);
    QFont body(kSans);
    body.setPointSizeF(9.5);
    doc.setDefaultFont(body);
    doc.setMarkdown(m_markdown, QTextDocument::MarkdownDialectGitHub);
    doc.setDocumentMargin(0);
    if (!m_imagesFolder.isEmpty())
        doc.setBaseUrl(QUrl::fromLocalFile(QDir(m_imagesFolder).absolutePath() + QLatin1Char('/')));
    QList<THeading> headings = styleDocument(doc);
    doc.setPageSize(QSizeF(page.width(), page.height() - footer));
    const qreal bodyPage = doc.pageSize().height();

    // Which body page each heading landed on.
    qsizetype next = 0;
    for (QTextBlock block = doc.begin(); block.isValid() && next < headings.size(); block = block.next()) {
        const int level = block.blockFormat().headingLevel();
        if (level < 1 || level > 2)
            continue;
        // Middle of the heading's first line: a heading that opens a page starts exactly
        // on the page boundary, give or take rounding.
        const QRectF box = doc.documentLayout()->blockBoundingRect(block);
        const QTextLayout* layout = block.layout();
        const qreal y = box.top() + (layout->lineCount() > 0 ? layout->lineAt(0).rect().center().y() : 0);
        headings[next++].page = int(y / bodyPage);
    }

    QPainter p;
    if (!p.begin(&writer)) {
        *error = QStringLiteral("cannot start the PDF writer for %1").arg(pdfPath);
        return false;
    }
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);

    drawCover(p, writer, page, m_cover, m_version);

    // Contents: body page numbers depend on how many pages the contents take.
    const QList<TContentsPlace> places = layoutContents(writer, page, headings);
    const int contentsPages = places.isEmpty() ? 1 : places.last().page + 1;
    const int bodyOffset = 1 + contentsPages;
    for (int c = 0; c < contentsPages; ++c) {
        writer.newPage();
        if (c == 0)
            drawContentsTitle(p, writer, page);
        for (qsizetype i = 0; i < headings.size(); ++i) {
            if (places[i].page == c)
                drawContentsEntry(p, writer, page, headings[i], places[i].top, headings[i].page + bodyOffset + 1);
        }
        drawFooter(p, page, mm(writer, 0.25), 2 + c);
    }

    const int pages = doc.pageCount();
    for (int i = 0; i < pages; ++i) {
        writer.newPage();
        p.save();
        p.translate(0, -i * bodyPage);
        QAbstractTextDocumentLayout::PaintContext ctx;
        ctx.clip = QRectF(0, i * bodyPage, page.width(), bodyPage);
        ctx.palette.setColor(QPalette::Text, kInk);
        p.setClipRect(ctx.clip);
        doc.documentLayout()->draw(&p, ctx);
        p.restore();
        drawFooter(p, page, mm(writer, 0.25), bodyOffset + i + 1);
    }
    p.end();
    if (!file.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(pdfPath, file.errorString());
        return false;
    }
    return true;
}
