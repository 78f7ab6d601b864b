#pragma once

// Shared by the fuzz targets. They are built twice: by clang with libFuzzer (fuzz/), and by the
// normal build as plain programs that replay the seed corpus and every kept crash input
// (fuzz/replay/). So nothing here may depend on libFuzzer.

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// An invariant that stays checked in release builds, where assert() is gone. A failure aborts,
// which libFuzzer records as a crash together with the input that caused it.
#define FUZZ_CHECK(condition)                                                                      \
    ((condition) ? static_cast<void>(0) : ::ringlark::fuzz::failed(#condition, __FILE__, __LINE__))

namespace ringlark::fuzz {

[[noreturn]] inline void failed(const char *condition, const char *file, int line)
{
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, condition);
    std::fflush(stderr);
    std::abort();
}

// Reads the fuzz input front to back. Past the end every byte reads as 0 and every slice is
// empty, so that a target can take its settings from a short input too.
class Input
{
public:
    Input(const std::uint8_t *data, std::size_t size)
        : m_data(reinterpret_cast<const char *>(data)), m_size(static_cast<qsizetype>(size))
    {
    }

    unsigned byte()
    {
        return m_pos < m_size ? static_cast<unsigned char>(m_data[m_pos++]) : 0u;
    }

    QByteArray take(qsizetype n)
    {
        const qsizetype length = qMin(n, m_size - m_pos);
        const QByteArray out(m_data + m_pos, length);
        m_pos += length;
        return out;
    }

    QByteArray rest() { return take(m_size - m_pos); }
    bool atEnd() const { return m_pos >= m_size; }

private:
    const char *m_data;
    qsizetype m_size;
    qsizetype m_pos = 0;
};

} // namespace ringlark::fuzz

namespace ringlark::fuzz {

// A check box flag as the store or the dialog leaves it, by the input's two bits.
inline QVariant checkFlag(unsigned form)
{
    switch (form & 3u) {
    case 0:
        return QStringLiteral("0");
    case 1:
        return QStringLiteral("1");
    case 2:
        return 1; // after the dialog's OK
    default:
        return QString(); // never saved
    }
}

} // namespace ringlark::fuzz

// What every target defines; the replay driver and libFuzzer call them.
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv);
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);
