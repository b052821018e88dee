#include "startup/demo_district.h"

#include "data/database.h"
#include "data/schema.h"
#include "frame/value.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <limits>
#include <optional>
#include <stdexcept>
#include <tuple>
#include <vector>

namespace excursa {

namespace {

// ---------------------------------------------------------------- storage helpers

struct Cell {
    enum class Kind { Null, Whole, Real, Text };
    Kind kind = Kind::Null;
    long long whole = 0;
    double real = 0;
    std::string text;

    Cell(std::nullptr_t) {}
    Cell(int v) : kind(Kind::Whole), whole(v) {}
    Cell(long long v) : kind(Kind::Whole), whole(v) {}
    Cell(bool v) : kind(Kind::Whole), whole(v ? 1 : 0) {}
    Cell(double v) : kind(Kind::Real), real(v) {}
    Cell(const char* v) : kind(Kind::Text), text(v) {}
    Cell(std::string_view v) : kind(Kind::Text), text(v) {}
    Cell(std::string v) : kind(Kind::Text), text(std::move(v)) {}
};

struct Field {
    std::string_view column;
    Cell value;
};

Cell TextOrNull(std::string_view text) { return text.empty() ? Cell(nullptr) : Cell(text); }

// What a cell holds, as the data layer binds it.
Value ValueOf(const Cell& cell) {
    switch (cell.kind) {
        case Cell::Kind::Whole:
            if (cell.whole >= std::numeric_limits<std::int32_t>::min() &&
                cell.whole <= std::numeric_limits<std::int32_t>::max()) {
                return Value::Long(static_cast<std::int32_t>(cell.whole));
            }
            return Value::Double(static_cast<double>(cell.whole));
        case Cell::Kind::Real:
            return Value::Double(cell.real);
        case Cell::Kind::Text:
            return Value(cell.text);
        case Cell::Kind::Null:
            break;
    }
    return Value::Null();
}

// One database file, written in a single transaction that commits only when asked.
class DemoFile {
public:
    explicit DemoFile(std::string path) : path_(std::move(path)) {
        guarded("BEGIN IMMEDIATE", [&] {
            cn_.open(path_, path_);
            cn_.executeNative("BEGIN IMMEDIATE");
        });
    }
    // Releasing the file rolls back what was not committed.
    ~DemoFile() { cn_.release(); }
    DemoFile(const DemoFile&) = delete;
    DemoFile& operator=(const DemoFile&) = delete;

    void commit() {
        guarded("COMMIT", [&] { cn_.executeNative("COMMIT"); });
    }

    void requireEmpty(std::string_view table) {
        const std::string sql = "SELECT COUNT(*) FROM " + std::string(table);
        long long rows = 0;
        guarded(sql, [&] { rows = static_cast<long long>(CDbl(cn_.scalarNative(sql))); });
        if (rows > 0)
            throw std::runtime_error("'" + path_ + "' already holds data (table " + std::string(table) +
                                     "); the demo district is only written into new database files.");
    }

    long long insert(std::string_view table, std::initializer_list<Field> fields) {
        std::string columns;
        std::string marks;
        SqlParams values;
        for (const Field& field : fields) {
            columns += (columns.empty() ? "" : ", ") + std::string(field.column);
            marks += marks.empty() ? "?" : ", ?";
            values.push_back(ValueOf(field.value));
        }
        const std::string sql =
            "INSERT INTO " + std::string(table) + " (" + columns + ") VALUES (" + marks + ")";
        guarded(sql, [&] { cn_.executeNative(sql, values); });
        return cn_.lastInsertRowid();
    }

private:
    template <class Body>
    void guarded(std::string_view sql, Body body) {
        try {
            body();
        } catch (const VbError& e) {
            throw std::runtime_error("Demo district, '" + path_ + "': " + e.description() + " in: " +
                                     std::string(sql));
        }
    }

    std::string path_;
    Connection cn_;
};

// ---------------------------------------------------------------- dates

std::string DateTimeText(double day, int hour, int minute) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:00", Year(day), Month(day), Day(day), hour,
                  minute);
    return buffer;
}

std::string DayText(double day) { return DateTimeText(day, 0, 0); }

// A time of day alone lies on day 0, 30 December 1899.
std::string TimeText(int minutesAfterMidnight) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "1899-12-30 %02d:%02d:00", minutesAfterMidnight / 60,
                  minutesAfterMidnight % 60);
    return buffer;
}

bool IsWeekend(double day) {
    int weekday = Weekday(day);
    return weekday == 1 || weekday == 7;
}

double NextWeekday(double day) {
    while (IsWeekend(day)) day += 1;
    return day;
}

struct Calendar {
    double today;
    double warningDay;   // severity 2, coming weeks
    double closedDay;    // severity 3, coming weeks
    double pastHoliday;  // severity 3, past weeks
    double pictureDay;   // severity 0

    explicit Calendar(double day)
        : today(day),
          warningDay(NextWeekday(day + 10)),
          closedDay(NextWeekday(day + 17)),
          pastHoliday(NextWeekday(day - 19)),
          pictureDay(NextWeekday(day + 24)) {}

    // Trips are put on open school days without a note that would warn or block.
    double schoolDay(double day) const {
        while (IsWeekend(day) || day == warningDay || day == closedDay || day == pastHoliday) day += 1;
        return day;
    }
};

// ---------------------------------------------------------------- reference data

constexpr std::string_view kEmailDomain = "@lakemont.example.org";

struct DemoCustomer {
    std::string_view code;
    std::string_view name;
    std::string_view division;
    std::string_view chain;
    int billRate;
    std::string_view capacity;
    std::string_view invoiceFormat;
    std::string_view specialInstructions;
    std::string_view teacherName;
    std::array<std::string_view, 3> funds;  // the first two are active
    std::array<int, 5> destinations;        // 0 ends the list
    std::array<std::string_view, 4> grades;
    std::array<std::string_view, 2> tripCategories;
};

