#include "timer.h"

namespace ringlark {

QtTimer::QtTimer(QObject *parent) : Timer(parent)
{
    connect(&m_timer, &QTimer::timeout, this, &Timer::timeout);
}

} // namespace ringlark
