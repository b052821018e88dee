// The start event: loads the site settings, the district record and the
// required-field flags into the application store, then shows the sign-in page.
#include "config/settings.h"
#include "data/connections.h"
#include "frame/procedure.h"
#include "frame/worker_state.h"
#include "startup/items.h"

#include <array>
#include <utility>

namespace excursa {

namespace {

// The maker's web address published for the other pages of the site; the
// site's own entry page is a safe default that is never empty.
constexpr std::string_view kMakerWebAddress = "ExcursaLakemont.asp";

void WriteSettingsFileValues(Host& host) {
    host.appSet("SESSION_TIMEOUT", Value::Integer(GetSessionTimeOut()));
    host.appSet("PageSize", Value::Integer(20));
    host.appSet("DOTNET_INSTALLED", Value::Boolean(GetDotNetInstalled()));
    host.appSet("CALENDAR_URL", GetCalendarUrl());
    host.appSet("INQUIRY_URL", GetInquiryUrl());
    host.appSet("SmtpServer", GetSmtpServer());
    host.appSet("SmtpPort", GetSmtpPort());
    const bool authentication = GetSmtpAuthentication();
    host.appSet("SmtpAuthentication", Value::Boolean(authentication));
    host.appSet("SmtpUsername", authentication ? GetSmtpUsername() : std::string());
    host.appSet("SmtpPassword", authentication ? GetSmtpPassword() : std::string());
    host.appSet("EmailFromAddress", GetEmailFromAddress());
    host.appSet("EmailFromName", GetEmailFromName());
}

void WritePublishedConstants(Host& host) {
    host.appSet("WEBTITLE", "V.E.L. FIELD TRIPS");
    host.appSet("WEBLINK1", "Tarnwick Systems, Inc");
    host.appSet("WEBLINKURL1", kMakerWebAddress);
    host.appSet("WEBLINK2", "");
    host.appSet("WEBLINKURL2", "");
    host.appSet("WEBCOMMENT1", "");
    host.appSet("WEBCOMMENT2", "");
}

void WriteDistrictRow(Host& host, Recordset& rs) {
    auto text = [&](std::string_view column) { return Value(NullToSpace(rs.field(column))); };
    auto whole = [&](std::string_view column) { return Value::Long(NullToZero(rs.field(column))); };
    host.appSet("DISTNAME", text("DISTNAME"));
    host.appSet("DISTADDR1", text("DISTADDR1"));
    host.appSet("DISTCITYSTZIP", NullToSpace(rs.field("DISTCITY")) + ", " +
                                     NullToSpace(rs.field("DISTSTATE")) + "  " +
                                     NullToSpace(rs.field("DISTZIP")));
    host.appSet("DISTPHONE", text("DISTPHONE"));
    host.appSet("DEFAULT_CALCNUMDRIVER", text("DEFAULT_CALCNUMDRIVER"));
    host.appSet("DEFAULTVTYPE", text("DEFAULTVTYPE"));
    host.appSet("TRANSTITLE", text("TRANSTITLE"));
    WritePublishedConstants(host);
    host.appSet("AUTOFILL_REQUESTS", text("autofill_requests"));
    host.appSet("AUTOFILL_TRIPS", text("AUTOFILL"));
    host.appSet("VIEW_OTHER_SCHOOLS", text("VIEW_OTHER_SCHOOLS"));
    host.appSet("DISTRICT.FUND_DD", text("FUND_DD"));
    host.appSet("DISTRICT.DEPDT_LEADTIME", whole("DEPDT_LEADTIME"));
    host.appSet("DISTRICT.DEPDT_LEADTIME_HARDWARN", text("DEPDT_LEADTIME_HARDWARN"));
    host.appSet("DISTRICT.USECUSTFUND", text("USECUSTFUND"));
    host.appSet("DISTRICT.TOTAL_TRIPS_LIMIT", whole("TOTAL_TRIPS_LIMIT"));
    host.appSet("DISTRICT.TOTAL_TRIPS_LIMIT_MESSAGE", text("TOTAL_TRIPS_LIMIT_MESSAGE"));
    host.appSet("DISTRICT.TOTAL_TRIPS_HARDWARN", text("TOTAL_TRIPS_HARDWARN"));
}

// Without a district row; DEFAULTVTYPE keeps what an earlier start stored.
void WriteNoDistrictValues(Host& host) {
    host.appSet("DISTNAME", "");
    host.appSet("DISTADDR1", "");
    host.appSet("DISTCITYSTZIP", "");
    host.appSet("DISTPHONE", "");
    host.appSet("DEFAULT_CALCNUMDRIVER", Value::Boolean(true));
    host.appSet("TRANSTITLE", "");
    WritePublishedConstants(host);
    host.appSet("AUTOFILL_REQUESTS", Value::Boolean(true));
    host.appSet("AUTOFILL_TRIPS", Value::Boolean(true));
    host.appSet("VIEW_OTHER_SCHOOLS", Value::Boolean(false));
    host.appSet("DISTRICT.FUND_DD", "");
    host.appSet("DISTRICT.DEPDT_LEADTIME", Value::Long(0));
    host.appSet("DISTRICT.DEPDT_LEADTIME_HARDWARN", "");
    host.appSet("DISTRICT.USECUSTFUND", "");
    host.appSet("DISTRICT.TOTAL_TRIPS_LIMIT", Value::Long(0));
    host.appSet("DISTRICT.TOTAL_TRIPS_LIMIT_MESSAGE", "");
    host.appSet("DISTRICT.TOTAL_TRIPS_HARDWARN", "");
}

void LoadDistrict(Host& host) {
    Recordset rs = Recordset::Open(Use(cnTrip), "select * from District");
    if (rs.eof()) {
        WriteNoDistrictValues(host);
    } else {
        rs.moveFirst();
        WriteDistrictRow(host, rs);
    }
    rs.close();
}

// Column of TRIPREQ_REQUIRED, and the suffix of its application key.
constexpr std::array<std::pair<std::string_view, std::string_view>, 25> kRequiredFlags{{
    {"REQUEST_DATE_REQUIRED", "REQUEST_DATE_REQ"},
    {"FUND_REQUIRED", "FUND_REQ"},
    {"CUSTOMER_REQUIRED", "CUSTOMER_REQ"},
    {"CONTACT_REQ", "CONTACT_REQ"},
    {"DESTINATION_REQ", "DESTINATION_REQ"},
    {"DEPDATE_REQ", "DEPDATE_REQ"},
    {"DEPTIME_REQ", "DEPTIME_REQ"},
    {"RETDATE_REQ", "RETDATE_REQ"},
    {"RETTIME_REQ", "RETTIME_REQ"},
    {"ARRIVETIME_REQ", "ARRIVETIME_REQ"},
    {"LEAVETIME_REQ", "LEAVETIME_REQ"},
    {"ESTMILE_REQ", "ESTMILE_REQ"},
    {"ESTTIME_REQ", "ESTTIME_REQ"},
    {"NUMSTUDENTS_REQ", "NUMSTUDENTS_REQ"},
    {"NUMADULTS_REQ", "NUMADULTS_REQ"},
    {"NUMWHEEL_REQ", "NUMWHEEL_REQ"},
    {"PURPOSE_REQ", "PURPOSE_REQ"},
    {"DESTSPEC_REQ", "DESTSPEC_REQ"},
    {"CUSTSPEC_REQ", "CUSTSPEC_REQ"},
    {"TRIPCOM_REQ", "TRIPCOM_REQ"},
    {"PO_REQ", "PO_REQ"},
    {"TRIPCAT_REQ", "TRIPCAT_REQ"},
    {"INTTRIPNUM_REQ", "INTTRIPNUM_REQ"},
    {"GRADE_REQ", "GRADE_REQ"},
    {"INVOICE_COMMENT_REQ", "INVOICE_COMMENT_REQ"},
}};

void LoadRequiredFlags(Host& host) {
    Recordset rs = Recordset::Open(Use(cnTrip), "SELECT * FROM TRIPREQ_REQUIRED");
    const bool hasRow = !rs.eof();
    if (hasRow) rs.moveFirst();
    for (const auto& [column, suffix] : kRequiredFlags) {
        const std::string key = "TRIP_REQ_REQUIRED." + std::string(suffix);
        host.appSet(key, hasRow ? Value(NullToSpace(rs.field(column))) : Value(""));
    }
    rs.close();
}

}  // namespace

void WebClass_Start(AppObject& app) {
    Host& host = app.host;
    RunProcedure(
        app, Procedure{"WebClass_Start", kModuleExcursa},
        [&] {
            // Every start reloads: the load below runs whenever DISTNAME is empty.
            host.appSet("DISTNAME", "");
            const std::string physicalPath = host.serverVariable("APPL_PHYSICAL_PATH");
            if (strAppPath.empty()) strAppPath = physicalPath;
            host.appSet("APP_PATH", physicalPath);
            if (strTripDataPath.empty()) {
                SetTripPaths();
                if (ErrorTextIsSet()) return;
            }
            SetTripDBConnections();
            if (ErrorTextIsSet()) return;
            WriteSettingsFileValues(host);
            LoadDistrict(host);
            LoadRequiredFlags(host);
            CloseTripDBConnections();
            host.setNextItem("Login");
        },
        [] { CloseTripDBConnections(); });
}

}  // namespace excursa
