#include "nm_mock.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QUuid>

namespace ringlark::test {

namespace {

const QString kService = QStringLiteral("org.freedesktop.NetworkManager");
const QString kManagerPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString kMockInterface = QStringLiteral("org.freedesktop.DBus.Mock");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

QVariant plain(const QVariant &value)
{
    if (value.userType() == qMetaTypeId<QDBusVariant>())
        return plain(value.value<QDBusVariant>().variant());
    if (value.userType() == qMetaTypeId<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    return value;
}

QDBusMessage callMock(const QString &connectionName, const QString &path, const QString &interface,
                      const QString &method, const QVariantList &args = {})
{
    QDBusMessage message = QDBusMessage::createMethodCall(kService, path, interface, method);
    message.setArguments(args);
    return QDBusConnection(connectionName).call(message, QDBus::Block, 10000);
}

} // namespace

NetworkManagerMock::~NetworkManagerMock()
{
    stop();
}

bool NetworkManagerMock::start(bool withNetworkManager)
{
    QJsonArray profiles;
    for (const Profile &p : std::as_const(m_profiles)) {
        QJsonObject o{{QStringLiteral("id"), p.id}, {QStringLiteral("type"), p.type}};
        if (p.failReason)
            o.insert(QStringLiteral("fail"), static_cast<qint64>(*p.failReason));
        if (p.hang)
            o.insert(QStringLiteral("hang"), true);
        if (p.active)
            o.insert(QStringLiteral("active"), true);
        if (p.dun)
            o.insert(QStringLiteral("dun"), true);
        if (p.delayMs > 0)
            o.insert(QStringLiteral("delay"), p.delayMs);
        if (!p.activateError.isEmpty())
            o.insert(QStringLiteral("error"), p.activateError);
        profiles.append(o);
    }
    QStringList args{QStringLiteral(RINGLARK_TEST_SUPPORT_DIR "/nm_mock.py"),
                     QStringLiteral("--exit-on-stdin-eof"), QStringLiteral("--profiles-json"),
                     QString::fromUtf8(QJsonDocument(profiles).toJson(QJsonDocument::Compact))};
    if (!withNetworkManager)
        args.append(QStringLiteral("--no-networkmanager"));
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral("/usr/bin/python3"), args);