constexpr DemoCustomer kCustomers[] = {
    {"MAPLE",
     "Maple Grove Elementary",
     "ELEM",
     "PRIN",
     1,
     "Medium",
     "VEL_INVOICE",
     "Load at the bus loop on Maple Street.",
     "Julia Morgan",
     {"PTA-MG", "TITLE1", "GEN"},
     {1, 3, 9, 8, 11},
     {"K", "1", "2", "3"},
     {"EDU", "EDU"}},
    {"RIVER",
     "Riverside Elementary",
     "ELEM",
     "PRIN",
     1,
     "Medium",
     "VEL_INVOICE",
     "",
     "Lisa Chen",
     {"PTA-RS", "TITLE1", "GEN"},
     {3, 10, 1, 8, 4},
     {"2", "3", "4", "5"},
     {"EDU", "EDU"}},
    {"CEDAR",
     "Cedar Hill Elementary",
     "ELEM",
     "PRIN",
     1,
     "Low",
     "VEL_INVOICE",
     "Use the north entrance; the front drive is closed to buses.",
     "Dev Patel",
     {"PTA-CH", "GEN", "STEM"},
     {9, 1, 21, 8, 11},
     {"K", "1", "4", "5"},
     {"EDU", "EDU"}},
    {"LMS",
     "Lakemont Middle School",
     "SEC",
     "PRINDIST",
     1,
     "High",
     "VEL_INVOICE",
     "",
     "Rosa Santos",
     {"LMS-ACT", "GEN", "STEM"},
     {2, 22, 13, 5, 15},
     {"6", "7", "8", "6"},
     {"EDU", "SVC"}},
    {"LHS",
     "Lakemont High School",
     "SEC",
     "PRINDIST",
     1,
     "High",
     "VEL_INVOICE",
     "Buses load at the gym doors on 9th Street.",
     "Kevin Walker",
     {"LHS-ACT", "GEN", "BOOSTER"},
     {14, 5, 12, 6, 13},
     {"9", "10", "11", "12"},
     {"EDU", "CMP"}},
    {"ATHL",
     "Athletics Department",
     "DEPT",
     "PRINDIST",
     2,
     "High",
     "ATHLETIC_INVOICE",
     "Equipment bags travel under the bus.",
     "Tom Brooks",
     {"ATH", "BOOSTER", ""},
     {17, 18, 19, 20, 0},
     {"9", "10", "11", "12"},
     {"ATH", "ATH"}},
    {"ARTS",
     "Fine Arts Department",
     "DEPT",
     "PRINDIST",
     1,
     "High",
     "VEL_INVOICE",
     "",
     "Maria Rivera",
     {"ARTS", "GEN", ""},
     {16, 24, 4, 6, 0},
     {"MIXED", "9", "10", "MIXED"},
     {"MUS", "MUS"}},
    {"SPED",
     "Special Education Services",
     "DEPT",
     "",
     3,
     "Low",
     "VEL_INVOICE",
     "Lift bus required for wheelchair riders.",
     "Anna Hughes",
     {"SPED", "GEN", ""},
     {8, 20, 11, 1, 0},
     {"MIXED", "MIXED", "MIXED", "MIXED"},
     {"EDU", "EDU"}},
};

const DemoCustomer& CustomerByCode(std::string_view code) {
    for (const DemoCustomer& customer : kCustomers)
        if (customer.code == code) return customer;
    throw std::logic_error("demo customer " + std::string(code));
}

struct CustomerCategoryChain {
    std::string_view customer;
    std::string_view tripCategory;
    std::string_view chain;
};

constexpr CustomerCategoryChain kCategoryChains[] = {
    {"MAPLE", "OVN", "PRINDIST"}, {"LMS", "OVN", "OVERNIGHT"}, {"LHS", "OVN", "OVERNIGHT"},
    {"ARTS", "OVN", "OVERNIGHT"}, {"ATHL", "ATH", "PRIN"},     {"SPED", "OVN", "PRINDIST"},
};

std::string_view ChainFor(const DemoCustomer& customer, std::string_view tripCategory) {
    for (const CustomerCategoryChain& entry : kCategoryChains)
        if (entry.customer == customer.code && entry.tripCategory == tripCategory) return entry.chain;
    return customer.chain;
}

struct DemoDestination {
    std::string_view description;
    std::string_view address1;
    std::string_view address2;
    std::string_view city;
    std::string_view zip;
    std::string_view category;
    int miles;
    std::string_view specialInstructions;
    bool active;
};

// Numbered 1 to 25 in this order.
constexpr DemoDestination kDestinations[] = {
    {"Lakemont Museum of Natural History", "1200 Lakeshore Drive", "", "Lakemont", "55990", "MUSEUM", 4,
     "Groups enter at the east school entrance.", true},
    {"Harborview Science Center", "350 Harbor Street", "", "Pine Harbor", "55982", "SCIENCE", 18,
     "Bus parking in the lower lot.", true},
    {"Northwoods Zoo and Aquarium", "8800 County Road 12", "", "Westbrook", "55971", "ZOO", 26,
     "Drop off at the group gate; buses park in lot C.", true},
    {"Lakemont Civic Theater", "215 Main Street", "", "Lakemont", "55990", "THEATER", 3, "", true},
    {"State Capitol Visitor Center", "100 Capitol Plaza", "Room 120", "Fairhaven", "55101", "CIVIC", 95,
     "Tours start on the hour; arrive 15 minutes early.", true},
    {"Fairhaven Art Institute", "2400 Park Avenue", "", "Fairhaven", "55104", "MUSEUM", 97, "", true},
    {"Pine Ridge State Park", "4100 Ridge Road", "", "Pine Ridge", "55960", "PARK", 41,
     "Park entrance permit is on file with transportation.", true},
    {"Eagle Lake Nature Center", "620 Eagle Lake Trail", "", "Lakemont", "55991", "PARK", 9, "", true},
    {"Millbrook Heritage Farm", "15 Orchard Lane", "", "Millbrook", "55975", "FARM", 22,
     "Gravel drive; turn around at the barn.", true},
    {"Riverbend Apple Orchard", "3300 Riverbend Road", "", "Millbrook", "55975", "FARM", 24, "", true},
    {"Lakemont Public Library", "101 Library Square", "", "Lakemont", "55990", "CIVIC", 2, "", true},
    {"Lakemont County Courthouse", "500 Court Street", "", "Lakemont", "55990", "CIVIC", 2,
     "Security screening at the entrance; allow extra time.", true},
    {"Fort Williams Historic Site", "1 Fort Road", "", "Fort Williams", "55940", "HISTORIC", 58, "", true},
    {"Northern State University", "1800 College Avenue", "Welcome Center", "Westbrook", "55972", "COLLEGE",
     30, "", true},
    {"Lakemont Community College", "2900 Campus Drive", "", "Lakemont", "55992", "COLLEGE", 6, "", true},
    {"Fairhaven Symphony Hall", "45 Orchestra Place", "", "Fairhaven", "55102", "THEATER", 96,
     "Unload on Orchestra Place; buses wait in the river lot.", true},
    {"Westbrook Sports Arena", "700 Arena Boulevard", "", "Westbrook", "55971", "SPORTS", 29,
     "Team entrance at gate 4.", true},
    {"Pine Harbor High School Stadium", "1500 Stadium Way", "", "Pine Harbor", "55983", "SPORTS", 17, "",
     true},
    {"Cedar Lake Ice Center", "88 Rink Road", "", "Cedar Lake", "55965", "SPORTS", 12, "", true},
    {"Lakemont Aquatic Center", "410 Pool Street", "", "Lakemont", "55990", "SPORTS", 3, "", true},
    {"Great Lakes Maritime Museum", "9 Pier Street", "", "Pine Harbor", "55982", "MUSEUM", 19, "", true},
    {"Stonebridge Planetarium", "2250 Observatory Hill", "", "Westbrook", "55973", "SCIENCE", 31, "", true},
    {"Camp Tamarack Outdoor School", "12500 Tamarack Lake Road", "", "Tamarack", "55950", "PARK", 118,
     "Overnight site; cabins assigned on arrival.", true},
    {"Fairhaven Children's Theatre", "300 Stage Street", "", "Fairhaven", "55104", "THEATER", 95, "", true},
    {"Sunset Roller Rink", "77 Sunset Avenue", "", "Lakemont", "55991", "SPORTS", 5, "Closed for good.",
     false},
};

