#pragma once

#include "timer.h"

#include <vector>

namespace ringlark::test {

// A timer whose time passes only when the test says so.
class FakeTimer final : public Timer
{
public:
    void start(int ms) override { run(ms, false); }
    void startOnce(int ms) override { run(ms, true); }
    void stop() override { active = false; }
    bool isActive() const override { return active; }

    // The interval has passed: fires if the timer runs. Returns whether it fired.
    bool fire()
    {
        if (!active)
            return false;
        if (once)
            active = false;
        emit timeout();
        return true;
    }

    bool active = false;
    bool once = false;
    int interval = 0;
    // Every interval passes on the next turn of the event loop, for tests that run whole
    // checks one after another.
    bool firesAtOnce = false;

private:
    void run(int ms, bool single)
    {
        active = true;
        once = single;
        interval = ms;
        if (firesAtOnce)
            QTimer::singleShot(0, this, [this] {
                if (firesAtOnce)
                    fire();
            });
    }
};

// The fake behind a timer a test made through fakeTimers().
inline FakeTimer &fake(Timer &timer)
{
    return static_cast<FakeTimer &>(timer);
}

// A factory of fake timers, for the objects that take one.
inline TimerFactory fakeTimers()
{
    return [] { return std::make_unique<FakeTimer>(); };
}

} // namespace ringlark::test
