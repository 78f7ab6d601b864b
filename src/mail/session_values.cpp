#include "session_values.h"

namespace ringlark {

QString spelling(SessionStep step)
{
    switch (step) {
    case SessionStep::None:
        return {};
    case SessionStep::Connect:
        return QStringLiteral("Connect");
    case SessionStep::User:
        return QStringLiteral("User");
    case SessionStep::Pass:
        return QStringLiteral("Pass");
    case SessionStep::Stat:
        return QStringLiteral("Stat");
    case SessionStep::Retr:
        return QStringLiteral("Retr");
    case SessionStep::Quit:
        return QStringLiteral("Quit");
    case SessionStep::Stop:
        return QStringLiteral("Stop");
    }
    return {};
}

QString spelling(TriggerFlag flag)
{
    switch (flag) {
    case TriggerFlag::None:
        return {};
    case TriggerFlag::Start:
        return QStringLiteral("START");
    case TriggerFlag::Stop:
        return QStringLiteral("STOP");
    }
    return {};
}

} // namespace ringlark
