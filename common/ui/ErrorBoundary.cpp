#include "ErrorBoundary.h"
#include "DeskError.h"
#include "Dialogs.h"

#include <exception>

namespace ErrorBoundary {

QString describeCurrentException() {
    try {
        throw;
    } catch (const DeskError& e) {
        return e.message();
    } catch (const std::bad_alloc&) {
        return QStringLiteral("内存不足，操作未能完成。");
    } catch (const std::exception& e) {
        // A fault of the program, not of the user's data: the library's own
        // words go to the log for whoever looks into it, not into the box.
        qWarning("操作未能完成: %s", e.what());
        return QStringLiteral("程序内部错误，操作未能完成。");
    } catch (...) {
        return QStringLiteral("发生未知错误，操作未能完成。");
    }
}

bool run(const std::function<void()>& handler) {
    try {
        handler();
        return true;
    } catch (...) {
        const QString text = describeCurrentException();
        try {
            Dialogs::current().error(text);
        } catch (...) {
            // An error dialog that fails has nothing left to report to.
        }
        return false;
    }
}

} // namespace ErrorBoundary
