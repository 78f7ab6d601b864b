// Prints how long one examination of a mail takes when it carries N Authentication-Results
// fields, each naming its own server: what a sender can add to every mail at no cost, and
// what every check pays again while the mail stays in the mailbox. The reading should grow
// linearly with N.
//
//   bench_auth_results [N ...]     (default: 1000 10000 60000)
#include "auth_results.h"
#include "mail_header.h"
#include "recognition.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

using namespace ringlark;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QList<int> sizes;
    for (const QString &arg : app.arguments().mid(1))
        sizes.append(arg.toInt());
    if (sizes.isEmpty())
        sizes = {1000, 10000, 60000};

    std::printf("%8s %12s %12s\n", "fields", "examine ms", "us/field");
    for (const int n : sizes) {
        QList<QByteArray> lines;
        for (int i = 0; i < n; ++i)
            lines.append("Authentication-Results: relay" + QByteArray::number(i) +
                         ".example.org; dkim=pass header.d=example.org (comment)");
        lines.append("Authentication-Results: mx.example.net; dkim=pass header.d=example.com");
        lines.append("From: Owner <owner@example.com>");
        lines.append("Subject: ring 123456");
        lines.append("Date: Tue, 1 Dec 2026 10:00:00 +0900");
        const QList<HeaderField> fields = headerFields(lines);

        RecognitionRules rules;
        rules.fromCheck = true;
        rules.fromText = QStringLiteral("owner@example.com");
        rules.checks.senderVerdictRequired = true;
        rules.checks.authServId = QStringLiteral("mx.example.net");
        SessionValues session;
        session.MailCount = QStringLiteral("1");
        session.MailNo = 0; // the session's first mail: its authserv-ids are listed too

        QElapsedTimer timer;
        timer.start();
        const Examination e = examineMail(fields, session, rules);
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        std::printf("%8d %12.1f %12.2f   %s\n", n, ms, ms * 1000.0 / n,
                    e.verdict == Verdict::GoOn ? "passed the walk on" : "trigger");
    }
    return 0;
}
