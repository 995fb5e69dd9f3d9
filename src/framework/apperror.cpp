#include "apperror.h"

QString errorText(const std::exception &error)
{
    if (const auto *appError = dynamic_cast<const AppError *>(&error))
        return appError->message();
    return QString::fromLocal8Bit(error.what());
}
