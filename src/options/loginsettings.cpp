#include "options/loginsettings.h"
#include "data/recordset.h"

namespace quillory {

LoginSettings readLoginSettings(Connection& cn) {
    LoginSettings settings;
    Recordset rs;
    settings.readable =
        rs.open(QStringLiteral("SELECT uselogin,username,password FROM tblbusoptions"), cn);
    if (!settings.readable) {
        settings.error = rs.lastError();
        return settings;
    }
    if (rs.bof() || rs.eof())
        return settings;
    rs.moveFirst();
    settings.asks = rs.field(QStringLiteral("uselogin")).toInt() == 1;
    settings.userName = rs.field(QStringLiteral("UserName"));
    settings.password = rs.field(QStringLiteral("Password"));
    return settings;
}

} // namespace quillory
