// The keys of the application store and of the session store, named once.
// Both stores ignore the letter case of keys.
#pragma once

#include <string_view>

namespace excursa::key {

// ------------------------------------------------------ application store

inline constexpr std::string_view DistName = "DISTNAME";            // district name for page headers
inline constexpr std::string_view DistAddr1 = "DISTADDR1";          // district address line
inline constexpr std::string_view DistCityStZip = "DISTCITYSTZIP";  // city + ", " + state + "  " + zip
inline constexpr std::string_view DistPhone = "DISTPHONE";          // district telephone
inline constexpr std::string_view TransTitle = "TRANSTITLE";        // published for the templates
inline constexpr std::string_view WebTitle = "WEBTITLE";            // published for the templates
inline constexpr std::string_view WebLink1 = "WEBLINK1";            // published for the templates
inline constexpr std::string_view WebLinkUrl1 = "WEBLINKURL1";      // published for the templates
inline constexpr std::string_view WebLink2 = "WEBLINK2";            // published for the templates
inline constexpr std::string_view WebLinkUrl2 = "WEBLINKURL2";      // published for the templates
inline constexpr std::string_view WebComment1 = "WEBCOMMENT1";      // published for the templates
inline constexpr std::string_view WebComment2 = "WEBCOMMENT2";      // published for the templates
inline constexpr std::string_view DefaultCalcNumDriver = "DEFAULT_CALCNUMDRIVER";  // new requests' default
inline constexpr std::string_view DefaultVType = "DEFAULTVTYPE";                   // new requests' vehicle type
inline constexpr std::string_view AutofillRequests = "AUTOFILL_REQUESTS";  // run the request search on opening
inline constexpr std::string_view AutofillTrips = "AUTOFILL_TRIPS";        // run the trip search on opening
inline constexpr std::string_view ViewOtherSchools = "VIEW_OTHER_SCHOOLS";  // customer-bound users see others
inline constexpr std::string_view FundDD = "DISTRICT.FUND_DD";              // "True": fund from a drop-down
inline constexpr std::string_view UseCustFund = "DISTRICT.USECUSTFUND";     // "True": only the customer's funds
inline constexpr std::string_view LeadTime = "DISTRICT.DEPDT_LEADTIME";     // days of notice before departure
inline constexpr std::string_view LeadTimeHardWarn = "DISTRICT.DEPDT_LEADTIME_HARDWARN";  // "True": too late stops
inline constexpr std::string_view TotalTripsLimit = "DISTRICT.TOTAL_TRIPS_LIMIT";         // trips per day
inline constexpr std::string_view TotalTripsLimitMessage = "DISTRICT.TOTAL_TRIPS_LIMIT_MESSAGE";  // its text
inline constexpr std::string_view TotalTripsHardWarn = "DISTRICT.TOTAL_TRIPS_HARDWARN";  // "True": limit stops
inline constexpr std::string_view RequiredPrefix = "TRIP_REQ_REQUIRED.";  // + column: "True" when required
inline constexpr std::string_view AppPath = "APP_PATH";                   // web application's physical folder
inline constexpr std::string_view SessionTimeout = "SESSION_TIMEOUT";     // minutes
inline constexpr std::string_view DotnetInstalled = "DOTNET_INSTALLED";   // companion inquiry site present
inline constexpr std::string_view InquiryUrl = "INQUIRY_URL";             // its address
inline constexpr std::string_view CalendarUrl = "CALENDAR_URL";           // the calendar page's address
inline constexpr std::string_view SmtpServer = "SmtpServer";              // mail host
inline constexpr std::string_view SmtpPort = "SmtpPort";                  // mail port
inline constexpr std::string_view SmtpAuthentication = "SmtpAuthentication";  // yes/no
inline constexpr std::string_view SmtpUsername = "SmtpUsername";              // mail user
inline constexpr std::string_view SmtpPassword = "SmtpPassword";              // mail password
inline constexpr std::string_view EmailFromAddress = "EmailFromAddress";      // sender address
inline constexpr std::string_view EmailFromName = "EmailFromName";            // sender name
inline constexpr std::string_view PageSize = "PageSize";                      // rows per report page

// Health and metrics
inline constexpr std::string_view SettingsLoaded = "EXCURSA.SETTINGS_LOADED";  // yes/no: last start succeeded

// ---------------------------------------------------------- session store

inline constexpr std::string_view User = "USER";          // signed-in user id; "" means the session expired
inline constexpr std::string_view Customer = "CUSTOMER";  // the user's customer code; blank: all customers
inline constexpr std::string_view Role = "ROLE";          // the user's approval role
inline constexpr std::string_view CanOverrideFund = "CANOVERRIDEFUND";  // "True": may use any fund
inline constexpr std::string_view CanOverrideDepartureDate = "CANOVERRIDEDEPARTUREDATE";  // may save late
inline constexpr std::string_view Funds = "Funds";                      // fund pick list (code, description)
inline constexpr std::string_view NumFunds = "numFunds";                // its count
inline constexpr std::string_view CustomersDD = "CustomersDD";          // customer pick list
inline constexpr std::string_view NumCustomers = "numCustomers";        // its count
inline constexpr std::string_view Destinations = "Destinations";        // destination pick list
inline constexpr std::string_view NumDestinations = "numDestinations";  // its count
inline constexpr std::string_view TripCat = "TripCat";                  // trip category pick list
inline constexpr std::string_view NumTripCat = "numTripCat";            // its count
inline constexpr std::string_view StatusVals = "StatusVals";            // request status pick list
inline constexpr std::string_view NumStatusVals = "numStatusVals";      // its count
inline constexpr std::string_view Divisions = "Divisions";              // division pick list
inline constexpr std::string_view NumDivisions = "numDivisions";        // its count
inline constexpr std::string_view Grades = "Grades";                    // grade pick list
inline constexpr std::string_view NumGrades = "numGrades";              // its count
inline constexpr std::string_view DestCats = "DESTCATS";                // destination category pick list
inline constexpr std::string_view NumDestCats = "numDESTCATs";          // its count
inline constexpr std::string_view TripReqComment = "TRIPREQ_COMMENT";   // the district's text for the form
inline constexpr std::string_view MailRequester = "EMAIL_OPTIONS.REQ_EXCURSA_CHANGE";  // "True": mail requester
inline constexpr std::string_view MailApprovers = "EMAIL_OPTIONS.APP_EXCURSA_CHANGE";  // "True": mail approvers
inline constexpr std::string_view LoadFromSession = "LoadRequestDetailFromSession";  // "True": form from keys
inline constexpr std::string_view TripReq = "TRIPREQ";  // number of the request on the form; "" when new
inline constexpr std::string_view DepDtWarn = "blnDepDtWarn";      // yes/no: a departure-date warning exists
inline constexpr std::string_view DepDtWarnText = "strDepDtWarn";  // its text
inline constexpr std::string_view RtnDtWarn = "blnRtnDtWarn";      // yes/no: a return-date or time warning
inline constexpr std::string_view RtnDtWarnText = "strRtnDtWarn";  // its text
inline constexpr std::string_view TripRequestReportQuery = "TripRequestReportQuery";  // last request search SQL
inline constexpr std::string_view TripReportQuery = "TripReportQuery";                // last trip search SQL
inline constexpr std::string_view TripReportSummaryCondition = "TripReportSummaryCondition";  // its condition
inline constexpr std::string_view SelTrip = "SELTRIP";            // "Y": fund lookup opened from trip search
inline constexpr std::string_view SelFund = "SelFund";            // the fund chosen in the fund lookup
inline constexpr std::string_view PageNumber = "PageNumber";      // page of the report shown
inline constexpr std::string_view RecordCount = "RecordCount";    // rows of the report shown
inline constexpr std::string_view ReportType = "ReportType";      // "REQUEST" or "TRIP"

// The searches.
inline constexpr std::string_view TripSearchFundLookup = "TripSearch.FundLookup";  // "Y": Fund opened the lookup

// The request being edited, field by field ("RequestDetail." + field).
namespace form {
inline constexpr std::string_view New = "RequestDetail.New";            // "NEW", "EXISTING" or ""
inline constexpr std::string_view Customer = "RequestDetail.customer";  // customer code
inline constexpr std::string_view CustSpec = "RequestDetail.custspec";  // customer's special instructions
inline constexpr std::string_view Contact = "RequestDetail.contact";    // contact
inline constexpr std::string_view Destination = "RequestDetail.destination";  // number, "0" or "0,<desc>"
inline constexpr std::string_view DestDesc = "RequestDetail.destdesc";        // destination description
inline constexpr std::string_view DestCat = "RequestDetail.destcat";          // destination category
inline constexpr std::string_view Miles = "RequestDetail.miles";              // destination's average miles
inline constexpr std::string_view DestAdd1 = "RequestDetail.destadd1";        // address line 1
inline constexpr std::string_view DestAdd2 = "RequestDetail.destadd2";        // address line 2
inline constexpr std::string_view DestCity = "RequestDetail.destcity";        // city
inline constexpr std::string_view DestState = "RequestDetail.deststate";      // state
inline constexpr std::string_view DestZip = "RequestDetail.destzip";          // zip or postal code
inline constexpr std::string_view DestSpec = "RequestDetail.destspec";        // destination's instructions
inline constexpr std::string_view Fund = "RequestDetail.Fund";                // fund code
inline constexpr std::string_view IntTripNum = "RequestDetail.INTTRIPNUM";    // customer's own trip number
inline constexpr std::string_view DepMonth = "RequestDetail.dep_month";       // departure month "Jan".."Dec"
inline constexpr std::string_view DepDate = "RequestDetail.dep_date";         // departure day
inline constexpr std::string_view DepYear = "RequestDetail.dep_year";         // departure year
inline constexpr std::string_view RetMonth = "RequestDetail.ret_month";       // return month
inline constexpr std::string_view RetDate = "RequestDetail.ret_date";         // return day
inline constexpr std::string_view RetYear = "RequestDetail.ret_year";         // return year
inline constexpr std::string_view DepHour = "RequestDetail.DEP_HOUR";         // departure hour 1..12
inline constexpr std::string_view DepMin = "RequestDetail.DEP_MIN";           // departure minute
inline constexpr std::string_view DepAmPm = "RequestDetail.DEP_AMPM";         // "AM" or "PM"
inline constexpr std::string_view RetHour = "RequestDetail.RET_HOUR";         // return hour
inline constexpr std::string_view RetMin = "RequestDetail.RET_MIN";           // return minute
inline constexpr std::string_view RetAmPm = "RequestDetail.RET_AMPM";         // return AM/PM
inline constexpr std::string_view ArriveHour = "RequestDetail.ARRIVE_HOUR";   // arrival hour
inline constexpr std::string_view ArriveMin = "RequestDetail.ARRIVE_MIN";     // arrival minute
inline constexpr std::string_view ArriveAmPm = "RequestDetail.ARRIVE_AMPM";   // arrival AM/PM
inline constexpr std::string_view LeaveHour = "RequestDetail.LEAVE_HOUR";     // leaving hour
inline constexpr std::string_view LeaveMin = "RequestDetail.LEAVE_MIN";       // leaving minute
inline constexpr std::string_view LeaveAmPm = "RequestDetail.LEAVE_AMPM";     // leaving AM/PM
inline constexpr std::string_view NumAdults = "RequestDetail.NUMADULTS";      // number of adults
inline constexpr std::string_view NumStudents = "RequestDetail.NUMSTUDENTS";  // number of students
inline constexpr std::string_view NumHand = "RequestDetail.NUMHAND";          // wheel chairs
inline constexpr std::string_view EstTime = "RequestDetail.ESTTIME";          // estimated hours
inline constexpr std::string_view EstMile = "RequestDetail.ESTMILE";          // estimated miles
inline constexpr std::string_view Purpose = "RequestDetail.PURPOSE";          // purpose
inline constexpr std::string_view TripCom = "RequestDetail.TRIPCOM";          // trip comment
inline constexpr std::string_view Po = "RequestDetail.PO";                    // purchase order
inline constexpr std::string_view TripCat = "RequestDetail.tripcat";          // trip category
inline constexpr std::string_view Grade = "RequestDetail.grade";              // grade
inline constexpr std::string_view RequestorEmail = "RequestDetail.requestoremail";  // requester's e-mail

// The picker parts of one date and of one time.
struct DateParts {
    std::string_view month, day, year;
};
struct TimeParts {
    std::string_view hour, minute, ampm;
};
inline constexpr DateParts Departure{DepMonth, DepDate, DepYear};
inline constexpr DateParts Return{RetMonth, RetDate, RetYear};
inline constexpr TimeParts DepartureTime{DepHour, DepMin, DepAmPm};
inline constexpr TimeParts ReturnTime{RetHour, RetMin, RetAmPm};
inline constexpr TimeParts ArriveTime{ArriveHour, ArriveMin, ArriveAmPm};
inline constexpr TimeParts LeaveTime{LeaveHour, LeaveMin, LeaveAmPm};
}  // namespace form

// ---------------------------------------------------- saving a request
namespace form {
inline constexpr std::string_view Version = "RequestDetail.version";  // version of the row the form was drawn from
}  // namespace form

}  // namespace excursa::key
