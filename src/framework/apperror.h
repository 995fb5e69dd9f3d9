#pragma once

#include <QString>
#include <stdexcept>

// The one error type that commands let escape: its text is what the default error
// report shows the operator, so it is a QString rather than a narrow what().
class AppError : public std::runtime_error
{
public:
    explicit AppError(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {
    }

    const QString &message() const noexcept { return m_message; }

private:
    QString m_message;
};

// The data layer's errors (engine messages, closed or empty datasets).
class DatabaseError : public AppError
{
public:
    using AppError::AppError;
};

// A text that cannot be read as a number or a date.
class ConversionError : public AppError
{
public:
    using AppError::AppError;
};

// Text of any exception as the operator should see it.
QString errorText(const std::exception &error);
