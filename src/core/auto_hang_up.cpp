#include "auto_hang_up.h"

#include "timer.h"

#include <limits>

namespace ringlark {

AutoHangUp::AutoHangUp(std::unique_ptr<Timer> timer, QObject *parent)
    : QObject(parent), m_timer(std::move(timer))
{
    connect(m_timer.get(), &Timer::timeout, this, [this] {
        // Once: the timer repeats, the hang-up does not.
        m_timer->stop();
        emit due();
    });
}

AutoHangUp::~AutoHangUp() = default;

void AutoHangUp::triggerDialled(qint32 result, qint64 afterMs)
{
    // A connection that was up before the trigger (-1) keeps its clock, if it has one,
    // restarted; one without a clock was not ours to end.
    const bool restart = result == 0 || (result == -1 && m_timer->isActive());
    if (!restart)
        return;
    if (afterMs <= 0) {
        m_timer->stop();
        return;
    }
    m_timer->start(static_cast<int>(std::min<qint64>(afterMs, std::numeric_limits<int>::max())));
}

void AutoHangUp::connectionClosed()
{
    m_timer->stop();
}

bool AutoHangUp::running() const
{
    return m_timer->isActive();
}

} // namespace ringlark
