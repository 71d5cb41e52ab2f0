#pragma once

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

/// Finds controls as an administrator sees them: by caption, and input fields by their label.
namespace finders {

template <typename T = QAbstractButton> T* button(const QWidget* root, const QString& caption)
{
    for (T* b : root->findChildren<T*>())
        if (b->text() == caption)
            return b;
    ADD_FAILURE() << "no button " << caption.toStdString();
    return nullptr;
}

/// The buddy of the `nth` label that reads `caption`.
template <typename T> T* byLabel(const QWidget* root, const QString& caption, int nth = 0)
{
    for (QLabel* label : root->findChildren<QLabel*>())
        if (label->text() == caption && nth-- == 0)
            return qobject_cast<T*>(label->buddy());
    ADD_FAILURE() << "no label " << caption.toStdString();
    return nullptr;
}

inline QAction* action(const QMenu* menu, const QString& caption)
{
    for (QAction* a : menu->actions())
        if (a->text() == caption)
            return a;
    ADD_FAILURE() << "no menu item " << caption.toStdString();
    return nullptr;
}

/// Runs `drive` on the next modal dialog of type T; one that it leaves open is cancelled.
template <typename T> void onNextDialog(std::function<void(T&)> drive)
{
    QTimer::singleShot(0, [drive] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!dialog) {
            ADD_FAILURE() << "no modal dialog open";
            return;
        }
        drive(*dialog);
        if (dialog->isVisible()) {
            ADD_FAILURE() << "dialog left open";
            dialog->reject();
        }
    });
}

} // namespace finders
