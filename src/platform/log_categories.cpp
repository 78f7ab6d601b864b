#include "log_categories.h"

Q_LOGGING_CATEGORY(lcLog, "ringlark.log", QtInfoMsg)
Q_LOGGING_CATEGORY(lcStatus, "ringlark.status", QtInfoMsg)
Q_LOGGING_CATEGORY(lcPop3, "ringlark.pop3", QtInfoMsg)
Q_LOGGING_CATEGORY(lcImap, "ringlark.imap", QtInfoMsg)
Q_LOGGING_CATEGORY(lcDialup, "ringlark.dialup", QtInfoMsg)
