#include "data/schema.h"

#include "data/database.h"

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace excursa {

namespace {

// Declared types carry the desktop engine's meaning to the data layer (docs/storage.md):
// TEXT COLLATE NOCASE, BOOLEAN (0/1), SMALLINT, INTEGER, SINGLE, DOUBLE, CURRENCY, DATETIME.
constexpr TableDefinition kTables[] = {
    // ---- trip.db ----
    {DatabaseFile::Trip, "DISTRICT", R"(CREATE TABLE DISTRICT (
    DISTNAME TEXT COLLATE NOCASE,
    DISTADDR1 TEXT COLLATE NOCASE,
    DISTCITY TEXT COLLATE NOCASE,
    DISTSTATE TEXT COLLATE NOCASE,
    DISTZIP TEXT COLLATE NOCASE,
    DISTPHONE TEXT COLLATE NOCASE,
    TRANSTITLE TEXT COLLATE NOCASE,
    DEFAULT_CALCNUMDRIVER BOOLEAN DEFAULT 0,
    DEFAULTVTYPE TEXT COLLATE NOCASE,
    AUTOFILL_REQUESTS BOOLEAN DEFAULT 0,
    AUTOFILL BOOLEAN DEFAULT 0,
    VIEW_OTHER_SCHOOLS BOOLEAN DEFAULT 0,
    FUND_DD BOOLEAN DEFAULT 0,
    USECUSTFUND BOOLEAN DEFAULT 0,
    DEPDT_LEADTIME INTEGER,
    DEPDT_LEADTIME_HARDWARN BOOLEAN DEFAULT 0,
    TOTAL_TRIPS_LIMIT INTEGER,
    TOTAL_TRIPS_LIMIT_MESSAGE TEXT COLLATE NOCASE,
    TOTAL_TRIPS_HARDWARN BOOLEAN DEFAULT 0,
    TRIPREQ_COMMENT TEXT COLLATE NOCASE
))"},
    {DatabaseFile::Trip, "TRIPREQ_REQUIRED", R"(CREATE TABLE TRIPREQ_REQUIRED (
    REQUEST_DATE_REQUIRED BOOLEAN DEFAULT 0,
    FUND_REQUIRED BOOLEAN DEFAULT 0,
    CUSTOMER_REQUIRED BOOLEAN DEFAULT 0,
    CONTACT_REQ BOOLEAN DEFAULT 0,
    DESTINATION_REQ BOOLEAN DEFAULT 0,
    DEPDATE_REQ BOOLEAN DEFAULT 0,
    DEPTIME_REQ BOOLEAN DEFAULT 0,
    RETDATE_REQ BOOLEAN DEFAULT 0,
    RETTIME_REQ BOOLEAN DEFAULT 0,
    ARRIVETIME_REQ BOOLEAN DEFAULT 0,
    LEAVETIME_REQ BOOLEAN DEFAULT 0,
    ESTMILE_REQ BOOLEAN DEFAULT 0,
    ESTTIME_REQ BOOLEAN DEFAULT 0,
    NUMSTUDENTS_REQ BOOLEAN DEFAULT 0,
    NUMADULTS_REQ BOOLEAN DEFAULT 0,
    NUMWHEEL_REQ BOOLEAN DEFAULT 0,
    PURPOSE_REQ BOOLEAN DEFAULT 0,
    DESTSPEC_REQ BOOLEAN DEFAULT 0,
    CUSTSPEC_REQ BOOLEAN DEFAULT 0,
    TRIPCOM_REQ BOOLEAN DEFAULT 0,
    PO_REQ BOOLEAN DEFAULT 0,
    TRIPCAT_REQ BOOLEAN DEFAULT 0,
    INTTRIPNUM_REQ BOOLEAN DEFAULT 0,
    GRADE_REQ BOOLEAN DEFAULT 0,
    INVOICE_COMMENT_REQ BOOLEAN DEFAULT 0
))"},
    {DatabaseFile::Trip, "EMAIL_OPTIONS", R"(CREATE TABLE EMAIL_OPTIONS (
    REQ_EXCURSA_CHANGE BOOLEAN DEFAULT 0,
    APP_EXCURSA_CHANGE BOOLEAN DEFAULT 0,
    ADM_EXCURSA_CHANGE BOOLEAN DEFAULT 0
))"},
    {DatabaseFile::Trip, "DIVISION", R"(CREATE TABLE DIVISION (
    DIVISION TEXT COLLATE NOCASE NOT NULL PRIMARY KEY,
    DESCRIPTION TEXT COLLATE NOCASE,
    ACTIVE BOOLEAN DEFAULT 0
))"},
    {DatabaseFile::Trip, "CUSTOMER", R"(CREATE TABLE CUSTOMER (
    CUSTOMER TEXT COLLATE NOCASE NOT NULL PRIMARY KEY,
    CUSTNAME TEXT COLLATE NOCASE,
    CUSTDIV TEXT COLLATE NOCASE,
    CHAINID TEXT COLLATE NOCASE,
    ACTIVE BOOLEAN DEFAULT 0,
    CUSTSPEC TEXT COLLATE NOCASE,
    REQUESTOR_EMAIL TEXT COLLATE NOCASE,
    CUSTBILLRATE SMALLINT,
    DEFAULTCAP TEXT COLLATE NOCASE,
    CUST_DEFAULT_FORMAT TEXT COLLATE NOCASE
))"},
    {DatabaseFile::Trip, "FUND", R"(CREATE TABLE FUND (
    FUND TEXT COLLATE NOCASE NOT NULL PRIMARY KEY,
    FUNDDESC TEXT COLLATE NOCASE,
    ACTIVE BOOLEAN DEFAULT 0
))"},
    {DatabaseFile::Trip, "CUSTOMER_FUND", R"(CREATE TABLE CUSTOMER_FUND (
    CUSTOMER TEXT COLLATE NOCASE NOT NULL,
    FUND TEXT COLLATE NOCASE NOT NULL,
    PRIMARY KEY (CUSTOMER, FUND)
))"},
    {DatabaseFile::Trip, "CUSTOMER_TRIPCAT", R"(CREATE TABLE CUSTOMER_TRIPCAT (
    CUSTOMER TEXT COLLATE NOCASE NOT NULL,
    TRIPCAT TEXT COLLATE NOCASE NOT NULL,
    CHAINID TEXT COLLATE NOCASE,
    PRIMARY KEY (CUSTOMER, TRIPCAT)
))"},
    // Destination numbers are kept by trips and requests: never reused.
    {DatabaseFile::Trip, "DESTINATION", R"(CREATE TABLE DESTINATION (
    DESTINATION INTEGER PRIMARY KEY AUTOINCREMENT,
    DESTDESC TEXT COLLATE NOCASE,
    DESTADD1 TEXT COLLATE NOCASE,
    DESTADD2 TEXT COLLATE NOCASE,
    DESTCITY TEXT COLLATE NOCASE,
    DESTSTATE TEXT COLLATE NOCASE,
    DESTZIP TEXT COLLATE NOCASE,
    DESTCAT TEXT COLLATE NOCASE,
    MILES SINGLE,
    DESTSPEC TEXT COLLATE NOCASE,
    ACTIVE BOOLEAN DEFAULT 0
))"},
    {DatabaseFile::Trip, "DESTCAT", R"(CREATE TABLE DESTCAT (
    DESTCAT TEXT COLLATE NOCASE NOT NULL PRIMARY KEY,
    ACTIVE BOOLEAN DEFAULT 0
))"},
    {DatabaseFile::Trip, "GRADE", R"(CREATE TABLE GRADE (
    GRADE TEXT COLLATE NOCASE NOT NULL PRIMARY KEY,
    DESCRIPTION TEXT COLLATE NOCASE,
    ACTIVE BOOLEAN DEFAULT 0
))"},
    {DatabaseFile::Trip, "TRIPCAT", R"(CREATE TABLE TRIPCAT (
    TRIPCAT TEXT COLLATE NOCASE NOT NULL PRIMARY KEY,
    DESCRIPTION TEXT COLLATE NOCASE,
    ACTIVE BOOLEAN DEFAULT 0
))"},
    {DatabaseFile::Trip, "TRIPREQSTATUS", R"(CREATE TABLE TRIPREQSTATUS (
    STATUS TEXT COLLATE NOCASE NOT NULL PRIMARY KEY,
    DESCRIPTION TEXT COLLATE NOCASE,
    ACTIVE BOOLEAN DEFAULT 0
))"},
    {DatabaseFile::Trip, "BILLRATE", R"(CREATE TABLE BILLRATE (
    BILLRATE SMALLINT NOT NULL PRIMARY KEY,
    AMOUNT1 SINGLE,
    AMOUNT2 SINGLE,
    AMOUNT3 SINGLE,
    AMOUNT4 SINGLE,
    AMOUNT5 SINGLE,
    AMOUNTTXT1 TEXT COLLATE NOCASE,
    AMOUNTTXT2 TEXT COLLATE NOCASE,
    AMOUNTTXT3 TEXT COLLATE NOCASE,
    AMOUNTTXT4 TEXT COLLATE NOCASE,
    AMOUNTTXT5 TEXT COLLATE NOCASE
))"},
    {DatabaseFile::Trip, "SCHEDMAST", R"(CREATE TABLE SCHEDMAST (
    SCHEDULE TEXT COLLATE NOCASE NOT NULL PRIMARY KEY,
    SCHEDDESC TEXT COLLATE NOCASE
))"},
    {DatabaseFile::Trip, "VEHTYPE", R"(CREATE TABLE VEHTYPE (
    VEHTYPE TEXT COLLATE NOCASE NOT NULL PRIMARY KEY,
    VTYPDESC TEXT COLLATE NOCASE,
    ACTIVE BOOLEAN DEFAULT 0
))"},
    {DatabaseFile::Trip, "TRIPTICKET_TEMPLATE", R"(CREATE TABLE TRIPTICKET_TEMPLATE (
    TICKET_ID TEXT COLLATE NOCASE NOT NULL PRIMARY KEY,
    TEMPLATE_DESC TEXT COLLATE NOCASE,
    ACTIVE BOOLEAN DEFAULT 0
))"},
    // Trip numbers are printed on tickets and invoices: never reused.
    {DatabaseFile::Trip, "TRIPS", R"(CREATE TABLE TRIPS (
    TRIPNUM INTEGER PRIMARY KEY AUTOINCREMENT,
    TRIPREQNUM INTEGER,
    CUSTOMER TEXT COLLATE NOCASE,
    BILLCUST TEXT COLLATE NOCASE,
    DESTINATION INTEGER,
    DEPDATE DATETIME,
    DEPTIME DATETIME,
    RETDATE DATETIME,
    RETTIME DATETIME,
    ARRIVETIME DATETIME,
    LEAVETIME DATETIME,
    ESTTIME SINGLE,
    ESTMILE SINGLE,
    INTTRIPNUM TEXT COLLATE NOCASE,
    GRADE TEXT COLLATE NOCASE,
    FUND TEXT COLLATE NOCASE,
    PO TEXT COLLATE NOCASE,
    TRIPCAT TEXT COLLATE NOCASE,
    CONTACT TEXT COLLATE NOCASE,
    PURPOSE TEXT COLLATE NOCASE,
    NUMSTUDENTS SMALLINT,
    NUMADULTS SMALLINT,
    SCHEDULE TEXT COLLATE NOCASE,
    SHUTTLE BOOLEAN DEFAULT 0,
    ASSIGNED BOOLEAN DEFAULT 0,
    BILLED BOOLEAN DEFAULT 0,
    BILLDATE DATETIME,
    CANCELED BOOLEAN DEFAULT 0,
    CANDATE DATETIME,
    AMOUNT1 SINGLE,
    AMOUNT2 SINGLE,
    AMOUNT3 SINGLE,
    AMOUNT4 SINGLE,
    AMOUNT5 SINGLE
))"},
    {DatabaseFile::Trip, "ARDETAIL", R"(CREATE TABLE ARDETAIL (
    TRIPNUM INTEGER,
    TRANCODE TEXT COLLATE NOCASE,
    TRANAMT CURRENCY
))"},
    {DatabaseFile::Trip, "TRIPSPLIT", R"(CREATE TABLE TRIPSPLIT (
    TRIPNUM INTEGER,
    FUND TEXT COLLATE NOCASE
))"},
    {DatabaseFile::Trip, "TRIPEMPLOYEES", R"(CREATE TABLE TRIPEMPLOYEES (
    TRIPNUM INTEGER,
    HOURS SINGLE,
    MILES SINGLE
))"},
    {DatabaseFile::Trip, "Big_CalCalNotes", R"(CREATE TABLE Big_CalCalNotes (
    NoteDate DATETIME,
    NoteText TEXT COLLATE NOCASE,
    NoteLongText TEXT COLLATE NOCASE,
    NoteSeverity SMALLINT,
    Note_SchoolClosed BOOLEAN DEFAULT 0
))"},

    // ---- twvlsc1.db ----
    {DatabaseFile::Security, "VLSCU", R"(CREATE TABLE VLSCU (
    VLSC1 TEXT COLLATE NOCASE NOT NULL PRIMARY KEY,
    VLSC2 TEXT COLLATE NOCASE,
    ROLE TEXT COLLATE NOCASE,
    CUSTOMER TEXT COLLATE NOCASE,
    EMAIL TEXT COLLATE NOCASE,
    SCEXFOVD BOOLEAN DEFAULT 0,
    SCEXDDFT BOOLEAN DEFAULT 0
))"},
    {DatabaseFile::Security, "VLSCC", R"(CREATE TABLE VLSCC (
    CHAINID TEXT COLLATE NOCASE NOT NULL PRIMARY KEY,
    Active BOOLEAN DEFAULT 0,
    LEVEL1APPROVER TEXT COLLATE NOCASE,
    Level2Approver TEXT COLLATE NOCASE,
    Level3Approver TEXT COLLATE NOCASE,
    Level4Approver TEXT COLLATE NOCASE,
    Level5Approver TEXT COLLATE NOCASE,
    Level6Approver TEXT COLLATE NOCASE,
    Level7Approver TEXT COLLATE NOCASE,
    Level8Approver TEXT COLLATE NOCASE,
    Level1Status TEXT COLLATE NOCASE,
    Level2Status TEXT COLLATE NOCASE,
    Level3Status TEXT COLLATE NOCASE,
    Level4Status TEXT COLLATE NOCASE,
    Level5Status TEXT COLLATE NOCASE,
    Level6Status TEXT COLLATE NOCASE,
    Level7Status TEXT COLLATE NOCASE,
    LEVEL8STATUS TEXT COLLATE NOCASE
))"},

    // ---- Tripschl.db ----
    // Request numbers are given to users and mailed: never reused.
    {DatabaseFile::TripSchl, "TRIPSREQ", R"(CREATE TABLE TRIPSREQ (
    TRIPNUM INTEGER PRIMARY KEY AUTOINCREMENT,
    CUSTOMER TEXT COLLATE NOCASE,
    BILLCUST TEXT COLLATE NOCASE,
    CONTACT TEXT COLLATE NOCASE,
    REQUESTOR_EMAIL TEXT COLLATE NOCASE,
    DESTINATION INTEGER,
    DESTDESC TEXT COLLATE NOCASE,
    DESTADD1 TEXT COLLATE NOCASE,
    DESTADD2 TEXT COLLATE NOCASE,
    DESTCITY TEXT COLLATE NOCASE,
    DESTSTATE TEXT COLLATE NOCASE,
    DESTZIP TEXT COLLATE NOCASE,
    DESTCAT TEXT COLLATE NOCASE,
    MILES SINGLE,
    DESTSPEC TEXT COLLATE NOCASE,
    DEPDATE DATETIME,
    RETDATE DATETIME,
    DEPTIME DATETIME,
    RETTIME DATETIME,
    ARRIVETIME DATETIME,
    LEAVETIME DATETIME,
    NUMSTUDENTS SMALLINT,
    NUMADULTS SMALLINT,
    NUMHAND SMALLINT,
    ESTTIME SINGLE,
    ESTMILE SINGLE,
    FUND TEXT COLLATE NOCASE,
    PO TEXT COLLATE NOCASE,
    INTTRIPNUM TEXT COLLATE NOCASE,
    TRIPCAT TEXT COLLATE NOCASE,
    GRADE TEXT COLLATE NOCASE,
    PURPOSE TEXT COLLATE NOCASE,
    CUSTSPEC TEXT COLLATE NOCASE,
    TRIPCOM TEXT COLLATE NOCASE,
    STATUS TEXT COLLATE NOCASE,
    STATUS_DATE DATETIME,
    STATUS_COMMENT TEXT COLLATE NOCASE,
    CHAINID TEXT COLLATE NOCASE,
    REQDATE DATETIME,
    ENTERDATE DATETIME,
    ENTEREDBY TEXT COLLATE NOCASE,
    BILLRATE SMALLINT,
    AMOUNT1 SINGLE,
    AMOUNT2 SINGLE,
    AMOUNT3 SINGLE,
    AMOUNT4 SINGLE,
    AMOUNT5 SINGLE,
    AMOUNTTXT1 TEXT COLLATE NOCASE,
    AMOUNTTXT2 TEXT COLLATE NOCASE,
    AMOUNTTXT3 TEXT COLLATE NOCASE,
    AMOUNTTXT4 TEXT COLLATE NOCASE,
    AMOUNTTXT5 TEXT COLLATE NOCASE,
    CAPACITY TEXT COLLATE NOCASE,
    CALCNUMDRIVERS BOOLEAN DEFAULT 0,
    INVOICE_FORMAT TEXT COLLATE NOCASE,
    TYPE TEXT COLLATE NOCASE,
    FIELDTRIP_NUM INTEGER,
    SCHEDULE TEXT COLLATE NOCASE,
    Schedule2 TEXT COLLATE NOCASE,
    Schedule3 TEXT COLLATE NOCASE,
    Schedule4 TEXT COLLATE NOCASE,
    Schedule5 TEXT COLLATE NOCASE,
    AUTOASSIGN BOOLEAN DEFAULT 0,
    NUMTYPE SMALLINT,
    NUMADDL SMALLINT,
    ADDLTYPE TEXT COLLATE NOCASE,
    TICKET_FORMAT TEXT COLLATE NOCASE
))"},
};

