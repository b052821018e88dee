// The start event: loads the site settings, the district record and the
// required-field flags into the application store, then shows the sign-in page.
#include "config/settings.h"
#include "data/connections.h"
#include "frame/keys.h"
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
    host.appSet(key::SessionTimeout, Value::Integer(GetSessionTimeOut()));
    host.appSet(key::PageSize, Value::Integer(20));
    host.appSet(key::DotnetInstalled, Value::Boolean(GetDotNetInstalled()));
    host.appSet(key::CalendarUrl, GetCalendarUrl());
    host.appSet(key::InquiryUrl, GetInquiryUrl());
    host.appSet(key::SmtpServer, GetSmtpServer());
    host.appSet(key::SmtpPort, GetSmtpPort());
    const bool authentication = GetSmtpAuthentication();
    host.appSet(key::SmtpAuthentication, Value::Boolean(authentication));
    host.appSet(key::SmtpUsername, authentication ? GetSmtpUsername() : std::string());
    host.appSet(key::SmtpPassword, authentication ? GetSmtpPassword() : std::string());
    host.appSet(key::EmailFromAddress, GetEmailFromAddress());
    host.appSet(key::EmailFromName, GetEmailFromName());
}

void WritePublishedConstants(Host& host) {
    host.appSet(key::WebTitle, "V.E.L. FIELD TRIPS");
    host.appSet(key::WebLink1, "Tarnwick Systems, Inc");
    host.appSet(key::WebLinkUrl1, kMakerWebAddress);
    host.appSet(key::WebLink2, "");
    host.appSet(key::WebLinkUrl2, "");
    host.appSet(key::WebComment1, "");
    host.appSet(key::WebComment2, "");
}

void WriteDistrictRow(Host& host, Recordset& rs) {
    auto text = [&](std::string_view column) { return Value(NullToSpace(rs.field(column))); };
    auto whole = [&](std::string_view column) { return Value::Long(NullToZero(rs.field(column))); };
    host.appSet(key::DistName, text("DISTNAME"));
    host.appSet(key::DistAddr1, text("DISTADDR1"));
    host.appSet(key::DistCityStZip, NullToSpace(rs.field("DISTCITY")) + ", " +
                                        NullToSpace(rs.field("DISTSTATE")) + "  " +
                                        NullToSpace(rs.field("DISTZIP")));
    host.appSet(key::DistPhone, text("DISTPHONE"));
    host.appSet(key::DefaultCalcNumDriver, text("DEFAULT_CALCNUMDRIVER"));
    host.appSet(key::DefaultVType, text("DEFAULTVTYPE"));
    host.appSet(key::TransTitle, text("TRANSTITLE"));
    WritePublishedConstants(host);
    host.appSet(key::AutofillRequests, text("autofill_requests"));
    host.appSet(key::AutofillTrips, text("AUTOFILL"));
    host.appSet(key::ViewOtherSchools, text("VIEW_OTHER_SCHOOLS"));
    host.appSet(key::FundDD, text("FUND_DD"));
    host.appSet(key::LeadTime, whole("DEPDT_LEADTIME"));
    host.appSet(key::LeadTimeHardWarn, text("DEPDT_LEADTIME_HARDWARN"));
    host.appSet(key::UseCustFund, text("USECUSTFUND"));
    host.appSet(key::TotalTripsLimit, whole("TOTAL_TRIPS_LIMIT"));
    host.appSet(key::TotalTripsLimitMessage, text("TOTAL_TRIPS_LIMIT_MESSAGE"));
    host.appSet(key::TotalTripsHardWarn, text("TOTAL_TRIPS_HARDWARN"));
}

// Without a district row; DEFAULTVTYPE keeps what an earlier start stored.
void WriteNoDistrictValues(Host& host) {
    host.appSet(key::DistName, "");
    host.appSet(key::DistAddr1, "");
    host.appSet(key::DistCityStZip, "");
    host.appSet(key::DistPhone, "");
    host.appSet(key::DefaultCalcNumDriver, Value::Boolean(true));
    host.appSet(key::TransTitle, "");
    WritePublishedConstants(host);
    host.appSet(key::AutofillRequests, Value::Boolean(true));
    host.appSet(key::AutofillTrips, Value::Boolean(true));
    host.appSet(key::ViewOtherSchools, Value::Boolean(false));
    host.appSet(key::FundDD, "");
    host.appSet(key::LeadTime, Value::Long(0));
    host.appSet(key::LeadTimeHardWarn, "");
    host.appSet(key::UseCustFund, "");
    host.appSet(key::TotalTripsLimit, Value::Long(0));
    host.appSet(key::TotalTripsLimitMessage, "");
    host.appSet(key::TotalTripsHardWarn, "");
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
        host.appSet(std::string(key::RequiredPrefix) + std::string(suffix),
                    hasRow ? Value(NullToSpace(rs.field(column))) : Value(""));
    }
    rs.close();
}

}  // namespace

void WebClass_Start(AppObject& app) {
    Host& host = app.host;
    RunProcedure(app, Procedure{"WebClass_Start", kModuleExcursa}, [&] {
        // Every start reloads: the load below runs whenever DISTNAME is empty.
        host.appSet(key::DistName, "");
        const std::string physicalPath = host.serverVariable("APPL_PHYSICAL_PATH");
        if (strAppPath.empty()) strAppPath = physicalPath;
        host.appSet(key::AppPath, physicalPath);
        if (strTripDataPath.empty()) {
            SetTripPaths();
            if (ErrorTextIsSet()) return;
        }
        PageResources db;
        if (!db.open()) return;
        WriteSettingsFileValues(host);
        LoadDistrict(host);
        LoadRequiredFlags(host);
        host.setNextItem("Login");
    });
    // Written last, so that a start running beside a health probe does not flap its answer.
    host.appSet(key::SettingsLoaded, Value::Boolean(!ErrorTextIsSet()));
}

}  // namespace excursa
