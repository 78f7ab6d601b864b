#pragma once

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

namespace ringlark {

// A timer behind an interface, so that tests step time instead of waiting for it.
class Timer : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // (Re)starts it: the first timeout comes after ms, then one every ms.
    virtual void start(int ms) = 0;
    // (Re)starts it for a single timeout after ms.
    virtual void startOnce(int ms) = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;

signals:
    void timeout();
};

class QtTimer final : public Timer
{
    Q_OBJECT
public:
    explicit QtTimer(QObject *parent = nullptr);

    void start(int ms) override;
    void startOnce(int ms) override;
    void stop() override { m_timer.stop(); }
    bool isActive() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
};

// Where every timer of the program comes from: real ones in the program, fakes in tests.
using TimerFactory = std::function<std::unique_ptr<Timer>()>;

// A timer from the factory; an empty factory makes a real one.
std::unique_ptr<Timer> makeTimer(const TimerFactory &factory);

} // namespace ringlark
