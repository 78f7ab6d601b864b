#pragma once

#include <QString>

namespace ringlark {

// Header text as the sender and subject tests compare it: letter case, full-width and
// half-width forms and the ideographic space are not told apart (NFKC, then case folding),
// so that "wakeup ringlark" is found in "ＷＡＫＥＵＰ　ＲＩＮＧＬＡＲＫ", the way a search
// that ignored case found it on a Japanese system.
QString foldForComparison(const QString &text);

// Whether needle occurs in haystack once both are folded. An empty needle is found in every
// text that is not empty (but not in an empty one), as the original test behaved.
bool occursFolded(const QString &needle, const QString &haystack);

} // namespace ringlark
