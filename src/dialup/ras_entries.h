#pragma once

// Qt-free: compiled into the Windows provider as well as into the Linux tests.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ringlark::ras {

// The entry-name buffer handed to RasEnumEntriesA: 256 records of the 264-byte
// RASENTRYNAMEA layout (4-byte size, 257-byte NUL-ended ANSI name, 3 bytes padding).
inline constexpr std::size_t kRecordSize = 264;
inline constexpr std::size_t kRecordCount = 256;
inline constexpr std::size_t kBufferSize = kRecordSize * kRecordCount; // 67,584
inline constexpr std::size_t kNameOffset = 4;
inline constexpr std::size_t kNameSize = 257;

// A zeroed buffer whose first record's size field says 264, as the call expects.
std::vector<unsigned char> makeEntryBuffer();

// The names in `buffer` as the platform left them, raw ANSI bytes each, in record order.
// `reportedCount` is the entry count the call gave back. Reads only inside the buffer, never
// more records than it holds, and stops at the first record that holds no name: when there
// are more entries than records, RasEnumEntriesA reports the full count but fills none.
std::vector<std::string> parseEntryNames(const unsigned char *buffer, std::size_t bufferSize,
                                         std::uint32_t reportedCount);

} // namespace ringlark::ras