constexpr IndexDefinition kIndexes[] = {
    {DatabaseFile::Trip, "CREATE INDEX TRIPS_TRIPREQNUM ON TRIPS (TRIPREQNUM)"},
    {DatabaseFile::Trip, "CREATE INDEX TRIPS_CUSTOMER ON TRIPS (CUSTOMER)"},
    {DatabaseFile::Trip, "CREATE INDEX TRIPS_DEPDATE ON TRIPS (DEPDATE)"},
    {DatabaseFile::Trip, "CREATE INDEX TRIPS_FUND ON TRIPS (FUND)"},
    // The trip search lists by departure, and its reports read one page in that order.
    {DatabaseFile::Trip, "CREATE INDEX TRIPS_DEPARTURE_ORDER ON TRIPS (DEPDATE COLLATE NOCASE)"},
    {DatabaseFile::Trip, "CREATE INDEX ARDETAIL_TRIPNUM ON ARDETAIL (TRIPNUM)"},
    {DatabaseFile::Trip, "CREATE INDEX TRIPSPLIT_TRIPNUM ON TRIPSPLIT (TRIPNUM)"},
    {DatabaseFile::Trip, "CREATE INDEX TRIPEMPLOYEES_TRIPNUM ON TRIPEMPLOYEES (TRIPNUM)"},
    {DatabaseFile::Trip, "CREATE INDEX Big_CalCalNotes_NoteDate ON Big_CalCalNotes (NoteDate)"},
    {DatabaseFile::Trip, "CREATE INDEX CUSTOMER_CUSTNAME ON CUSTOMER (CUSTNAME)"},
    {DatabaseFile::Trip, "CREATE INDEX DESTINATION_DESTDESC ON DESTINATION (DESTDESC)"},
    {DatabaseFile::Security, "CREATE INDEX VLSCU_ROLE ON VLSCU (ROLE)"},
    // Sign-in and the one-customer list compare trimmed (and upper-cased) codes.
    {DatabaseFile::Security, "CREATE INDEX VLSCU_VLSC1_TRIMMED ON VLSCU (trim(VLSC1) COLLATE NOCASE)"},
    {DatabaseFile::Trip, "CREATE INDEX CUSTOMER_CODE_TRIMMED ON CUSTOMER (trim(upper(CUSTOMER)) COLLATE NOCASE)"},
    // A school's requests by status, and an approver's worklist of one school, without reading
    // the school's other requests.
    {DatabaseFile::TripSchl, "CREATE INDEX TRIPSREQ_CUSTOMER_STATUS ON TRIPSREQ (CUSTOMER, STATUS, CHAINID)"},
    {DatabaseFile::TripSchl, "CREATE INDEX TRIPSREQ_DEPDATE ON TRIPSREQ (DEPDATE)"},
    {DatabaseFile::TripSchl, "CREATE INDEX TRIPSREQ_STATUS ON TRIPSREQ (STATUS)"},
    // The district-wide worklist: requests at one status of one chain.
    {DatabaseFile::TripSchl, "CREATE INDEX TRIPSREQ_CHAINID_STATUS ON TRIPSREQ (CHAINID, STATUS)"},
    // The request searches' order, so that a report reads only the rows of its page.
    {DatabaseFile::TripSchl,
     "CREATE INDEX TRIPSREQ_DEPARTURE_ORDER ON TRIPSREQ (DEPDATE COLLATE NOCASE, DEPTIME COLLATE NOCASE, "
     "DESTINATION COLLATE NOCASE)"},
    {DatabaseFile::TripSchl, "CREATE INDEX TRIPSREQ_REQDATE ON TRIPSREQ (REQDATE)"},
};

