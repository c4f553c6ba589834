#pragma once

#include <QObject>
#include <functional>
#include <type_traits>

// Every handler connected to a signal runs inside this boundary: an error
// that escapes the handler ends it where it stands and is shown in the
// standard error dialog (through Dialogs). Nothing reaches Qt's event loop.
namespace ErrorBoundary {

// Runs `handler`; returns false when it ended in an error (already shown).
bool run(const std::function<void()>& handler);

// The text the error dialog shows for the exception being handled.
QString describeCurrentException();

} // namespace ErrorBoundary

// Connects `signal` of `sender` to the member `handler` of `receiver`, run
// inside the error boundary. The handler takes the signal's arguments or none.
template <typename Sender, typename Signal, typename Receiver, typename Handler>
QMetaObject::Connection connectHandler(Sender* sender, Signal signal, Receiver* receiver, Handler handler) {
    return QObject::connect(sender, signal, receiver, [receiver, handler](auto&&... args) {
        ErrorBoundary::run([&] {
            if constexpr (std::is_invocable_v<Handler, Receiver*, decltype(args)...>)
                std::invoke(handler, receiver, args...);
            else
                std::invoke(handler, receiver);
        });
    });
}
