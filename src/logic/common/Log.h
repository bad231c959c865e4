#pragma once

#include <QLoggingCategory>

// Failures that are swallowed on purpose (handlers without a report of their own, the number
// box's store) are still written here, so they can be seen with QT_LOGGING_RULES="thinwick=true".
Q_DECLARE_LOGGING_CATEGORY(lcThinwick)