const DemoDestination& DestinationNumber(int number) { return kDestinations[number - 1]; }

struct BillRate {
    int rate;
    std::array<double, 5> amounts;
    std::array<std::string_view, 5> labels;
};

constexpr BillRate kBillRates[] = {
    {1, {2.75, 32.50, 15.00, 0, 0}, {"Per mile", "Driver per hour", "Trip fee", "", ""}},
    {2, {2.50, 30.00, 0, 0, 0}, {"Per mile", "Driver per hour", "", "", ""}},
    {3, {3.10, 34.00, 15.00, 20.00, 0}, {"Per mile", "Driver per hour", "Trip fee", "Lift bus fee", ""}},
};

const BillRate& RateNumber(int rate) { return kBillRates[rate - 1]; }

constexpr DemoUser kUsers[] = {
    {"maple.teacher", "demo", "TEACHER", "MAPLE", "Julia Morgan"},
    {"river.teacher", "demo", "TEACHER", "RIVER", "Lisa Chen"},
    {"cedar.teacher", "demo", "TEACHER", "CEDAR", "Dev Patel"},
    {"lms.teacher", "demo", "TEACHER", "LMS", "Rosa Santos"},
    {"lhs.teacher", "demo", "TEACHER", "LHS", "Kevin Walker"},
    {"athl.teacher", "demo", "TEACHER", "ATHL", "Tom Brooks"},
    {"arts.teacher", "demo", "TEACHER", "ARTS", "Maria Rivera"},
    {"sped.teacher", "demo", "TEACHER", "SPED", "Anna Hughes"},
    {"maple.principal", "demo", "PRINCIPAL", "MAPLE", "Sandra Green"},
    {"river.principal", "demo", "PRINCIPAL", "RIVER", "Brian Nolan"},
    {"cedar.principal", "demo", "PRINCIPAL", "CEDAR", "Carol Fisher"},
    {"lms.principal", "demo", "PRINCIPAL", "LMS", "Daniel Kim"},
    {"lhs.principal", "demo", "PRINCIPAL", "LHS", "Margaret Owens"},
    {"athl.principal", "demo", "PRINCIPAL", "ATHL", "Ray Carter"},
    {"arts.principal", "demo", "PRINCIPAL", "ARTS", "Janet Price"},
    {"sped.principal", "demo", "PRINCIPAL", "SPED", "Wendy Lee"},
    {"district", "demo", "DISTRICT", "", "Elaine Bennett"},
    {"transport", "demo", "TRANSPORT", "", "Gary Foster"},
    {"dispatch", "demo", "TRANSPORT", "", "Nina Ortiz"},
};

std::string TeacherId(const DemoCustomer& customer) {
    for (const DemoUser& user : kUsers)
        if (user.role == "TEACHER" && user.customer == customer.code) return std::string(user.id);
    throw std::logic_error("no demo teacher");
}

std::string EmailOf(std::string_view userId) { return std::string(userId) + std::string(kEmailDomain); }

double Cents(double amount) { return std::round(amount * 100.0) / 100.0; }

// ---------------------------------------------------------------- reference tables

void FillDistrict(DemoFile& trip) {
    trip.insert("DISTRICT",
                {{"DISTNAME", "Lakemont School District"},
                 {"DISTADDR1", "400 Lakeview Avenue"},
                 {"DISTCITY", "Lakemont"},
                 {"DISTSTATE", "MN"},
                 {"DISTZIP", "55990"},
                 {"DISTPHONE", "(218) 555-0140"},
                 {"TRANSTITLE", "Lakemont Transportation Department"},
                 {"DEFAULT_CALCNUMDRIVER", true},
                 {"DEFAULTVTYPE", "BUS72"},
                 {"AUTOFILL_REQUESTS", true},
                 {"AUTOFILL", true},
                 {"VIEW_OTHER_SCHOOLS", false},
                 {"FUND_DD", true},
                 {"USECUSTFUND", true},
                 {"DEPDT_LEADTIME", 14},
                 {"DEPDT_LEADTIME_HARDWARN", false},
                 {"TOTAL_TRIPS_LIMIT", 6},
                 {"TOTAL_TRIPS_LIMIT_MESSAGE",
                  "Transportation already has the most trips it can staff on this day; "
                  "your trip may have to move to another day."},
                 {"TOTAL_TRIPS_HARDWARN", false},
                 {"TRIPREQ_COMMENT",
                  "Please enter requests at least 14 days before the trip. Overnight trips also need "
                  "the approval of the district office."}});
    trip.insert("TRIPREQ_REQUIRED", {{"REQUEST_DATE_REQUIRED", false},
                                     {"FUND_REQUIRED", true},
                                     {"CUSTOMER_REQUIRED", true},
                                     {"CONTACT_REQ", true},
                                     {"DESTINATION_REQ", true},
                                     {"DEPDATE_REQ", true},
                                     {"DEPTIME_REQ", true},
                                     {"RETDATE_REQ", true},
                                     {"RETTIME_REQ", true},
                                     {"ARRIVETIME_REQ", false},
                                     {"LEAVETIME_REQ", false},
                                     {"ESTMILE_REQ", false},
                                     {"ESTTIME_REQ", false},
                                     {"NUMSTUDENTS_REQ", true},
                                     {"NUMADULTS_REQ", true},
                                     {"NUMWHEEL_REQ", false},
                                     {"PURPOSE_REQ", true},
                                     {"DESTSPEC_REQ", false},
                                     {"CUSTSPEC_REQ", false},
                                     {"TRIPCOM_REQ", false},
                                     {"PO_REQ", false},
                                     {"TRIPCAT_REQ", true},
                                     {"INTTRIPNUM_REQ", false},
                                     {"GRADE_REQ", true},
                                     {"INVOICE_COMMENT_REQ", false}});
    trip.insert("EMAIL_OPTIONS",
                {{"REQ_EXCURSA_CHANGE", true}, {"APP_EXCURSA_CHANGE", true}, {"ADM_EXCURSA_CHANGE", false}});
}

