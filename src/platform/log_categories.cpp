#include "log_categories.h"

Q_LOGGING_CATEGORY(lcLog, "ringlark.log", QtInfoMsg)
// Three status texts per check would drown the journal; QT_LOGGING_RULES turns them on.
Q_LOGGING_CATEGORY(lcStatus, "ringlark.status", QtWarningMsg)
Q_LOGGING_CATEGORY(lcPop3, "ringlark.pop3", QtInfoMsg)
Q_LOGGING_CATEGORY(lcImap, "ringlark.imap", QtInfoMsg)
Q_LOGGING_CATEGORY(lcDialup, "ringlark.dialup", QtInfoMsg)
