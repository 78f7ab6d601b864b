#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <memory>

namespace ringlark {

// The system registry, cut down to the three calls the program makes and kept close to the
// ANSI Win32 functions: names travel as bytes in the system's ANSI code page, data as raw
// bytes, and every call answers with a Win32 error code (0 for success).
class Registry
{
public:
    // Root keys, with the numbers Windows gives them.
    enum class Root : quint32
    {
        CurrentUser = 0x80000001u,
        LocalMachine = 0x80000002u,
    };

    // Value types the program tells apart.
    enum ValueType : quint32
    {
        RegNone = 0,
        RegSz = 1,
        RegExpandSz = 2,
        RegBinary = 3,
        RegDword = 4,
    };

    // Read access (KEY_READ). Asking for more on HKEY_LOCAL_MACHINE is refused to a user
    // who is not an administrator, so readers never do.
    static constexpr quint32 KeyRead = 0x20019u;

    // Win32 error codes the implementations return.
    static constexpr qint32 ErrorSuccess = 0;
    static constexpr qint32 ErrorFileNotFound = 2;
    static constexpr qint32 ErrorInvalidHandle = 6;
    static constexpr qint32 ErrorMoreData = 234;

    using Handle = quintptr;

    virtual ~Registry() = default;

    // RegOpenKeyExA: opens subKey under root with the given access rights.
    virtual qint32 openKey(Root root, const QByteArray &subKey, quint32 access, Handle &key) = 0;

    // RegQueryValueExA: reads the value into data. On entry size is the buffer's capacity;
    // on success it is the number of bytes delivered. A value larger than the buffer fails
    // with ErrorMoreData, and then size is the value's full size.
    virtual qint32 queryValue(Handle key, const QByteArray &valueName, quint32 &type, char *data,
                              quint32 &size) = 0;

    // RegCloseKey.
    virtual void closeKey(Handle key) = 0;

    // The buffer rule of queryValue, for implementations that hold the value in memory.
    static qint32 deliver(const QByteArray &stored, char *data, quint32 &size);
};

// The registry of the system the program runs on (on Linux, a stand-in; see
// registry_linux.h).
std::unique_ptr<Registry> createSystemRegistry();

} // namespace ringlark
