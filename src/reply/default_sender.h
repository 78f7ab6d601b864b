#pragma once

#include "mail_sender.h"

#include <memory>

namespace ringlark {

// libcurl's SMTP, on every platform.
std::unique_ptr<MailSender> makeDefaultMailSender();

} // namespace ringlark
