#pragma once

#include <QStringList>

namespace KavvixCli::WindowSystem {

// Whether a widget application can start. Qt ends the process when its window-system platform
// has nothing to connect to, so this is decided before one is created: the platform named by
// -platform or QT_QPA_PLATFORM (each of a ";" list is tried), or by default the X or Wayland
// display of the session.
bool displayAvailable(const QStringList &arguments);

// Whether the command line asks for help (before any "--"), which needs no window.
bool asksForHelp(const QStringList &arguments);

} // namespace KavvixCli::WindowSystem