    // The fixture may wait; the code under test may not.
    QSignalSpy output(&m_process, &QProcess::readyReadStandardOutput);
    const QDeadlineTimer deadline(30000);
    QStringList lines;
    while (!lines.contains(QStringLiteral("READY"))) {
        while (m_process.canReadLine())
            lines.append(QString::fromUtf8(m_process.readLine()).trimmed());
        if (lines.contains(QStringLiteral("READY")))
            break;
        if (m_process.state() == QProcess::NotRunning || deadline.hasExpired()) {
            m_error = QStringLiteral("nm_mock.py did not come up: ") + m_process.errorString();
            stop();
            return false;
        }
        output.wait(static_cast<int>(qMax<qint64>(1, qMin<qint64>(deadline.remainingTime(), 500))));
    }
    m_address = lines.value(0);
    for (const QString &line : std::as_const(lines)) {
        if (!line.startsWith(QLatin1String("PROFILE ")))
            continue;
        const QString rest = line.mid(8);
        const qsizetype space = rest.indexOf(QLatin1Char(' '));
        m_paths.append({rest.left(space), rest.mid(space + 1)});
    }
    m_connectionName =
        QStringLiteral("ringlark-nm-mock-") + QUuid::createUuid().toString(QUuid::Id128);
    if (!QDBusConnection::connectToBus(m_address, m_connectionName).isConnected()) {
        m_error = QStringLiteral("cannot connect to the mock's bus at ") + m_address;
        stop();
        return false;
    }
    return true;
}

void NetworkManagerMock::stop()
{
    if (!m_connectionName.isEmpty()) {
        QDBusConnection::disconnectFromBus(m_connectionName);
        m_connectionName.clear();
    }
    if (m_process.state() == QProcess::NotRunning)
        return;
    // End of input makes the script stop the mock and the bus, and remove its folder.
    m_process.closeWriteChannel();
    QSignalSpy finished(&m_process, &QProcess::finished);
    if (m_process.state() != QProcess::NotRunning && !finished.wait(10000)) {
        m_process.kill();
        finished.wait(5000);
    }
}

QString NetworkManagerMock::profilePath(const QString &id) const
{
    for (const auto &[path, name] : m_paths)
        if (name == id)
            return path;
    return {};
}

QList<NetworkManagerMock::Call> NetworkManagerMock::methodCalls(const QString &method) const
{
    QList<Call> calls;
    const QDBusMessage reply = callMock(m_connectionName, kManagerPath, kMockInterface,
                                        QStringLiteral("GetMethodCalls"), {method});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return calls;
    const auto arg = reply.arguments().constFirst().value<QDBusArgument>();
    arg.beginArray();
    while (!arg.atEnd()) {
        qulonglong time = 0;
        QVariantList raw;
        arg.beginStructure();
        arg >> time >> raw;
        arg.endStructure();
        Call call;
        for (const QVariant &v : std::as_const(raw))
            call.args.append(plain(v));
        calls.append(call);
    }
    arg.endArray();
    return calls;
}

void NetworkManagerMock::clearCalls() const
{
    callMock(m_connectionName, kManagerPath, kMockInterface, QStringLiteral("ClearCalls"));
}

QStringList NetworkManagerMock::activeConnections() const
{
    const QDBusMessage reply =
        callMock(m_connectionName, kManagerPath, kProperties, QStringLiteral("Get"),
                 {kService, QStringLiteral("ActiveConnections")});
    QStringList paths;
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return paths;
    const QVariant value = reply.arguments().constFirst().value<QDBusVariant>().variant();
    for (const QDBusObjectPath &p : qdbus_cast<QList<QDBusObjectPath>>(value))
        paths.append(p.path());
    return paths;
}

std::optional<quint32> NetworkManagerMock::activeState(const QString &activePath) const
{
    const QDBusMessage reply =
        callMock(m_connectionName, activePath, kProperties, QStringLiteral("Get"),
                 {QStringLiteral("org.freedesktop.NetworkManager.Connection.Active"),
                  QStringLiteral("State")});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    return plain(reply.arguments().constFirst()).toUInt();
}

QString NetworkManagerMock::activate(const QString &id) const
{
    const QVariant root = QVariant::fromValue(QDBusObjectPath(QStringLiteral("/")));
    const QDBusMessage reply =
        callMock(m_connectionName, kManagerPath, kService, QStringLiteral("ActivateConnection"),
                 {QVariant::fromValue(QDBusObjectPath(profilePath(id))), root, root});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return plain(reply.arguments().constFirst()).toString();
}

QString NetworkManagerMock::addProfileNow(const QString &id, const QString &type)
{
    using SettingsMap = QMap<QString, QVariantMap>;
    qDBusRegisterMetaType<SettingsMap>();
    const SettingsMap settings{
        {QStringLiteral("connection"),
         {{QStringLiteral("id"), id},
          {QStringLiteral("type"), type},
          {QStringLiteral("uuid"), QUuid::createUuid().toString(QUuid::WithoutBraces)}}}};
    const QDBusMessage reply = callMock(
        m_connectionName, QStringLiteral("/org/freedesktop/NetworkManager/Settings"),
        QStringLiteral("org.freedesktop.NetworkManager.Settings"), QStringLiteral("AddConnection"),
        {QVariant::fromValue(settings)});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    const QString path = plain(reply.arguments().constFirst()).toString();
    m_paths.append({path, id});
    return path;
}

void NetworkManagerMock::deactivate(const QString &activePath) const
{
    callMock(m_connectionName, kManagerPath, kService, QStringLiteral("DeactivateConnection"),
             {QVariant::fromValue(QDBusObjectPath(activePath))});
}

} // namespace ringlark::test
