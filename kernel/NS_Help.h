#pragma once
// The manual, the resources folder and the About box.

#include <QString>
#include <functional>

class QUrl;
class QWidget;

namespace NS_Utilities {

// Opens the manual `fileName` from the resources folder (of the bundle `bundleId` when
// given and known, else of the program). On failure the user gets a warning.
void ShowHelpDocumentation(QWidget* parent, const QString& fileName, QString* bundleId);

// Opens the document at `url` (text form of a file URL) with the desktop's viewer.
// False when the file is missing or the viewer refused it. A text that is not an
// absolute file URL cannot be handed to the system: the user is told so and the
// result is true, so that no second message follows.
bool LaunchHelpSystem(const QString& url, QWidget* parent);

// Absolute path of the resources folder: a folder registered for `bundleId`, or
// "<folder of the executable>/../share/mixwarden". Empty when there is no application.
QString moduleLocation(QString* bundleId);

// Lets a bundle (the proxy component) name its own resources folder; an empty path
// means the bundle has none.
void registerBundleResources(const QString& bundleId, const QString& resourcesPath);
void unregisterBundleResources(const QString& bundleId);

// True when the system has no restriction on document paths (always, on Linux).
bool isPanther();

// How a resolved, existing file is handed to the desktop. The default uses
// QDesktopServices; tests install their own. Returns the previous opener; an empty
// function restores the default.
using THelpOpener = std::function<bool(const QUrl& fileUrl)>;
THelpOpener setHelpOpener(THelpOpener opener);

// Shows the About box modally (no parent) and deletes it afterwards. `extraInfo`, when
// not empty, adds a line such as the MIDI service in use.
void showAboutBox(const QString& extraInfo = QString());

} // namespace NS_Utilities
