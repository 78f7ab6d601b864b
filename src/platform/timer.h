#pragma once

#include <QObject>
#include <QTimer>

namespace ringlark {

// A repeating timer behind an interface, so that tests step time instead of waiting for it.
class Timer : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // (Re)starts it: the first timeout comes after ms, then one every ms.
    virtual void start(int ms) = 0;
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

    void start(int ms) override { m_timer.start(ms); }
    void stop() override { m_timer.stop(); }
    bool isActive() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
};

} // namespace ringlark
