#include "windows_provider_win.h"

#include "log_categories.h"
#include "windows_provider_win32.h"

#include <QThread>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace ringlark {

namespace {

QString fromAnsi(const std::string &bytes)
{
    if (bytes.empty())
        return {};
    const int size = static_cast<int>(bytes.size());
    const int wide = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
    if (wide <= 0)
        return {};
    std::wstring out(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, out.data(), wide);
    return QString::fromStdWString(out);
}

std::string toAnsi(const QString &text)
{
    const std::wstring wide = text.toStdWString();
    if (wide.empty())
        return {};
    const int size = static_cast<int>(wide.size());
    const int bytes =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return {};
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), size, out.data(), bytes, nullptr, nullptr);
    return out;
}

} // namespace

QStringList WindowsDialUpProvider::listEntries()
{
    QStringList names;
    for (const std::string &name : win32::enumEntryNames())
        names.append(fromAnsi(name));
    qCDebug(lcDialup) << "entries:" << names;
    return names;
}

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
    DialThread(std::uintptr_t parentWindow, std::string ansiName,
               std::shared_ptr<DialOutcome> outcome)
        : m_parentWindow(parentWindow), m_ansiName(std::move(ansiName)),
          m_outcome(std::move(outcome))
    {
        setObjectName(QStringLiteral("ringlark-dial"));
    }
    void run() override
    {
        m_outcome->result = win32::dial(m_parentWindow, m_ansiName, m_outcome->connection);
    }

private:
    const std::uintptr_t m_parentWindow;
    const std::string m_ansiName;
    const std::shared_ptr<DialOutcome> m_outcome;
};

} // namespace

WindowsDialUpProvider::~WindowsDialUpProvider()
{
    abandonDial();
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
    auto *thread = new DialThread(parentWindow, toAnsi(entry), outcome);
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

qint32 WindowsDialUpProvider::hangUp(Handle handle)
{
    const auto result = static_cast<qint32>(win32::hangUp(static_cast<std::uintptr_t>(handle)));
    qCDebug(lcDialup) << "InternetHangUp ->" << result;
    return result;
}

bool WindowsDialUpProvider::remoteConnected()
{
    return win32::remoteConnectionFlag();
}

} // namespace ringlark
