#pragma once
#include <QString>

/// What a name typed into a reference-book dialog must be before it is stored: something a
/// person can read, and no longer than its column.
namespace name_check {

enum class Fault {
    None,
    /// Empty once blanks and invisible characters are left aside, or holding a control
    /// character (a line break, a tab, a direction override): told as incomplete input.
    Incomplete,
    /// Longer than the column holds (in characters).
    TooLong,
};

/// Judges a name that is already trimmed of surrounding blanks.
Fault check(const QString& name, int maxLength);

} // namespace name_check
