#pragma once

#include "clock.h"
#include "message_box.h"
#include "settings_store.h"

#include <QMap>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <utility>

namespace ringlark::test {

// An in-memory store that records every read and write in order.
class FakeSettingsStore final : public SettingsStore
{
public:
    QString read(const QString &key, const QString &defaultValue) const override
    {
        reads.append(key);
        return values.contains(key) ? values.value(key) : defaultValue;
    }
    bool write(const QString &key, const QString &value) override
    {
        writes.append(key);
        if (failWrites)
            return false;
        values.insert(key, value);
        return true;
    }
    QString lastError() const override
    {
        return failWrites ? QStringLiteral("/fake/TERNCALL.ini: disk full") : QString();
    }

    QMap<QString, QString> values;
    QStringList writes;
    mutable QStringList reads;
    bool failWrites = false;
};

// Records the boxes. An open one stays until closeAll(), as
// on a machine nobody watches, or, with closesAtOnce, the user clicks it away on the next
// turn of the event loop.
class FakeMessageBox final : public MessageBox
{
public:
    struct Shown
    {
        QString text;
        Icon icon;
    };

    void open(const QString &text, Icon icon, std::function<void()> onClosed) override
    {
        shown.append({text, icon});
        if (!closesAtOnce) {
            pending.append(std::move(onClosed));
        } else if (onClosed) {
            QTimer::singleShot(0, &m_context, std::move(onClosed));
        }
    }
    void closeAll()
    {
        const auto closing = std::exchange(pending, {});
        for (const auto &f : closing)
            if (f)
                f();
    }
    int openCount() const { return static_cast<int>(pending.size()); }
    QStringList texts() const
    {
        QStringList out;
        for (const Shown &s : shown)
            out.append(s.text);
        return out;
    }

    QList<Shown> shown;
    QList<std::function<void()>> pending;
    bool closesAtOnce = false;

private:
    QObject m_context;
};

class FakeClock final : public Clock
{
public:
    QDateTime now() const override { return current; }
    QDateTime current;
};

} // namespace ringlark::test