// Claims the path atomically, so a file made by someone else in the meantime is never opened.
void ClaimNewFile(const std::string& nativePath) {
    int fd = ::open(nativePath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0) {
        ::close(fd);
        return;
    }
    int error = errno;
    if (error == EEXIST)
        throw std::runtime_error("The database file '" + nativePath +
                                 "' already exists; it was left as it is.");
    throw std::runtime_error("Could not create the database file '" + nativePath +
                             "': " + std::strerror(error));
}

void WriteSchema(Connection& cn, DatabaseFile which) {
    // WAL lets the web workers read while another program writes; opening set it, and the file keeps it.
    cn.executeNative("BEGIN");
    for (const TableDefinition& table : kTables)
        if (table.file == which) cn.executeNative(table.createSql);
    for (const IndexDefinition& index : kIndexes)
        if (index.file == which) cn.executeNative(index.createSql);
    cn.executeNative("COMMIT");
}

void RemovePartialFile(const std::string& nativePath) {
    std::error_code ignored;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        std::filesystem::remove(nativePath + suffix, ignored);
}

}  // namespace

std::string_view DatabaseFileName(DatabaseFile which) {
    switch (which) {
        case DatabaseFile::Trip:
            return "trip.db";
        case DatabaseFile::Security:
            return "twvlsc1.db";
        case DatabaseFile::TripSchl:
            return "Tripschl.db";
    }
    throw std::invalid_argument("unknown database file");
}

