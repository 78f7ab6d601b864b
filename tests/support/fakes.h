#pragma once

#include "clock.h"
#include "message_box.h"
#include "settings_store.h"

#include <QMap>
#include <QStringList>

#include <functional>
#include <utility>

namespace ringlark::test {

// An in-memory store that records every write in order.
class FakeSettingsStore final : public SettingsStore
{
public:
    QString read(const QString &key, const QString &defaultValue) const override
    {
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
    bool failWrites = false;
};

// Records the boxes; a modal box is closed at once, an open one stays until closeAll().
class FakeMessageBox final : public MessageBox
{
public:
    struct Shown
    {
        QString text;
        Icon icon;
        bool modal;
    };

    void exec(const QString &text, Icon icon) override
    {
        shown.append({text, icon, true});
        if (onExec)
            onExec(text);
    }
    void open(const QString &text, Icon icon, std::function<void()> onClosed) override
    {
        shown.append({text, icon, false});
        pending.append(std::move(onClosed));
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
    std::function<void(const QString &)> onExec; // runs while a modal box is "open"
};

class FakeClock final : public Clock
{
public:
    QDateTime now() const override { return current; }
    QDateTime current;
};

} // namespace ringlark::test
