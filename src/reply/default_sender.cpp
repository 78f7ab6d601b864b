#include "default_sender.h"

#ifdef RINGLARK_HAVE_CURL
#include "curl_smtp_sender.h"
#endif

namespace ringlark {

namespace {

class NoSender final : public MailSender
{
public:
    void send(quint64 id, const OutgoingMail &) override
    {
        QMetaObject::invokeMethod(
            this,
            [this, id] {
                emit finished(
                    id, false,
                    QStringLiteral("この版のRINGLARKはメールを送れません（libcurl なし）"));
            },
            Qt::QueuedConnection);
    }
};

} // namespace

std::unique_ptr<MailSender> makeDefaultMailSender()
{
#ifdef RINGLARK_HAVE_CURL
    return std::make_unique<CurlSmtpSender>();
#else
    return std::make_unique<NoSender>();
#endif
}

} // namespace ringlark
