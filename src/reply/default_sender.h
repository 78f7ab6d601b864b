#pragma once

#include "mail_sender.h"

#include <memory>

namespace ringlark {

// libcurl's SMTP where the build has it; otherwise a sender that fails every mail with a
// text saying that this build cannot send.
std::unique_ptr<MailSender> makeDefaultMailSender();

} // namespace ringlark
