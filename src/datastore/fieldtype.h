#pragma once

// The kinds of field a dataset knows; they decide display text and export cell kind.
enum class FieldType { Text, Number, Integer, Date, DateTime, Unknown };
