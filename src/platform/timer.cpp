#include "timer.h"

namespace ringlark {

QtTimer::QtTimer(QObject *parent) : Timer(parent)
{
    connect(&m_timer, &QTimer::timeout, this, &Timer::timeout);
}

void QtTimer::start(int ms)
{
    m_timer.setSingleShot(false);
    m_timer.start(ms);
}

void QtTimer::startOnce(int ms)
{
    m_timer.setSingleShot(true);
    m_timer.start(ms);
}

std::unique_ptr<Timer> makeTimer(const TimerFactory &factory)
{
    return factory ? factory() : std::make_unique<QtTimer>();
}

} // namespace ringlark
