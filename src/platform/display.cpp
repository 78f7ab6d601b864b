#include "display.h"

#include <QByteArray>
#include <QDir>

#if !defined(Q_OS_WIN) && !defined(Q_OS_MACOS)
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstring>
#endif

namespace ringlark {

#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)

QString displayProblem()
{
    return {};
}

#else

namespace {

bool x11Answers(const QByteArray &display)
{
    // A real connection, authorisation included: that is where a stale DISPLAY fails.
    xcb_connection_t *connection = xcb_connect(display.constData(), nullptr);
    const bool ok = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return ok;
}

bool waylandAnswers(const QByteArray &display)
{
    // The compositor's socket: the name alone lives in XDG_RUNTIME_DIR.
    const QByteArray path = QDir::isAbsolutePath(QString::fromLocal8Bit(display))
                                ? display
                                : qgetenv("XDG_RUNTIME_DIR") + '/' + display;
    sockaddr_un address{};
    if (path.size() >= qsizetype(sizeof address.sun_path))
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

} // namespace

QString displayProblem()
{
    const QByteArray chosen = qgetenv("QT_QPA_PLATFORM");
    // A platform of the user's choosing other than the two display servers (offscreen, vnc,
    // eglfs...) is the user's business.
    bool asksX11 = chosen.isEmpty(), asksWayland = chosen.isEmpty();
    for (const QByteArray &name : chosen.split(';')) {
        const QByteArray plugin = name.split(':').constFirst();
        if (plugin == "xcb")
            asksX11 = true;
        else if (plugin.startsWith("wayland"))
            asksWayland = true;
        else if (!plugin.isEmpty())
            return {};
    }
    const QByteArray x11 = qgetenv("DISPLAY"), wayland = qgetenv("WAYLAND_DISPLAY");
    if ((!asksX11 || x11.isEmpty()) && (!asksWayland || wayland.isEmpty()))
        return QStringLiteral("no display found");
    const bool x11Up = asksX11 && !x11.isEmpty() && x11Answers(x11);
    const bool waylandUp = asksWayland && !wayland.isEmpty() && waylandAnswers(wayland);
    if (chosen.isEmpty() && x11Up != waylandUp)
        qputenv("QT_QPA_PLATFORM", x11Up ? "xcb" : "wayland");
    if (x11Up || waylandUp)
        return {};
    QStringList dead;
    if (asksWayland && !wayland.isEmpty())
        dead.append(QStringLiteral("WAYLAND_DISPLAY=") + QString::fromLocal8Bit(wayland));
    if (asksX11 && !x11.isEmpty())
        dead.append(QStringLiteral("DISPLAY=") + QString::fromLocal8Bit(x11));
    return QStringLiteral("cannot open the display (%1)").arg(dead.join(QStringLiteral(", ")));
}

#endif

} // namespace ringlark