void FillCodeTables(DemoFile& trip) {
    struct Coded {
        std::string_view code;
        std::string_view description;
        bool active;
    };
    constexpr Coded divisions[] = {
        {"ELEM", "Elementary Schools", true},
        {"SEC", "Secondary Schools", true},
        {"DEPT", "District Departments", true},
    };
    for (const Coded& division : divisions)
        trip.insert("DIVISION", {{"DIVISION", division.code},
                                 {"DESCRIPTION", division.description},
                                 {"ACTIVE", division.active}});

    constexpr Coded grades[] = {
        {"PK", "Pre-kindergarten", false},
        {"K", "Kindergarten", true},
        {"1", "Grade 1", true},
        {"2", "Grade 2", true},
        {"3", "Grade 3", true},
        {"4", "Grade 4", true},
        {"5", "Grade 5", true},
        {"6", "Grade 6", true},
        {"7", "Grade 7", true},
        {"8", "Grade 8", true},
        {"9", "Grade 9", true},
        {"10", "Grade 10", true},
        {"11", "Grade 11", true},
        {"12", "Grade 12", true},
        {"MIXED", "Mixed grades", true},
    };
    for (const Coded& grade : grades)
        trip.insert("GRADE",
                    {{"GRADE", grade.code}, {"DESCRIPTION", grade.description}, {"ACTIVE", grade.active}});

    constexpr Coded categories[] = {
        {"EDU", "Educational / curriculum", true},
        {"ATH", "Athletic event", true},
        {"MUS", "Music and performing arts", true},
        {"OVN", "Overnight trip", true},
        {"CMP", "Academic competition", true},
        {"SVC", "Community service", true},
        {"REW", "Reward trip", false},
    };
    for (const Coded& category : categories)
        trip.insert(
            "TRIPCAT",
            {{"TRIPCAT", category.code}, {"DESCRIPTION", category.description}, {"ACTIVE", category.active}});

    constexpr Coded statuses[] = {
        {"UNAPPROVED", "Waiting for the first approval", true},
        {"PRINCIPAL APPROVED", "Approved by the principal", true},
        {"DISTRICT APPROVED", "Approved by the district office", true},
        {"TRANSPORTATION REVIEWED", "Reviewed by transportation", true},
        {"Pending", "Waiting for transportation", true},
        {"Denied", "Denied", true},
        {"ACCEPTED", "Accepted by transportation", true},
    };
    for (const Coded& status : statuses)
        trip.insert(
            "TRIPREQSTATUS",
            {{"STATUS", status.code}, {"DESCRIPTION", status.description}, {"ACTIVE", status.active}});

    for (std::string_view category :
         {"MUSEUM", "SCIENCE", "PARK", "ZOO", "THEATER", "SPORTS", "COLLEGE", "FARM", "CIVIC", "HISTORIC"})
        trip.insert("DESTCAT", {{"DESTCAT", category}, {"ACTIVE", true}});

    constexpr Coded funds[] = {
        {"GEN", "General Fund - Field Trips", true},
        {"TITLE1", "Title I Federal Grant", true},
        {"PTA-MG", "Maple Grove PTA", true},
        {"PTA-RS", "Riverside PTA", true},
        {"PTA-CH", "Cedar Hill PTA", true},
        {"LMS-ACT", "Middle School Activity Fund", true},
        {"LHS-ACT", "High School Activity Fund", true},
        {"ATH", "Athletics Budget", true},
        {"BOOSTER", "Athletic Boosters Club", true},
        {"ARTS", "Fine Arts Budget", true},
        {"SPED", "Special Education Transportation", true},
        {"STEM", "STEM Grant (expired)", false},
    };
    for (const Coded& fund : funds)
        trip.insert("FUND", {{"FUND", fund.code}, {"FUNDDESC", fund.description}, {"ACTIVE", fund.active}});

    constexpr Coded schedules[] = {
        {"FT-AM", "Field trips - morning", true}, {"FT-MID", "Field trips - midday", true},
        {"FT-PM", "Field trips - evening", true}, {"ATH", "Athletic runs", true},
        {"OVN", "Overnight and charter", true},
    };
    for (const Coded& schedule : schedules)
        trip.insert("SCHEDMAST", {{"SCHEDULE", schedule.code}, {"SCHEDDESC", schedule.description}});

    constexpr Coded vehicleTypes[] = {
        {"BUS72", "72-passenger bus", true},     {"BUS48", "48-passenger bus", true},
        {"LIFT", "Lift bus (wheelchair)", true}, {"VAN", "10-passenger van", true},
        {"COACH", "Charter coach", false},
    };
    for (const Coded& type : vehicleTypes)
        trip.insert("VEHTYPE",
                    {{"VEHTYPE", type.code}, {"VTYPDESC", type.description}, {"ACTIVE", type.active}});

    constexpr Coded tickets[] = {
        {"STANDARD", "Standard field trip ticket", true},
        {"ATHLETIC", "Athletic trip ticket", true},
        {"OVERNIGHT", "Overnight trip ticket", true},
        {"LEGACY", "Old ticket layout", false},
    };
    for (const Coded& ticket : tickets)
        trip.insert(
            "TRIPTICKET_TEMPLATE",
            {{"TICKET_ID", ticket.code}, {"TEMPLATE_DESC", ticket.description}, {"ACTIVE", ticket.active}});

    for (const BillRate& rate : kBillRates)
        trip.insert("BILLRATE", {{"BILLRATE", rate.rate},
                                 {"AMOUNT1", rate.amounts[0]},
                                 {"AMOUNT2", rate.amounts[1]},
                                 {"AMOUNT3", rate.amounts[2]},
                                 {"AMOUNT4", rate.amounts[3]},
                                 {"AMOUNT5", rate.amounts[4]},
                                 {"AMOUNTTXT1", TextOrNull(rate.labels[0])},
                                 {"AMOUNTTXT2", TextOrNull(rate.labels[1])},
                                 {"AMOUNTTXT3", TextOrNull(rate.labels[2])},
                                 {"AMOUNTTXT4", TextOrNull(rate.labels[3])},
                                 {"AMOUNTTXT5", TextOrNull(rate.labels[4])}});
}

