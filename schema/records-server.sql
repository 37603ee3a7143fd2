-- The Quillory database on a PostgreSQL server (12 or later, no extension):
-- the same four tables as records.mdb, in the server's types. The program
-- makes them itself in a database that has none of them.
--
-- Conventions of the stored values, as in records.sql:
--   * ids are 32-bit integers chosen by the program (largest id plus one) in a
--     write transaction; the store never numbers rows itself (no sequence),
--     and tblservices.id accepts 0;
--   * money is an exact fixed-point amount kept as a bigint count of
--     ten-thousandths (12.3456 is stored as 123456), so sums are exact;
--   * hours and rates are single-precision values kept as double precision,
--     as a file keeps them;
--   * date-times are local time as text 'YYYY-MM-DD HH:MM:SS';
--   * the project status compares without regard to letter case, through
--     lower() on both sides, which the status index is built on.

CREATE TABLE tblcustomer (
    id           integer NOT NULL PRIMARY KEY,
    fname        text,
    lname        text,
    street       text,
    city         text,
    prov         text,
    country      text,
    pcode        text,
    email1       text,
    email2       text,
    phone        text,
    cellphone    text,
    othercontact text,
    notes        text
);

CREATE TABLE tblservices (
    id                integer NOT NULL PRIMARY KEY,
    customerid        integer,
    summary           text,
    status            text,
    billinghours      double precision,
    billingrate       double precision,
    services_provided text,
    details           text,
    notes             text,
    DateCreated       text,
    invoicegenerated  integer DEFAULT 0
);
CREATE INDEX tblservices_customerid ON tblservices (customerid);
CREATE INDEX tblservices_status ON tblservices (customerid, lower(status));

CREATE TABLE tblinvoice (
    id           integer NOT NULL PRIMARY KEY,
    servicesid   integer,
    customerid   integer,
    amountdue    bigint,
    amountpaid   bigint,
    paymentdates text,
    DateCreated  text,
    Status       integer
);
CREATE INDEX tblinvoice_customerid ON tblinvoice (customerid) INCLUDE (amountdue, amountpaid);

CREATE TABLE tblbusoptions (
    uselogin        integer,
    UserName        text,
    Password        text,
    busname         text,
    busaddress      text,
    busurl          text,
    bus_slogan      text,
    bus_phone       text,
    bus_email       text,
    image_path_logo text
);
