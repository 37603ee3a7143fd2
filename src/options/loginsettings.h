#pragma once

#include "data/connection.h"

#include <QString>
#include <QVariant>

namespace quillory {

// The login settings kept in the business options: whether the program asks
// for a user name and password at start-up, and the stored answers.
struct LoginSettings {
    bool readable = false; // the options could be read at all
    Error error;           // why they could not be read
    bool asks = false;     // the user name and password are asked for
    QVariant userName;     // as stored; null when none
    QVariant password;

    // Whether a typed answer matches a stored one: exactly, letter case
    // included; a null never matches.
    static bool matches(const QVariant& stored, const QString& typed) {
        return !stored.isNull() && stored.toString() == typed;
    }
};

// Reads the settings from the first options row. No row, or a row whose
// uselogin is not 1, asks nothing. Options that cannot be read come back
// unreadable with the reason; nobody may log in on them.
LoginSettings readLoginSettings(Connection& cn);

} // namespace quillory