void FillCustomersAndDestinations(DemoFile& trip) {
    for (const DemoCustomer& customer : kCustomers) {
        trip.insert("CUSTOMER",
                    {{"CUSTOMER", customer.code},
                     {"CUSTNAME", customer.name},
                     {"CUSTDIV", customer.division},
                     {"CHAINID", TextOrNull(customer.chain)},
                     {"ACTIVE", true},
                     {"CUSTSPEC", TextOrNull(customer.specialInstructions)},
                     {"REQUESTOR_EMAIL", "office." + LCase(customer.code) + std::string(kEmailDomain)},
                     {"CUSTBILLRATE", customer.billRate},
                     {"DEFAULTCAP", customer.capacity},
                     {"CUST_DEFAULT_FORMAT", customer.invoiceFormat}});
        for (std::string_view fund : customer.funds)
            if (!fund.empty()) trip.insert("CUSTOMER_FUND", {{"CUSTOMER", customer.code}, {"FUND", fund}});
    }
    for (const CustomerCategoryChain& entry : kCategoryChains)
        trip.insert(
            "CUSTOMER_TRIPCAT",
            {{"CUSTOMER", entry.customer}, {"TRIPCAT", entry.tripCategory}, {"CHAINID", entry.chain}});

    for (const DemoDestination& destination : kDestinations)
        trip.insert("DESTINATION", {{"DESTDESC", destination.description},
                                    {"DESTADD1", destination.address1},
                                    {"DESTADD2", TextOrNull(destination.address2)},
                                    {"DESTCITY", destination.city},
                                    {"DESTSTATE", "MN"},
                                    {"DESTZIP", destination.zip},
                                    {"DESTCAT", destination.category},
                                    {"MILES", static_cast<double>(destination.miles)},
                                    {"DESTSPEC", TextOrNull(destination.specialInstructions)},
                                    {"ACTIVE", destination.active}});
}

void FillCalendar(DemoFile& trip, const Calendar& calendar) {
    struct Note {
        double day;
        std::string_view text;
        std::string_view longText;
        int severity;
        bool closed;
    };
    const Note notes[] = {
        {calendar.pastHoliday, "Holiday - no school", "Schools and the transportation office are closed.", 3,
         true},
        {calendar.warningDay, "Early release day",
         "Schools dismiss at 12:30 and most buses run the early routes; trips may have to return by 11:30.",
         2, false},
        {calendar.closedDay, "Staff development day - no school",
         "No students attend; no transportation is available.", 3, true},
        {calendar.pictureDay, "Picture day", "School pictures at the elementary schools.", 0, false},
    };
    for (const Note& note : notes)
        trip.insert("Big_CalCalNotes", {{"NoteDate", DayText(note.day)},
                                        {"NoteText", note.text},
                                        {"NoteLongText", note.longText},
                                        {"NoteSeverity", note.severity},
                                        {"Note_SchoolClosed", note.closed}});
}

// ---------------------------------------------------------------- users and chains

void FillSecurity(DemoFile& security) {
    for (const DemoUser& user : kUsers) {
        bool transport = user.role == "TRANSPORT";
        security.insert("VLSCU", {{"VLSC1", user.id},
                                  {"VLSC2", user.password},
                                  {"ROLE", user.role},
                                  {"CUSTOMER", TextOrNull(user.customer)},
                                  {"EMAIL", EmailOf(user.id)},
                                  {"SCEXFOVD", transport},
                                  {"SCEXDDFT", transport || user.role == "DISTRICT"}});
    }
    security.insert("VLSCC", {{"CHAINID", "PRIN"},
                              {"Active", true},
                              {"LEVEL1APPROVER", "PRINCIPAL"},
                              {"Level1Status", "PRINCIPAL APPROVED"}});
    security.insert("VLSCC", {{"CHAINID", "PRINDIST"},
                              {"Active", true},
                              {"LEVEL1APPROVER", "PRINCIPAL"},
                              {"Level2Approver", "DISTRICT"},
                              {"Level1Status", "PRINCIPAL APPROVED"},
                              {"Level2Status", "DISTRICT APPROVED"}});
    security.insert("VLSCC", {{"CHAINID", "OVERNIGHT"},
                              {"Active", true},
                              {"LEVEL1APPROVER", "PRINCIPAL"},
                              {"Level2Approver", "DISTRICT"},
                              {"Level3Approver", "TRANSPORT"},
                              {"Level1Status", "PRINCIPAL APPROVED"},
                              {"Level2Status", "DISTRICT APPROVED"},
                              {"Level3Status", "TRANSPORTATION REVIEWED"}});
}

// ---------------------------------------------------------------- requests and trips

struct TripShape {
    const DemoCustomer* customer;
    int destinationNumber;
    std::string tripCategory;
    std::string grade;
    std::string fund;
    std::string purpose;
    double departureDay;
    double returnDay;
    int departureMinute;  // minutes after midnight
    int arriveMinute;
    int leaveMinute;
    int returnMinute;
    int students;
    int adults;
    int handicapped;
    std::string internalNumber;
    std::string purchaseOrder;
    std::string comment;

    const DemoDestination& destination() const { return DestinationNumber(destinationNumber); }
    double estimatedMiles() const { return 2.0 * destination().miles + 4.0; }
    // Driving and waiting time of one day, also for an overnight trip.
    double estimatedHours() const { return Cents((returnMinute - departureMinute) / 60.0); }
    int drivers() const { return (students + adults + 71) / 72; }
    std::string_view schedule() const {
        if (tripCategory == "ATH") return "ATH";
        if (tripCategory == "OVN") return "OVN";
        return tripCategory == "MUS" ? "FT-PM" : "FT-AM";
    }
    std::string_view ticket() const {
        if (tripCategory == "ATH") return "ATHLETIC";
        return tripCategory == "OVN" ? "OVERNIGHT" : "STANDARD";
    }
    std::string_view vehicleType() const { return customer->code == "SPED" ? "LIFT" : "BUS72"; }
};

