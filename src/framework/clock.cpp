#include "clock.h"

namespace {
std::optional<QDateTime> fixedNow;
}

namespace Clock {

QDateTime now()
{
    return fixedNow ? *fixedNow : QDateTime::currentDateTime();
}

QDate today()
{
    return now().date();
}

void setFixedNow(std::optional<QDateTime> now)
{
    fixedNow = std::move(now);
}

} // namespace Clock
