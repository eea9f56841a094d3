// KAV plug-in SDK: turning an editor's parent window handle into a Qt parent.
//
// The only SDK header that needs Qt (Qt 6 Widgets). A page receives its parent as a native
// window id (WId) carried in a pointer value (IPropertyPage::Activate). When the parent is a
// widget of this process, the page becomes its child widget; otherwise the page adopts the
// foreign window as the parent of its own native window.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <QWindow>

namespace NS_KAV {

// The Qt parent found for a native window id: an in-process widget, or a foreign window that
// the caller owns; both null for id 0 or when the platform cannot adopt the window.
struct TKAVQtParent {
    QWidget* widget = nullptr;
    QWindow* foreignWindow = nullptr;

    bool isValid() const { return widget || foreignWindow; }
};

inline WId windowIdFromHandle(const void* handle)
{
    return static_cast<WId>(reinterpret_cast<quintptr>(handle));
}

inline void* handleFromWindowId(WId id)
{
    return reinterpret_cast<void*>(static_cast<quintptr>(id));
}

inline TKAVQtParent findQtParent(WId id)
{
    TKAVQtParent parent;
    if (id == 0)
        return parent;
    parent.widget = QWidget::find(id);
    if (!parent.widget)
        parent.foreignWindow = QWindow::fromWinId(id);
    return parent;
}

inline TKAVQtParent findQtParent(const void* handle) { return findQtParent(windowIdFromHandle(handle)); }

// Places `page` inside the window `id`. An in-process widget becomes the page's parent; a
// foreign window becomes the parent of the page's native window and is deleted together with
// the page. Returns false (page untouched) when no parent can be found.
inline bool attachToQtParent(QWidget* page, WId id)
{
    if (!page)
        return false;
    TKAVQtParent parent = findQtParent(id);
    if (parent.widget) {
        page->setParent(parent.widget);
        return true;
    }
    if (!parent.foreignWindow)
        return false;
    page->setParent(nullptr);
    page->winId(); // makes the page's native window
    QWindow* own = page->windowHandle();
    if (!own) {
        delete parent.foreignWindow;
        return false;
    }
    own->setParent(parent.foreignWindow);
    QPointer<QWindow> foreign(parent.foreignWindow);
    QObject::connect(page, &QObject::destroyed, [foreign]() {
        if (foreign)
            foreign->deleteLater();
    });
    return true;
}

} // namespace NS_KAV
