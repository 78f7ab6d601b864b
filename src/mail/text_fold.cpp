#include "text_fold.h"

namespace ringlark {

QString foldForComparison(const QString &text)
{
    // Case folding can undo the normal form in a few places (a folded "ẞ" is "ss", some Greek
    // letters gain combining marks), so the folded text is normalised once more.
    return text.normalized(QString::NormalizationForm_KC)
        .toCaseFolded()
        .normalized(QString::NormalizationForm_KC);
}

bool occursFolded(const QString &needle, const QString &haystack)
{
    if (needle.isEmpty())
        return !haystack.isEmpty();
    // Folding can change lengths (NFKC expands "㍻" to two letters), so both sides are folded
    // whole rather than compared position by position.
    return foldForComparison(haystack).contains(foldForComparison(needle));
}

} // namespace ringlark
