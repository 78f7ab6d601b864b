#pragma once

#include "dialup_provider.h"

#include <QList>
#include <QStringList>

namespace ringlark::test {

// A provider whose answers the test sets and whose calls it records. A dial ends with
// dialResult from the event loop, or, with holdDials, when the test calls finishDial().
class FakeDialUpProvider final : public DialUpProvider
{
public:
    void listEntries(QObject *context, std::function<void(const QStringList &)> done) override
    {
        ++listings;
        answerLater(context, std::move(done), entries);
    }
    QString listProblem() const override { return problem; }
    void startDial(quintptr parentWindow, const QString &entry) override
    {
        dials.append({parentWindow, entry});
        ++m_dial;
        dialling = true;
        if (!holdDials)
            QMetaObject::invokeMethod(
                this,
                [this, dial = m_dial] {
                    if (dial == m_dial)
                        finishDial();
                },
                Qt::QueuedConnection);
    }
    void abandonDial() override
    {
        if (dialling)
            ++abandoned;
        ++m_dial;
        dialling = false;
    }
    // Ends the dial under way with dialResult.
    void finishDial()
    {
        if (!dialling)
            return;
        dialling = false;
        emit dialFinished(dialResult, dialResult == 0 ? nextHandle : 0);
    }
    void hangUp(Handle handle, QObject *context, std::function<void(qint32)> done) override
    {
        hangUps.append(handle);
        answerLater(context, std::move(done), hangUpResult);
    }
    void remoteConnected(QObject *context, std::function<void(bool)> done) override
    {
        answerLater(context, std::move(done), remote);
    }

    struct Dial
    {
        quintptr parentWindow;
        QString entry;
    };

    QStringList entries;
    QString problem;
    qint32 dialResult = 0;
    Handle nextHandle = 0x1234;
    qint32 hangUpResult = 0;
    bool remote = false;
    bool holdDials = false;

    QList<Dial> dials;
    QList<Handle> hangUps;
    int listings = 0;
    int abandoned = 0;
    bool dialling = false;

private:
    quint64 m_dial = 0;
};

} // namespace ringlark::test
