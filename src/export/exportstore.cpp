#include "export/exportstore.h"

namespace quillory::exportstore {

bool forEachCustomer(Connection& cn, const OnRow& onRow) {
    return cn.forEachRow(QStringLiteral("SELECT id,fname,lname,street,city,prov,country,pcode,"
                                        "email1,email2,phone,cellphone,othercontact,notes "
                                        "FROM tblcustomer ORDER BY id"),
                         {}, onRow);
}

bool forEachProject(Connection& cn, const OnRow& onRow) {
    return cn.forEachRow(QStringLiteral("SELECT id,customerid,summary,status,billinghours,"
                                        "billingrate,services_provided,details,notes,"
                                        "DateCreated,invoicegenerated "
                                        "FROM tblservices ORDER BY customerid,id"),
                         {}, onRow);
}

bool forEachInvoice(Connection& cn, const OnRow& onRow) {
    return cn.forEachRow(
        QStringLiteral("SELECT i.id,i.customerid,c.lname,c.fname,i.servicesid,s.summary,"
                       "i.DateCreated,i.Status,i.amountdue,i.amountpaid,i.paymentdates "
                       "FROM tblinvoice i "
                       "LEFT JOIN tblcustomer c ON c.id=i.customerid "
                       "LEFT JOIN tblservices s ON s.id=i.servicesid "
                       "ORDER BY i.id"),
        {}, onRow);
}

} // namespace quillory::exportstore
