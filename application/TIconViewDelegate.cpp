#include "TIconViewDelegate.h"

#include <QApplication>
#include <QLineEdit>
#include <QPainter>

TIconViewDelegate::TIconViewDelegate(QObject* parent)
    : QStyledItemDelegate(parent)
{
}

void TIconViewDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const
{
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const QString text = opt.text;
    opt.text.clear();
    QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);

    if (text.isEmpty())
        return;
    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, opt.widget);
    const QString shown = opt.fontMetrics.elidedText(text, Qt::ElideRight, textRect.width());
    QRect box = opt.fontMetrics.boundingRect(textRect, Qt::AlignHCenter | Qt::AlignTop, shown);
    box.adjust(-2, 0, 2, 0);
    const bool selected = opt.state & QStyle::State_Selected;
    painter->save();
    painter->fillRect(box, selected ? opt.palette.highlight() : QBrush(Qt::white));
    painter->setPen(selected ? opt.palette.color(QPalette::HighlightedText) : QColor(Qt::black));
    painter->drawText(box, Qt::AlignCenter, shown);
    painter->restore();
}

QWidget* TIconViewDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                         const QModelIndex& index) const
{
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* line = qobject_cast<QLineEdit*>(editor))
        line->setMaxLength(kMaxTextLength);
    return editor;
}

void TIconViewDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                     const QModelIndex& index) const
{
    QStyledItemDelegate::setModelData(editor, model, index);
    emit itemRenamed(index);
}
