#include "data/database.h"

namespace quillory {

// A server has no file header to restore and no use lock: the server itself
// tells the copies connected to it apart.
std::optional<Error> Database::openServer(const QString& uri) {
    m_path = uri;
    if (!cnMain.open(uri))
        return cnMain.lastError();
    if (!rsMain.open(QStringLiteral("Select * From tblcustomer WHERE id=000"), cnMain)) {
        const Error error = rsMain.lastError();
        cnMain.close();
        return error;
    }
    return std::nullopt;
}

} // namespace quillory
