#pragma once

#include "dovecot_fixture.h"
#include "sample_mails.h"

#include <QTextStream>

namespace ringlark::bench {

// Starts Dovecot with `mails` everyday mails that match no trigger, numbered in their
// subjects, so that every walk goes down to message 1. False, with the reason on `out`, when
// Dovecot did not start.
inline bool startNumberedMailbox(test::DovecotFixture &dovecot, int mails, QTextStream &out)
{
    if (!dovecot.start()) {
        out << "dovecot did not start: " << dovecot.errorText() << Qt::endl;
        return false;
    }
    for (int n = 1; n <= mails; ++n) {
        test::MailSpec mail;
        mail.subject = "Benchmark mail number " + QByteArray::number(n) + ".";
        dovecot.addMail(test::realisticMail(mail));
    }
    return true;
}

} // namespace ringlark::bench