std::string_view PurposeFor(std::string_view tripCategory, int variant) {
    static constexpr std::string_view educational[] = {"Science unit field trip", "Social studies field trip",
                                                       "Nature study", "Reading celebration"};
    static constexpr std::string_view athletic[] = {"Away basketball game", "Swim meet", "Hockey game",
                                                    "Track meet"};
    if (tripCategory == "ATH") return athletic[variant % 4];
    if (tripCategory == "MUS") return variant % 2 ? "Theater performance" : "Band concert";
    if (tripCategory == "CMP") return variant % 2 ? "Math league meet" : "Science Olympiad";
    if (tripCategory == "SVC") return "Food shelf volunteering";
    if (tripCategory == "OVN") return "Outdoor school";
    return educational[variant % 4];
}

// Times of day in minutes: school-day trips leave in the morning, games and concerts later.
void SetTimes(TripShape& trip) {
    int travel = 15 + static_cast<int>(std::lround(trip.destination().miles * 1.2 / 5.0)) * 5;
    int start = 8 * 60 + 30;
    int stay = 4 * 60 + 30;
    if (trip.tripCategory == "ATH") {
        start = 14 * 60 + 45;
        stay = 2 * 60 + 45;
    } else if (trip.tripCategory == "MUS") {
        start = 17 * 60 + 30 - travel;
        stay = 3 * 60;
    } else if (trip.tripCategory == "OVN") {
        stay = 3 * 60;
    }
    trip.departureMinute = start;
    trip.arriveMinute = start + travel;
    trip.leaveMinute = trip.arriveMinute + stay;
    trip.returnMinute = trip.leaveMinute + travel;
}

// `variant` picks among a customer's choices; `serial` numbers the trip among all of them.
TripShape ShapeTrip(const DemoCustomer& customer, int destinationNumber, std::string_view tripCategory,
                    double departureDay, int variant, int serial) {
    TripShape trip{};
    trip.customer = &customer;
    trip.destinationNumber = destinationNumber;
    trip.tripCategory = std::string(tripCategory);
    trip.grade = std::string(customer.grades[variant % 4]);
    trip.fund = std::string(customer.funds[variant % 2]);
    trip.purpose = std::string(PurposeFor(tripCategory, variant));
    trip.departureDay = departureDay;
    trip.returnDay = tripCategory == "OVN" ? departureDay + 2 : departureDay;
    SetTimes(trip);
    if (customer.code == "SPED") {
        trip.students = 4 + serial % 5;
        trip.adults = 3;
        trip.handicapped = 2;
    } else if (tripCategory == "ATH") {
        trip.students = 16 + (serial * 7) % 15;
        trip.adults = 2;
    } else {
        trip.students = 18 + (serial * 13) % 55;
        trip.adults = std::max(2, trip.students / 10);
    }
    trip.internalNumber = std::string(customer.code) + "-" + std::to_string(100 + serial);
    if (serial % 2 == 1) trip.purchaseOrder = "PO" + std::to_string(24000 + serial * 7);
    if (serial % 5 == 0)
        trip.comment = "Two students carry medication; the school nurse travels with the group.";
    return trip;
}

struct RequestState {
    std::string status;
    std::string chain;
    double enteredDay;
    int enteredMinute;
    double statusDay;
    int statusMinute;
    std::string statusComment;
    long long fieldTripNumber = 0;  // 0: no scheduled trip yet
};

long long InsertRequest(DemoFile& requests, const TripShape& trip, const RequestState& state) {
    const DemoCustomer& customer = *trip.customer;
    const DemoDestination& destination = trip.destination();
    const BillRate& rate = RateNumber(customer.billRate);
    std::string teacher = TeacherId(customer);
    bool scheduled = state.fieldTripNumber != 0;
    return requests.insert(
        "TRIPSREQ",
        {{"CUSTOMER", customer.code},
         {"BILLCUST", customer.code},
         {"CONTACT", customer.teacherName},
         {"REQUESTOR_EMAIL", EmailOf(teacher)},
         {"DESTINATION", trip.destinationNumber},
         {"DESTDESC", destination.description},
         {"DESTADD1", destination.address1},
         {"DESTADD2", TextOrNull(destination.address2)},
         {"DESTCITY", destination.city},
         {"DESTSTATE", "MN"},
         {"DESTZIP", destination.zip},
         {"DESTCAT", destination.category},
         {"MILES", static_cast<double>(destination.miles)},
         {"DESTSPEC", TextOrNull(destination.specialInstructions)},
         {"DEPDATE", DayText(trip.departureDay)},
         {"RETDATE", DayText(trip.returnDay)},
         {"DEPTIME", TimeText(trip.departureMinute)},
         {"RETTIME", TimeText(trip.returnMinute)},
         {"ARRIVETIME", TimeText(trip.arriveMinute)},
         {"LEAVETIME", TimeText(trip.leaveMinute)},
         {"NUMSTUDENTS", trip.students},
         {"NUMADULTS", trip.adults},
         {"NUMHAND", trip.handicapped},
         {"ESTTIME", trip.estimatedHours()},
         {"ESTMILE", trip.estimatedMiles()},
         {"FUND", trip.fund},
         {"PO", TextOrNull(trip.purchaseOrder)},
         {"INTTRIPNUM", trip.internalNumber},
         {"TRIPCAT", trip.tripCategory},
         {"GRADE", trip.grade},
         {"PURPOSE", trip.purpose},
         {"CUSTSPEC", TextOrNull(customer.specialInstructions)},
         {"TRIPCOM", TextOrNull(trip.comment)},
         {"STATUS", state.status},
         {"STATUS_DATE", DateTimeText(state.statusDay, state.statusMinute / 60, state.statusMinute % 60)},
         {"STATUS_COMMENT", TextOrNull(state.statusComment)},
         {"CHAINID", TextOrNull(state.chain)},
         {"REQDATE", DateTimeText(state.enteredDay, state.enteredMinute / 60, state.enteredMinute % 60)},
         {"ENTERDATE", DateTimeText(state.enteredDay, state.enteredMinute / 60, state.enteredMinute % 60)},
         {"ENTEREDBY", teacher},
         {"BILLRATE", rate.rate},
         {"AMOUNT1", rate.amounts[0]},
         {"AMOUNT2", rate.amounts[1]},
         {"AMOUNT3", rate.amounts[2]},
         {"AMOUNT4", rate.amounts[3]},
         {"AMOUNT5", rate.amounts[4]},
         {"AMOUNTTXT1", TextOrNull(rate.labels[0])},
         {"AMOUNTTXT2", TextOrNull(rate.labels[1])},
         {"AMOUNTTXT3", TextOrNull(rate.labels[2])},
         {"AMOUNTTXT4", TextOrNull(rate.labels[3])},
         {"AMOUNTTXT5", TextOrNull(rate.labels[4])},
         {"CAPACITY", customer.capacity},
         {"CALCNUMDRIVERS", true},
         {"INVOICE_FORMAT", customer.invoiceFormat},
         {"TYPE", trip.vehicleType()},
         {"FIELDTRIP_NUM", scheduled ? Cell(state.fieldTripNumber) : Cell(nullptr)},
         {"SCHEDULE", scheduled ? Cell(trip.schedule()) : Cell(nullptr)},
         {"AUTOASSIGN", scheduled},
         {"NUMTYPE", scheduled ? Cell(trip.drivers()) : Cell(nullptr)},
         {"NUMADDL", scheduled ? Cell(0) : Cell(nullptr)},
         {"TICKET_FORMAT", scheduled ? Cell(trip.ticket()) : Cell(nullptr)}});
}

