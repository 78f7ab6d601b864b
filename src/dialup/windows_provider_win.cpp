#include "windows_provider_win.h"

#include "log_categories.h"
#include "windows_provider_win32.h"

#include <QThread>

#include <memory>
#include <string>

namespace ringlark {

namespace {

struct DialOutcome
{
    std::uint32_t result = 0;
    std::uintptr_t connection = 0;
};

// One InternetDial, away from the caller's thread. It writes only its own outcome, which
// the caller reads after `finished` has come through its event loop.
class DialThread final : public QThread
{
public:
    DialThread(std::uintptr_t parentWindow, std::wstring name, std::shared_ptr<DialOutcome> outcome)
        : m_parentWindow(parentWindow), m_name(std::move(name)), m_outcome(std::move(outcome))
    {
        setObjectName(QStringLiteral("ringlark-dial"));
    }
    void run() override
    {
        m_outcome->result = win32::dial(m_parentWindow, m_name, m_outcome->connection);
    }

private:
    const std::uintptr_t m_parentWindow;
    const std::wstring m_name;
    const std::shared_ptr<DialOutcome> m_outcome;
};

} // namespace

WindowsDialUpProvider::~WindowsDialUpProvider()
{
    abandonDial();
}

void WindowsDialUpProvider::listEntries(QObject *context,
                                        std::function<void(const QStringList &)> done)
{
    QStringList names;
    for (const std::wstring &name : win32::enumEntryNames())
        names.append(QString::fromStdWString(name));
    qCDebug(lcDialup) << "entries:" << names;
    answerLater(context, std::move(done), names);
}

void WindowsDialUpProvider::startDial(quintptr parentWindow, const QString &entry)
{
    abandonDial();
    m_dialing = true;
    const quint64 dial = ++m_dial;
    // Parentless on purpose: an abandoned dial cannot be cut short, and its thread must
    // outlive this provider. It deletes itself once InternetDial has returned; at program
    // exit the system ends it.
    const auto outcome = std::make_shared<DialOutcome>();
    auto *thread = new DialThread(parentWindow, entry.toStdWString(), outcome);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    connect(thread, &QThread::finished, this, [this, outcome, dial, entry] {
        if (dial != m_dial || !m_dialing)
            return;
        m_dialing = false;
        const auto result = static_cast<qint32>(outcome->result);
        const Handle handle = result == 0 ? static_cast<Handle>(outcome->connection) : 0;
        qCDebug(lcDialup) << "InternetDial" << entry << "->" << result;
        emit dialFinished(result, handle);
    });
    qCDebug(lcDialup) << "InternetDial" << entry;
    thread->start();
}

void WindowsDialUpProvider::abandonDial()
{
    if (!m_dialing)
        return;
    ++m_dial;
    m_dialing = false;
}

void WindowsDialUpProvider::hangUp(Handle handle, QObject *context,
                                   std::function<void(qint32)> done)
{
    const auto result = static_cast<qint32>(win32::hangUp(static_cast<std::uintptr_t>(handle)));
    qCDebug(lcDialup) << "InternetHangUp ->" << result;
    answerLater(context, std::move(done), result);
}

void WindowsDialUpProvider::remoteConnected(QObject *context, std::function<void(bool)> done)
{
    answerLater(context, std::move(done), win32::remoteConnectionFlag());
}

} // namespace ringlark
