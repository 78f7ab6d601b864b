#pragma once

namespace ringlark {

// When a window of the program counts as activated: when the user comes back to it from
// another window of the program. Fed with every move of the focus between top-level windows.
// A message box that closes hands the focus back on its own, and the window system may give
// it to the box's parent rather than to the window the user was in: neither is the user
// moving away.
class ActivationTracker
{
public:
    enum class Target
    {
        Elsewhere,  // another application, or no window
        Popup,      // a pop-up, such as a combo box's list
        MessageBox, // one of the program's message boxes
        TrackedWindow,
        OtherWindow // another window of the program
    };

    // Returns true when the tracked window has just been activated.
    bool focusMovedTo(Target target);

private:
    bool m_lastWasTracked = false;
    bool m_afterMessageBox = false;
};

} // namespace ringlark
