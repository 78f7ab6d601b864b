#include "activation_tracker.h"

namespace ringlark {

bool ActivationTracker::focusMovedTo(Target target)
{
    bool activated = false;
    switch (target) {
    case Target::Elsewhere:
    case Target::Popup:
        return false;
    case Target::MessageBox:
        m_afterMessageBox = true;
        return false;
    case Target::TrackedWindow:
        activated = !m_lastWasTracked;
        m_lastWasTracked = true;
        break;
    case Target::OtherWindow:
        if (!m_afterMessageBox)
            m_lastWasTracked = false;
        break;
    }
    m_afterMessageBox = false;
    return activated;
}

} // namespace ringlark
