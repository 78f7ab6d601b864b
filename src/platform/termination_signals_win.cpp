#include "termination_signals.h"

namespace ringlark {

// Windows sends no POSIX termination signals to a GUI program; closing it goes through the
// main window like the exit item does.
TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent) {}

TerminationSignals::~TerminationSignals() = default;

void TerminationSignals::readPending() {}

QString TerminationSignals::nameOf(int signalNumber)
{
    return QStringLiteral("signal %1").arg(signalNumber);
}

} // namespace ringlark
