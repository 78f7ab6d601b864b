#pragma once

#include <QString>

#include <memory>

namespace ringlark {

// The per-user store of the eleven settings: one application, one section, text values.
class SettingsStore
{
public:
    virtual ~SettingsStore() = default;

    // The stored text, or defaultValue when the key has never been written.
    virtual QString read(const QString &key, const QString &defaultValue) const = 0;

    // Creates or replaces the key and makes it durable before returning.
    // Returns false when the value could not be written to the disk.
    virtual bool write(const QString &key, const QString &value) = 0;

    // After a write() that returned false: where the store is and why the write failed, for
    // the log. Empty when the last write succeeded.
    virtual QString lastError() const { return {}; }

    // Where the settings live, as a path a user would recognise; empty when the store has no
    // such place. Two programs on the same location share their settings.
    virtual QString location() const { return {}; }
};

// The platform's own store: TERNCALL.ini in the user's configuration folder on Linux, the
// user's registry on Windows, where earlier Windows versions of the program kept it.
std::unique_ptr<SettingsStore> makeDefaultSettingsStore();

} // namespace ringlark
