#pragma once
// Draws Workspace icon texts on a solid white background and limits in-place renames to
// the icon view's maximum text length.

#include <QStyledItemDelegate>

class TIconViewDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    static constexpr int kMaxTextLength = 63;

    explicit TIconViewDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    // Only edits made in place by the user count as renames (not icon or text updates
    // made by the program).
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;

signals:
    void itemRenamed(const QModelIndex& index) const;
};