std::span<const TableDefinition> SchemaTables() { return kTables; }
std::span<const IndexDefinition> SchemaIndexes() { return kIndexes; }

void CreateDatabaseFile(const std::string& nativePath, DatabaseFile which) {
    ClaimNewFile(nativePath);
    Connection cn;
    try {
        cn.open(nativePath, nativePath);
        WriteSchema(cn, which);
        cn.release();
    } catch (const VbError& e) {
        // Released, not kept for reuse: the file it holds is about to go.
        cn.release();
        RemovePartialFile(nativePath);
        throw std::runtime_error("Could not write the schema of '" + nativePath + "': " + e.description());
    }
}

CreatedFiles CreateDatabaseFiles(const std::string& nativeFolder) {
    if (!std::filesystem::is_directory(nativeFolder))
        throw std::runtime_error("The data folder '" + nativeFolder + "' does not exist.");
    CreatedFiles result;
    for (DatabaseFile which : kDatabaseFiles) {
        std::string path = (std::filesystem::path(nativeFolder) / DatabaseFileName(which)).string();
        if (std::filesystem::exists(std::filesystem::symlink_status(path))) {
            result.kept.push_back(path);
            continue;
        }
        CreateDatabaseFile(path, which);
        result.created.push_back(path);
    }
    return result;
}

