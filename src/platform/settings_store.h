#pragma once

#include <QString>

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
};

} // namespace ringlark