struct TripBook {
    bool canceled;
    bool assigned;
    bool billed;
    double billedDay;
    double paidShare;  // of the billed amount
    bool shuttle;
};

double BilledAmount(const TripShape& trip) {
    const BillRate& rate = RateNumber(trip.customer->billRate);
    double amount = trip.estimatedMiles() * rate.amounts[0] +
                    trip.estimatedHours() * rate.amounts[1] * trip.drivers() + rate.amounts[2] +
                    rate.amounts[3];
    return Cents(amount);
}

void InsertTrip(DemoFile& trips, long long tripNumber, std::optional<long long> requestNumber,
                const TripShape& trip, const TripBook& book) {
    const BillRate& rate = RateNumber(trip.customer->billRate);
    trips.insert(
        "TRIPS",
        {{"TRIPNUM", tripNumber},
         {"TRIPREQNUM", requestNumber ? Cell(*requestNumber) : Cell(nullptr)},
         {"CUSTOMER", trip.customer->code},
         {"BILLCUST", trip.customer->code},
         {"DESTINATION", trip.destinationNumber},
         {"DEPDATE", DayText(trip.departureDay)},
         {"DEPTIME", TimeText(trip.departureMinute)},
         {"RETDATE", DayText(trip.returnDay)},
         {"RETTIME", TimeText(trip.returnMinute)},
         {"ARRIVETIME", TimeText(trip.arriveMinute)},
         {"LEAVETIME", TimeText(trip.leaveMinute)},
         {"ESTTIME", trip.estimatedHours()},
         {"ESTMILE", trip.estimatedMiles()},
         {"INTTRIPNUM", trip.internalNumber},
         {"GRADE", trip.grade},
         {"FUND", trip.fund},
         {"PO", TextOrNull(trip.purchaseOrder)},
         {"TRIPCAT", trip.tripCategory},
         {"CONTACT", trip.customer->teacherName},
         {"PURPOSE", trip.purpose},
         {"NUMSTUDENTS", trip.students},
         {"NUMADULTS", trip.adults},
         {"SCHEDULE", trip.schedule()},
         {"SHUTTLE", book.shuttle},
         {"ASSIGNED", book.assigned},
         {"BILLED", book.billed},
         {"BILLDATE", book.billed ? Cell(DateTimeText(book.billedDay, 16, 30)) : Cell(nullptr)},
         {"CANCELED", book.canceled},
         {"CANDATE", book.canceled ? Cell(DateTimeText(trip.departureDay - 3, 11, 20)) : Cell(nullptr)},
         {"AMOUNT1", rate.amounts[0]},
         {"AMOUNT2", rate.amounts[1]},
         {"AMOUNT3", rate.amounts[2]},
         {"AMOUNT4", rate.amounts[3]},
         {"AMOUNT5", rate.amounts[4]}});

    if (book.assigned)
        for (int driver = 0; driver < trip.drivers(); ++driver)
            trips.insert("TRIPEMPLOYEES", {{"TRIPNUM", tripNumber},
                                           {"HOURS", trip.estimatedHours() + 0.5},
                                           {"MILES", trip.estimatedMiles()}});
    if (!book.billed) return;
    double billed = BilledAmount(trip);
    trips.insert("ARDETAIL", {{"TRIPNUM", tripNumber}, {"TRANCODE", "BIL"}, {"TRANAMT", billed}});
    if (book.paidShare > 0)  // payments are stored negative, so a trip's sum is what it still owes
        trips.insert(
            "ARDETAIL",
            {{"TRIPNUM", tripNumber}, {"TRANCODE", "PAY"}, {"TRANAMT", -Cents(billed * book.paidShare)}});
    trips.insert("TRIPSPLIT", {{"TRIPNUM", tripNumber}, {"FUND", trip.fund}});
    if (tripNumber % 3 == 0) {
        std::string_view other = trip.customer->funds[trip.fund == trip.customer->funds[0] ? 1 : 0];
        trips.insert("TRIPSPLIT", {{"TRIPNUM", tripNumber}, {"FUND", other}});
    }
}

constexpr int kScheduledTrips = 30;
constexpr long long kFirstTripNumber = 1001;

struct PlannedTrip {
    TripShape trip;
    TripBook book;
    long long number;
    long long requestNumber = 0;  // 0: entered by the office without a request
};

struct PlannedRequest {
    TripShape trip;
    RequestState state;
    int tripIndex = -1;  // into the planned trips, for an accepted request
};

// Scheduled trips from eight weeks back to six weeks ahead; most came from an accepted request.
void PlanScheduledTrips(const Calendar& calendar, std::vector<PlannedTrip>& trips,
                        std::vector<PlannedRequest>& requests) {
    for (int i = 0; i < kScheduledTrips; ++i) {
        const DemoCustomer& customer = kCustomers[i % 8];
        int variant = i / 8;
        int pool = customer.destinations[4] == 0 ? 4 : 5;
        int destination = customer.destinations[variant % pool];
        std::string_view category = customer.tripCategories[variant % 2];
        if (i == 27) {
            destination = 23;
            category = "OVN";
        }
        double day = calendar.schoolDay(calendar.today - 56 + (i * 98) / (kScheduledTrips - 1));
        if (day == calendar.today)  // keep today free so that "past" and "coming" stay clear-cut
            day = calendar.schoolDay(day + 1);
        TripShape trip = ShapeTrip(customer, destination, category, day, variant, i);

        TripBook book{};
        bool past = trip.returnDay < calendar.today;
        book.canceled = i == 6 || i == 23;
        book.assigned = !book.canceled && (past || trip.departureDay <= calendar.today + 14);
        book.billed = !book.canceled && trip.returnDay <= calendar.today - 5;
        book.billedDay = trip.returnDay + 3;
        if (book.billed && trip.returnDay <= calendar.today - 21) book.paidShare = i % 4 == 1 ? 0.5 : 1.0;
        book.shuttle = i == 13;

        long long tripNumber = kFirstTripNumber + i;
        trips.push_back({trip, book, tripNumber});
        if (i % 6 == 5) continue;
        RequestState state;
        state.status = "ACCEPTED";
        state.chain = std::string(ChainFor(customer, category));
        state.enteredDay = std::min(trip.departureDay - 30 + i % 5, calendar.today - 3 - i % 3);
        state.enteredMinute = 9 * 60 + (i * 7) % 60;
        state.statusDay = std::min(state.enteredDay + 9, calendar.today - 1);
        state.statusMinute = 14 * 60 + 10;
        state.statusComment = "Scheduled as trip " + std::to_string(tripNumber) + ".";
        state.fieldTripNumber = tripNumber;
        requests.push_back({trip, state, i});
    }
}

