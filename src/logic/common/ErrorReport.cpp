#include "common/ErrorReport.h"

#include "common/Dialogs.h"

namespace Main {

QString errorReportText(const QString& description, const char* location, int label) {
    return description + QStringLiteral("\r\n") + QString::fromUtf8(location) +
           QStringLiteral("at line ") + QString::number(label) + QStringLiteral("\r\r") +
           QStringLiteral("Please email screenshot of this message to ") +
           QString::fromUtf8(Vendor::SupportEmail);
}

void ErrorTrap::report(const std::exception& failure, int label) {
    m_dialogs.message(errorReportText(QString::fromUtf8(failure.what()), m_location, label),
                      QString::fromUtf8(ErrorReportTitle), MessageIcon::Warning);
}

} // namespace Main
