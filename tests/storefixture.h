#pragma once

// A fresh database in a temporary program directory (a file with its header
// restored, or a database on the test server), and a connection on it: the
// set-up of the tests of the stored values and the recordset, which run on
// both stores (see addStoreRows).
#include "data/connection.h"
#include "data/file/signature.h"
#include "data/recordset.h"
#include "testsupport.h"

#include <QTest>

#include <memory>

namespace quillory::test {

class StoreFixture {
protected:
    std::unique_ptr<TempProgram> m_program;
    std::unique_ptr<Connection> m_cn;

    bool openStore() {
        m_program = std::make_unique<TempProgram>(currentStore());
        m_cn = std::make_unique<Connection>();
        if (m_program->store() == Store::File &&
            SetDatabaseSignature(m_program->databasePath(), 2) != SignatureResult::Written)
            return false;
        return m_cn->open(m_program->location());
    }

    bool onServer() const { return m_program->store() == Store::Server; }

    void closeStore() {
        m_cn.reset();
        m_program.reset();
    }

    // Adds a project row through an updatable recordset.
    bool addProject(int id, int customerId, const QString& summary, const QString& status) {
        Recordset rs;
        if (!rs.open(QStringLiteral("SELECT * FROM tblservices WHERE customerid=?"), *m_cn,
                     {customerId}))
            return false;
        return rs.addNew() && rs.setField(QStringLiteral("id"), id) &&
               rs.setField(QStringLiteral("customerid"), customerId) &&
               rs.setField(QStringLiteral("summary"), summary) &&
               rs.setField(QStringLiteral("status"), status) && rs.update();
    }

    qlonglong count(const QString& table) {
        return m_program->scalar(QStringLiteral("SELECT count(*) FROM ") + table).toLongLong();
    }

    int rowsOf(const QString& sql, const QVariantList& params) {
        Recordset rs;
        if (!rs.open(sql, *m_cn, params))
            return -1;
        return rs.recordCount();
    }
};

} // namespace quillory::test
