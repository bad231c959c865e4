#pragma once

#include "common/Log.h"
#include "common/Product.h"

#include <QString>
#include <exception>
#include <stdexcept>

class Dialogs;

// A failure as the platform reports it; the description is the platform's own text.
class Failure : public std::runtime_error {
public:
    explicit Failure(const QString& description)
        : std::runtime_error(description.toUtf8().toStdString()) {}
};

// The location text of each reporting procedure, stored whole.
namespace Location {
inline constexpr const char* Form_Load = "in Pruvel2021/08/31.Form1.Form_Load ";
inline constexpr const char* PushButton1_Click = "in Pruvel2021/08/31.Form1.PushButton1_Click ";
inline constexpr const char* PushButton2_Click = "in Pruvel2021/08/31.Form1.PushButton2_Click ";
inline constexpr const char* PushButton4_Click = "in Pruvel2021/08/31.Form1.PushButton4_Click ";
inline constexpr const char* PushButton6_Click = "in Pruvel2021/08/31.Form1.PushButton6_Click ";
inline constexpr const char* PushButton8_Click = "in Pruvel2021/08/31.Form1.PushButton8_Click ";
inline constexpr const char* PushButton9_Click = "in Pruvel2021/08/31.Form1.PushButton9_Click ";
inline constexpr const char* PushButton11_Click = "in Pruvel2021/08/31.Form1.PushButton11_Click ";
inline constexpr const char* PushButton12_Click = "in Pruvel2021/08/31.Form1.PushButton12_Click ";
inline constexpr const char* PushButton13_Click = "in Pruvel2021/08/31.Form1.PushButton13_Click ";
inline constexpr const char* PushButton14_Click = "in Pruvel2021/08/31.Form1.PushButton14_Click ";
inline constexpr const char* PushButton15_Click = "in Pruvel2021/08/31.Form1.PushButton15_Click ";
inline constexpr const char* PushButton16_Click = "in Pruvel2021/08/31.Form1.PushButton16_Click ";
inline constexpr const char* RemoveItemsWith = "in Pruvel2021/08/31.Main.RemoveItemsWith ";
inline constexpr const char* RemoveItemsWithout = "in Pruvel2021/08/31.Main.RemoveItemsWithout ";
inline constexpr const char* randomFileList = "in Pruvel2021/08/31.Delete1.randomFileList ";
inline constexpr const char* CorrelateListviewsWrapper =
    "in Pruvel2021/08/31.Delete1.CorrelateListviewsWrapper ";
inline constexpr const char* GetSubDirectories2016 =
    "in Orlanby2021/08/31.AddFolder.GetSubDirectories2016 ";
} // namespace Location

namespace Main {

inline constexpr const char* ErrorReportTitle = "Application Error";

// The text of the error report: description, CR LF, location, "at line ", label, CR CR and the
// support sentence.
QString errorReportText(const QString& description, const char* location, int label);

// Runs the numbered statements of one reporting procedure. A statement that throws shows the
// error report with the procedure's location and the statement's label; the procedure then goes
// on with its next statement. A failure inside a called procedure without its own trap surfaces
// here and is reported with the label of the calling statement.
class ErrorTrap {
public:
    ErrorTrap(Dialogs& dialogs, const char* location) : m_dialogs(dialogs), m_location(location) {}

    template <class Statement> void run(int label, Statement&& statement) {
        try {
            statement();
        } catch (const std::exception& failure) {
            report(failure, label);
        }
    }

    // The condition of an if-statement: a failing condition counts as true.
    template <class Condition> bool test(int label, Condition&& condition) {
        try {
            return static_cast<bool>(condition());
        } catch (const std::exception& failure) {
            report(failure, label);
            return true;
        }
    }

    // A statement that yields a value; a failure leaves the fallback.
    template <class T, class Statement> T value(int label, T fallback, Statement&& statement) {
        try {
            return statement();
        } catch (const std::exception& failure) {
            report(failure, label);
            return fallback;
        }
    }

    void report(const std::exception& failure, int label);

private:
    Dialogs& m_dialogs;
    const char* m_location;
};

// For event handlers without a report of their own: a failure must not escape into the toolkit
// (that would end the program), so it is dropped here.
template <class Handler> void untrapped(Handler&& handler) noexcept {
    try {
        handler();
    } catch (const std::exception& failure) {
        qCWarning(lcThinwick) << "failure in a handler without a report:" << failure.what();
    }
}

} // namespace Main
