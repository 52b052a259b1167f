// Qt is linked statically into the Windows program: its platform plugin and
// the native style are registered here, once, instead of being loaded from
// files beside the executable.
#include <QtPlugin>

Q_IMPORT_PLUGIN(QWindowsIntegrationPlugin)
Q_IMPORT_PLUGIN(QWindowsVistaStylePlugin)