namespace {

// "CREATE INDEX <name> ON <table> (...)": the name and the table.
std::pair<std::string, std::string> IndexNameAndTable(std::string_view createSql) {
    std::vector<std::string> words;
    std::size_t pos = 0;
    while (words.size() < 5 && pos < createSql.size()) {
        const std::size_t end = std::min(createSql.find(' ', pos), createSql.size());
        words.emplace_back(createSql.substr(pos, end - pos));
        pos = end + 1;
    }
    return {words.at(2), words.at(4)};
}

void AddMissingIndexesOf(Connection& cn, DatabaseFile which, std::vector<std::string>& lines) {
    for (const IndexDefinition& index : kIndexes) {
        if (index.file != which) continue;
        const auto [name, table] = IndexNameAndTable(index.createSql);
        const SqlParams tableAndIndex{Value(table), Value(name)};
        const Value wanted = cn.scalarNative(
            "SELECT EXISTS (SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1 COLLATE NOCASE) "
            "AND NOT EXISTS (SELECT 1 FROM sqlite_master WHERE name = ?2 COLLATE NOCASE)",
            tableAndIndex);
        if (CLng(wanted) != 1) continue;  // no such table, or the index is there
        try {
            cn.executeNative(index.createSql);
            lines.push_back("added the index " + name + " to " + std::string(DatabaseFileName(which)));
        } catch (const VbError& e) {
            lines.push_back("could not add the index " + name + " to " + std::string(DatabaseFileName(which)) +
                            ": " + e.description());
        }
    }
}

}  // namespace

std::vector<std::string> AddMissingIndexes(const std::string& nativeFolder) {
    std::vector<std::string> lines;
    for (DatabaseFile which : kDatabaseFiles) {
        const std::string path = (std::filesystem::path(nativeFolder) / DatabaseFileName(which)).string();
        if (!std::filesystem::is_regular_file(path)) continue;
        Connection cn;
        try {
            cn.open(path, path);
            AddMissingIndexesOf(cn, which, lines);
        } catch (const VbError& e) {
            lines.push_back("could not look at the indexes of " + std::string(DatabaseFileName(which)) + ": " +
                            e.description());
        }
        cn.release();
    }
    return lines;
}

}  // namespace excursa
