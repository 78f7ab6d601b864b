#pragma once

#include "timer.h"

namespace ringlark::test {

// A timer whose time passes only when the test says so.
class FakeTimer final : public Timer
{
public:
    void start(int ms) override
    {
        active = true;
        interval = ms;
        if (firesAtOnce)
            QTimer::singleShot(0, this, [this] {
                if (firesAtOnce)
                    fire();
            });
    }
    void stop() override { active = false; }
    bool isActive() const override { return active; }

    // The interval has passed: fires if the timer runs. Returns whether it fired.
    bool fire()
    {
        if (!active)
            return false;
        emit timeout();
        return true;
    }

    bool active = false;
    int interval = 0;
    // Every interval passes on the next turn of the event loop, for tests that run whole
    // checks one after another.
    bool firesAtOnce = false;
};

} // namespace ringlark::test
