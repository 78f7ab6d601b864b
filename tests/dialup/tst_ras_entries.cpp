#include "ras_entries.h"

#include <QTest>

#include <cstring>
#include <string>
#include <vector>

using namespace ringlark;

namespace {

// Writes a name into record i the way RasEnumEntriesA does: size field, bytes, NUL.
void putName(std::vector<unsigned char> &buffer, std::size_t i, const std::string &name)
{
    unsigned char *record = buffer.data() + i * ras::kRecordSize;
    record[0] = static_cast<unsigned char>(ras::kRecordSize);
    record[1] = static_cast<unsigned char>(ras::kRecordSize >> 8);
    std::memcpy(record + ras::kNameOffset, name.data(), name.size());
    record[ras::kNameOffset + name.size()] = 0;
}

} // namespace

class TestRasEntries : public QObject
{
    Q_OBJECT

private slots:
    void bufferLayout()
    {
        const auto buffer = ras::makeEntryBuffer();
        QCOMPARE(buffer.size(), std::size_t(67584));
        // 264 as a little-endian 32-bit size in the first record only.
        QCOMPARE(int(buffer[0]), 264 & 0xFF);
        QCOMPARE(int(buffer[1]), 264 >> 8);
        QCOMPARE(int(buffer[2]), 0);
        QCOMPARE(int(buffer[3]), 0);
        QCOMPARE(int(buffer[ras::kRecordSize]), 0);
    }

    void namesInPlatformOrder()
    {
        auto buffer = ras::makeEntryBuffer();
        // Shift-JIS bytes of 会社 travel untouched; the Windows adapter decodes them.
        const std::string sjis("\x89\xEF\x8E\xD0", 4);
        putName(buffer, 0, "Zeta");
        putName(buffer, 1, sjis);
        putName(buffer, 2, "Alpha");
        const auto names = ras::parseEntryNames(buffer.data(), buffer.size(), 3);
        QCOMPARE(names, (std::vector<std::string>{"Zeta", sjis, "Alpha"}));
        QVERIFY(ras::parseEntryNames(buffer.data(), buffer.size(), 0).empty());
    }

    void fullLengthNamesComeBackWhole()
    {
        auto buffer = ras::makeEntryBuffer();
        const std::string longest(256, 'N');
        putName(buffer, 0, longest);
        putName(buffer, 1, "next");
        const auto names = ras::parseEntryNames(buffer.data(), buffer.size(), 2);
        QCOMPARE(names.size(), std::size_t(2));
        QCOMPARE(names[0], longest);
        QCOMPARE(names[1], std::string("next"));

        // A field with no NUL at all ends at its own end, not in the padding after it.
        std::memset(buffer.data() + ras::kNameOffset, 'X', ras::kNameSize);
        std::memset(buffer.data() + ras::kNameOffset + ras::kNameSize, 'P', 3);
        const auto unterminated = ras::parseEntryNames(buffer.data(), buffer.size(), 1);
        QCOMPARE(unterminated.at(0), std::string(ras::kNameSize, 'X'));
    }

    void countBeyondTheBuffer()
    {
        auto buffer = ras::makeEntryBuffer();
        for (std::size_t i = 0; i < ras::kRecordCount; ++i)
            putName(buffer, i, "entry" + std::to_string(i));
        // A sanitizer run catches any read past the 67,584 bytes.
        const auto all = ras::parseEntryNames(buffer.data(), buffer.size(), 300);
        QCOMPARE(all.size(), ras::kRecordCount);
        QCOMPARE(all.back(), std::string("entry255"));

        // Too many entries: the platform reports the count but fills nothing.
        const auto empty = ras::makeEntryBuffer();
        QVERIFY(ras::parseEntryNames(empty.data(), empty.size(), 300).empty());

        // A short buffer holds fewer records than the count claims.
        QCOMPARE(ras::parseEntryNames(buffer.data(), 2 * ras::kRecordSize + 10, 256).size(),
                 std::size_t(2));
    }
};

QTEST_GUILESS_MAIN(TestRasEntries)
#include "tst_ras_entries.moc"
