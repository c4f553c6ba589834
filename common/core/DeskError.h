#pragma once

#include <QString>
#include <QByteArray>
#include <exception>

// Base of every error the stations raise on purpose. The message is the
// Chinese text shown to the user by the error boundary of the windows.
class DeskError : public std::exception {
public:
    explicit DeskError(QString message);
    const QString& message() const noexcept { return message_; }
    const char* what() const noexcept override { return utf8_.constData(); }

private:
    QString message_;
    QByteArray utf8_;
};

// A text that should have been a number ("'12a' is not a valid integer").
class ConversionError : public DeskError {
public:
    using DeskError::DeskError;
};
