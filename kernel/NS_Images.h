#pragma once
// The images built into the program and the look-up of an image by name.

#include <QPixmap>
#include <QString>
#include <QStringList>

namespace NS_Utilities {

// Finds an image by name: the built-in collection first, then the file
// `*folder + name` (folder defaults to "./images/", relative to the working folder).
// A null pixmap when neither has it. GUI thread only (QPixmap).
QPixmap loadPixmap(QString& name, const QString* folder = nullptr);

// Names of the built-in images, in collection order.
QStringList builtInImageNames();

} // namespace NS_Utilities

// Registers the built-in collection (idempotent; loadPixmap does it on first use) and
// drops the images kept so far. The cleanup also runs when the application object goes.
void qInitImages_MW2();
void qCleanupImages_MW2();
