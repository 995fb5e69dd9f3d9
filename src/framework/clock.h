#pragma once

#include <QDate>
#include <QDateTime>
#include <optional>

// "Now" for the application; tests pin it so date texts are predictable.
namespace Clock {

QDateTime now();
QDate today();
// Pins the clock (tests); std::nullopt returns to the system clock.
void setFixedNow(std::optional<QDateTime> now);

} // namespace Clock
