#pragma once

#include "data/connection.h"

#include <functional>

class QSqlQuery;

// The reads of the Export menu: every row of a table, handed on one at a
// time as it is read, so that a long table is never held whole. Each gives
// false when its query failed, with the failure in the connection's
// lastError(). The SQL is plain enough for any SQL database.
namespace quillory::exportstore {

using OnRow = std::function<void(const QSqlQuery&)>;

// Every customer in the order of its id: id, fname, lname, street, city,
// prov, country, pcode, email1, email2, phone, cellphone, othercontact,
// notes.
bool forEachCustomer(Connection& cn, const OnRow& onRow);

// Every project by customer, then id: id, customerid, summary, status,
// billinghours, billingrate, services_provided, details, notes,
// DateCreated, invoicegenerated.
bool forEachProject(Connection& cn, const OnRow& onRow);

// Every invoice in the order of its id, with its customer's names and its
// project's summary (Null when either is gone): id, customerid, lname,
// fname, servicesid, summary, DateCreated, Status, amountdue, amountpaid,
// paymentdates.
bool forEachInvoice(Connection& cn, const OnRow& onRow);

} // namespace quillory::exportstore
