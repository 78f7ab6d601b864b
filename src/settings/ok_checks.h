#pragma once

#include <QString>

namespace ringlark {

// What the settings windows refuse on OK, kept free of widgets so that the core asks the
// same question before it monitors with a stored value. Each returns the message to show,
// or an empty text when the value can be taken.

// An interval of zero, a negative one or one that is no number at all would leave
// monitoring "on" with no check ever made.
QString intervalRefusal(const QString &seconds);

// The provider's verdict on the sender, required without naming the provider's server:
// no mail could ever pass, and every trigger would be ignored.
QString senderVerdictRefusal(bool required, const QString &authServId);

} // namespace ringlark
