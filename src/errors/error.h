#pragma once

#include <QString>

#include <cstdint>

namespace quillory {

// A failure as the error dispatcher sees it: a number from the table below
// and a description. Zero means no failure. `location` is the database the
// failure concerns, where the box names it or its backup copy.
struct Error {
    std::int64_t number = 0;
    QString description;
    QString location = {};

    bool isError() const { return number != 0; }
    static Error none() { return {}; }
};

// The error numbers the program reports. The data layer maps its own
// failures onto them, so that the dispatcher treats like cases alike.
namespace errnum {
inline constexpr std::int64_t Overflow = 6;
inline constexpr std::int64_t FileNotFound = 53;
inline constexpr std::int64_t DiskFull = 61;
inline constexpr std::int64_t NoActiveWindow = 91;
inline constexpr std::int64_t PermissionDenied = 70;
inline constexpr std::int64_t PathFileAccess = 75;
inline constexpr std::int64_t NoCurrentRecord = 3021;
inline constexpr std::int64_t ObjectClosed = 3704;
inline constexpr std::int64_t GridDataAccess = 6160;
inline constexpr std::int64_t DialogCancelled = 32755;
// A constraint violation or a multiple-step operation that reported errors.
inline constexpr std::int64_t ConstraintOrMultiStep = -2147217887;
inline constexpr std::int64_t AuthenticationFailed = -2147217843;
// The row to change was changed or removed by someone else meanwhile.
inline constexpr std::int64_t RowNotLocated = -2147217864;
// Any other failure of the database engine.
inline constexpr std::int64_t Unspecified = -2147467259;
// The database file is damaged: reported once, when first found, with where
// the last backup copy is; the program writes nothing more to it.
inline constexpr std::int64_t DatabaseDamaged = 3049;
// A write refused because the database was found damaged: "not saved".
inline constexpr std::int64_t DamagedNotWritten = 3027;
// Damage met again after it was reported: nothing more to say.
inline constexpr std::int64_t DamageReported = 3343;
// The connection to the database server was lost, or cannot be made again:
// reported once, naming the server; nothing of the action under way was
// saved.
inline constexpr std::int64_t ConnectionLost = 3709;
// A statement that failed on a lost server connection, reported already:
// nothing more to say.
inline constexpr std::int64_t ConnectionLostReported = -2147467260;
// Another program held the database locked for longer than the program waits.
inline constexpr std::int64_t DatabaseInUse = 3260;
} // namespace errnum

} // namespace quillory