struct OpenRequest {
    std::string_view customer;
    int destination;
    int daysAhead;  // -1: on the early-release day
    std::string_view tripCategory;
    std::string_view status;
    int enteredDaysAgo;
    int statusDaysAgo;
    std::string_view comment;
};

// Requests still on their way through the approval chains, at every stage.
constexpr OpenRequest kOpenRequests[] = {
    {"MAPLE", 3, 21, "EDU", "UNAPPROVED", 1, 1, ""},
    {"RIVER", 10, 25, "EDU", "UNAPPROVED", 1, 1, ""},
    {"LMS", 22, 30, "EDU", "UNAPPROVED", 2, 2, ""},
    {"LHS", 23, 45, "OVN", "UNAPPROVED", 3, 3, ""},
    {"MAPLE", 8, -1, "EDU", "UNAPPROVED", 1, 1, ""},
    {"ATHL", 19, 9, "ATH", "UNAPPROVED", 1, 1, ""},
    {"CEDAR", 9, 18, "EDU", "PRINCIPAL APPROVED", 6, 2, "Approved. Send the permission slips to the office."},
    {"LMS", 13, 28, "EDU", "PRINCIPAL APPROVED", 5, 1, "Approved at school level."},
    {"ARTS", 16, 35, "MUS", "PRINCIPAL APPROVED", 8, 3, ""},
    {"LHS", 14, 20, "CMP", "DISTRICT APPROVED", 10, 2, "Approved by the district office."},
    {"LMS", 23, 40, "OVN", "DISTRICT APPROVED", 12, 1, "Chaperone list received."},
    {"ARTS", 24, 50, "OVN", "TRANSPORTATION REVIEWED", 14, 1, "Charter coach quote attached to the file."},
    {"SPED", 8, 16, "EDU", "Pending", 3, 3, ""},
    {"SPED", 20, 33, "EDU", "Pending", 1, 1, ""},
    {"ATHL", 17, 22, "ATH", "Denied", 7, 2, "Denied: the game was moved to our home gym."},
    {"RIVER", 4, 12, "EDU", "Denied", 9, 4, "Denied: the date falls in the state testing window."},
};

void PlanOpenRequests(const Calendar& calendar, std::vector<PlannedRequest>& requests) {
    int serial = 100;
    for (const OpenRequest& open : kOpenRequests) {
        const DemoCustomer& customer = CustomerByCode(open.customer);
        double day =
            open.daysAhead < 0 ? calendar.warningDay : calendar.schoolDay(calendar.today + open.daysAhead);
        TripShape trip = ShapeTrip(customer, open.destination, open.tripCategory, day, serial % 4, serial);
        ++serial;
        RequestState state;
        state.status = std::string(open.status);
        state.chain = std::string(ChainFor(customer, open.tripCategory));
        state.enteredDay = calendar.today - open.enteredDaysAgo;
        state.enteredMinute = 8 * 60 + 5 + (serial % 16) * 11;
        state.statusDay = calendar.today - open.statusDaysAgo;
        state.statusMinute = open.statusDaysAgo == open.enteredDaysAgo ? state.enteredMinute : 15 * 60 + 40;
        state.statusComment = std::string(open.comment);
        requests.push_back({trip, state});
    }
}

void FillTripsAndRequests(DemoFile& tripFile, DemoFile& requestFile, const Calendar& calendar) {
    std::vector<PlannedTrip> trips;
    std::vector<PlannedRequest> requests;
    PlanScheduledTrips(calendar, trips, requests);
    PlanOpenRequests(calendar, requests);
    // The store numbers requests as they come in, so numbers grow with the entry time.
    std::stable_sort(requests.begin(), requests.end(), [](const PlannedRequest& a, const PlannedRequest& b) {
        return std::tie(a.state.enteredDay, a.state.enteredMinute) <
               std::tie(b.state.enteredDay, b.state.enteredMinute);
    });
    for (const PlannedRequest& request : requests) {
        long long number = InsertRequest(requestFile, request.trip, request.state);
        if (request.tripIndex >= 0) trips[request.tripIndex].requestNumber = number;
    }
    for (const PlannedTrip& trip : trips)
        InsertTrip(tripFile, trip.number,
                   trip.requestNumber ? std::optional<long long>(trip.requestNumber) : std::nullopt,
                   trip.trip, trip.book);
}

std::string PathOf(const std::string& folder, DatabaseFile which) {
    return (std::filesystem::path(folder) / DatabaseFileName(which)).string();
}

}  // namespace

std::span<const DemoUser> DemoUsers() { return kUsers; }

void FillDemoDistrict(const std::string& nativeDataFolder, double today) {
    Calendar calendar(std::floor(today));
    DemoFile trip(PathOf(nativeDataFolder, DatabaseFile::Trip));
    DemoFile security(PathOf(nativeDataFolder, DatabaseFile::Security));
    DemoFile requests(PathOf(nativeDataFolder, DatabaseFile::TripSchl));
    for (std::string_view table : {"DISTRICT", "CUSTOMER", "DESTINATION", "FUND", "TRIPS", "Big_CalCalNotes"})
        trip.requireEmpty(table);
    security.requireEmpty("VLSCU");
    security.requireEmpty("VLSCC");
    requests.requireEmpty("TRIPSREQ");

    FillDistrict(trip);
    FillCodeTables(trip);
    FillCustomersAndDestinations(trip);
    FillCalendar(trip, calendar);
    FillSecurity(security);
    FillTripsAndRequests(trip, requests, calendar);

    security.commit();
    requests.commit();
    trip.commit();
}

}  // namespace excursa
