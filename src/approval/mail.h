// E-mail notices of a request's status: one mail through the district's SMTP server, the next
// approvers' addresses, and the two notices that a save sends.
//
// Mail is sent while the user's request waits, so a mail server that is down or silent costs a
// bounded time: connecting and each reply may take SmtpTimeoutSeconds (an optional key of trip.ini,
// 10 seconds when it is missing), after which the send counts as failed.
#pragma once

#include "frame/app_object.h"

#include <string>
#include <string_view>

namespace excursa {

inline constexpr std::string_view kMailErrorLogFile = "C:\\VEL\\ExcursaLakemont\\ErrorLog.xml";
inline constexpr int kDefaultSmtpTimeoutSeconds = 10;

// Sends one mail; the recipient text may hold several addresses separated by "; ". Every step is
// traced in the diagnostic log, and a failed send is also recorded in the XML error log; neither is
// an error of the page. Settings without a server or a sender set strErrorText. Writes strErrorText
// at its end when it is set.
void SendEmail(AppObject& app, const std::string& recipient, const std::string& subject,
               const std::string& body);

// The addresses of the users of `role` who work for `customer` or for every customer, joined by
// "; "; "NA" when there are none, "" for an empty role. Uses the open connections; a failure
// leaves its text in strErrorText.
std::string GetApproverEmail(const std::string& role, const std::string& customer);

// A request as stored by a save, as the notices tell it.
struct RequestNotice {
    std::string tripNumber;
    std::string status;
    std::string oldStatus;  // before the save; "" for a new request
    bool isNew = false;
    std::string requestorEmail;
    std::string chainId;
    std::string customer;  // code
    std::string customerName;
    std::string destination;  // description
    std::string departureDate;
    std::string students;
};

// The requester's mail and the next approvers' mail, each when the district asks for it and the
// status changed. False when an error text ends the save there.
bool SendStatusNotices(AppObject& app, const RequestNotice& notice);

}  // namespace excursa
