-- The Quillory database: four tables, no rows.
--
-- Conventions of the stored values:
--   * ids are 32-bit integers chosen by the program (largest id plus one); the
--     store never numbers rows itself, and tblservices.id accepts 0. They are
--     declared INT, not INTEGER: an INTEGER PRIMARY KEY would be SQLite's rowid,
--     which numbers a row inserted without an id instead of refusing it;
--   * money is an exact fixed-point amount kept as an INTEGER count of
--     ten-thousandths (12.3456 is stored as 123456), so sums are exact;
--   * hours and rates are single-precision values kept as REAL;
--   * date-times are local time as TEXT 'YYYY-MM-DD HH:MM:SS';
--   * the project status compares without regard to letter case.

CREATE TABLE tblcustomer (
    id           INT NOT NULL PRIMARY KEY CHECK (id BETWEEN -2147483648 AND 2147483647),
    fname        TEXT,
    lname        TEXT,
    street       TEXT,
    city         TEXT,
    prov         TEXT,
    country      TEXT,
    pcode        TEXT,
    email1       TEXT,
    email2       TEXT,
    phone        TEXT,
    cellphone    TEXT,
    othercontact TEXT,
    notes        TEXT
);

CREATE TABLE tblservices (
    id                INT NOT NULL PRIMARY KEY CHECK (id BETWEEN -2147483648 AND 2147483647),
    customerid        INTEGER CHECK (customerid BETWEEN -2147483648 AND 2147483647),
    summary           TEXT,
    status            TEXT COLLATE NOCASE,
    billinghours      REAL,
    billingrate       REAL,
    services_provided TEXT,
    details           TEXT,
    notes             TEXT,
    DateCreated       TEXT,
    invoicegenerated  INTEGER DEFAULT 0
);
CREATE INDEX tblservices_customerid ON tblservices (customerid);

CREATE TABLE tblinvoice (
    id           INT NOT NULL PRIMARY KEY CHECK (id BETWEEN -2147483648 AND 2147483647),
    servicesid   INTEGER CHECK (servicesid BETWEEN -2147483648 AND 2147483647),
    customerid   INTEGER CHECK (customerid BETWEEN -2147483648 AND 2147483647),
    amountdue    INTEGER,
    amountpaid   INTEGER,
    paymentdates TEXT,
    DateCreated  TEXT,
    Status       INTEGER
);
-- A customer's invoices with the amounts that the reports and the customer
-- view add up, so that their sums read the index alone.
CREATE INDEX tblinvoice_customerid ON tblinvoice (customerid, amountdue, amountpaid);

CREATE TABLE tblbusoptions (
    uselogin        INTEGER,
    UserName        TEXT,
    Password        TEXT,
    busname         TEXT,
    busaddress      TEXT,
    busurl          TEXT,
    bus_slogan      TEXT,
    bus_phone       TEXT,
    bus_email       TEXT,
    image_path_logo TEXT
);

PRAGMA user_version = 1;
