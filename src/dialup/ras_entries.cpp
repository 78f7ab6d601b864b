#include "ras_entries.h"

#include <algorithm>
#include <cstring>

namespace ringlark::ras {

std::vector<unsigned char> makeEntryBuffer()
{
    std::vector<unsigned char> buffer(kBufferSize, 0);
    // Little-endian 32-bit size field of the first record.
    const std::uint32_t size = kRecordSize;
    for (std::size_t i = 0; i < 4; ++i)
        buffer[i] = static_cast<unsigned char>((size >> (8 * i)) & 0xFFu);
    return buffer;
}

std::vector<std::string> parseEntryNames(const unsigned char *buffer, std::size_t bufferSize,
                                         std::uint32_t reportedCount)
{
    std::vector<std::string> names;
    if (buffer == nullptr)
        return names;
    const std::size_t records =
        std::min<std::size_t>(reportedCount, std::min(bufferSize / kRecordSize, kRecordCount));
    names.reserve(records);
    for (std::size_t i = 0; i < records; ++i) {
        const unsigned char *field = buffer + i * kRecordSize + kNameOffset;
        // A field without a NUL is taken whole rather than read into the padding.
        const void *nul = std::memchr(field, 0, kNameSize);
        const std::size_t length =
            nul ? static_cast<std::size_t>(static_cast<const unsigned char *>(nul) - field)
                : kNameSize;
        if (length == 0)
            break;
        names.emplace_back(reinterpret_cast<const char *>(field), length);
    }
    return names;
}

} // namespace ringlark::ras
