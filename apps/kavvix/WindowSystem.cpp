#include "WindowSystem.h"

#include <QDir>
#include <QFileInfo>

namespace KavvixCli::WindowSystem {

namespace {

bool waylandDisplay() {
    const QString name = qEnvironmentVariable("WAYLAND_DISPLAY", QStringLiteral("wayland-0"));
    if (QDir::isAbsolutePath(name))
        return QFileInfo::exists(name);
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QLatin1Char('/') + name);
}

bool platformAvailable(const QString &platform) {
    const QString name = platform.section(QLatin1Char(':'), 0, 0).trimmed();
    if (name == QLatin1String("xcb"))
        return !qEnvironmentVariableIsEmpty("DISPLAY");
    if (name.startsWith(QLatin1String("wayland")))
        return waylandDisplay();
    return !name.isEmpty(); // offscreen, minimal, eglfs, vnc, ...: no display to reach
}

} // namespace

bool displayAvailable(const QStringList &arguments) {
    QString platforms = qEnvironmentVariable("QT_QPA_PLATFORM");
    if (const qsizetype option = arguments.indexOf(QStringLiteral("-platform"));
        option >= 0 && option + 1 < arguments.size())
        platforms = arguments[option + 1];
    if (platforms.isEmpty())
        return !qEnvironmentVariableIsEmpty("DISPLAY") || waylandDisplay();
    for (const QString &platform : platforms.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        if (platformAvailable(platform))
            return true;
    return false;
}

bool asksForHelp(const QStringList &arguments) {
    for (const QString &argument : arguments) {
        if (argument == QLatin1String("--"))
            return false;
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h") ||
            argument == QLatin1String("-?") || argument == QLatin1String("--help-all"))
            return true;
    }
    return false;
}

} // namespace KavvixCli::WindowSystem
