#include "default_sender.h"

#include "curl_smtp_sender.h"

namespace ringlark {

std::unique_ptr<MailSender> makeDefaultMailSender()
{
    return std::make_unique<CurlSmtpSender>();
}

} // namespace ringlark
