#pragma once

#include <QLoggingCategory>

// The log box and status line are mirrored here so that a user under a service manager,
// and our own end-to-end checks, can follow the program.
Q_DECLARE_LOGGING_CATEGORY(lcLog)    // ringlark.log: every log-box line, info level
Q_DECLARE_LOGGING_CATEGORY(lcStatus) // ringlark.status: status-line texts, info, off by default
Q_DECLARE_LOGGING_CATEGORY(lcPop3)   // ringlark.pop3: POP3 traffic, debug level
Q_DECLARE_LOGGING_CATEGORY(lcImap)   // ringlark.imap: IMAP traffic, debug level
Q_DECLARE_LOGGING_CATEGORY(lcDialup) // ringlark.dialup: dial-up provider activity, debug level
