// The destination lookup's New form, its checks, and the new destination kept for the request.
#include "lookup/lookup_site.h"
#include "support/message_page.h"

namespace excursa {
namespace {

using testing::Form;
using testing::Tag;

constexpr const char* kMilesMessage =
    "<p>Please enter a valid number of miles (or 0) in the Average Miles field.</p>";
constexpr const char* kNoDescriptionMessage =
    "<p align='center'>When entering in a new destination, a destination description is required.</p>"
    "<p>Please use your browser's back button and enter a description with 75 characters or less.</p>";
constexpr const char* kLongDescriptionMessage =
    "<p>The destination description you have entered is too long, please use your browser's back button and "
    "enter a description with 75 characters or less.</p>";
constexpr const char* kLongAddressMessage =
    "<p>The destination address you have entered is too long, please use your browser's back button and "
    "enter "
    "an address with 30 characters or less.</p>";
constexpr const char* kLongAddress2Message =
    "<p>The second line of the destination address you have entered is too long, please use your browser's "
    "back button and enter an address with 30 characters or less.</p>";
constexpr const char* kLongCityMessage =
    "<p>The destination city you have entered is too long, please use your browser's back button and enter a "
    "city with 15 characters or less.</p>";
constexpr const char* kLongStateMessage =
    "<p>The destination state you have entered is too long, please use your browser's back button and enter "
    "a "
    "state code with 2 characters.</p>";
constexpr const char* kLongZipMessage =
    "<p>The destination zip/postal code you have entered is too long, please use your browser's back button "
    "and "
    "enter a zip or postal code with 10 characters or less.</p>";

class NewDestinationTest : public testing::LookupSite {
protected:
    NewDestinationTest() {
        useMarkedTemplates();
        start();
    }

    std::string newForm(MemoryHost& browser) {
        return Tag(post(browser, "LookupDest", "FindDests", {{"DESTDESC", "zoo"}, {"btnsubmit", "new"}}),
                   "WC@RESULTS");
    }

    // Posts a new destination: a valid one, with `changes` over it.
    std::string typeIn(MemoryHost& browser, const Form& changes) {
        Form form{{"SelDest", "0"},     {"DESTDESC", "Camp Pine"}, {"DESTCAT", "PARK"},  {"MILES", "40"},
                  {"DESTADD1", "Rt 9"}, {"DESTADD2", "Box 4"},     {"DESTCITY", "Pine"}, {"DESTSTATE", "NY"},
                  {"DESTZIP", "12345"}, {"DESTSPEC", "Bus lot"}};
        for (const auto& [name, value] : changes) {
            for (auto& field : form) {
                if (field.first == name) field.second = value;
            }
        }
        return post(browser, "LookupDest", "RetwSelected", form);
    }
};

TEST_F(NewDestinationTest, FormIsPrefilledFromTheRequestAndOffersTheCategories) {
    MemoryHost browser(*app_);
    onRequestForm(browser, "office", "7");
    const std::pair<const char*, const char*> kept[] = {
        {"destdesc", "Bo's <camp>"}, {"miles", "12"},     {"destadd1", "Rt 9"}, {"destadd2", "Box 4"},
        {"destcity", "Pine"},        {"deststate", "NY"}, {"destzip", "12345"}, {"destspec", "</textarea>&"}};
    for (const auto& [field, value] : kept)
        session(browser).set(std::string("RequestDetail.") + field, value);
    EXPECT_EQ(newForm(browser),
              "<table border='1'><tr><td colspan='3'><h1>Add a Destination</h1></td></tr>"
              "<tr><td>Description:</td><td><input type='text' name='DESTDESC' size='50' maxlength='75' "
              "value='Bo&#39;s &lt;camp&gt;'></td></tr>"
              "<tr><td>Category:</td><td><select name='DESTCAT'><option></option><option>PARK</option>"
              "<option>MUSEUM</option></select></td></tr>"
              "<tr><td>Average Miles:</td><td><input type='text' name='MILES' size='4' value='12'></td></tr>"
              "<tr><td>Address:</td><td><input type='text' name='DESTADD1' size='30' maxlength='30' "
              "value='Rt 9'></td></tr>"
              "<tr><td>&nbsp;</td><td><input type='text' name='DESTADD2' size='30' maxlength='30' value='Box "
              "4'></td></tr>"
              "<tr><td>City:</td><td><input type='text' name='DESTCITY'  size='15' maxlength='15' "
              "value='Pine'></td></tr>"
              "<tr><td>State:</td><td><input type='text' name='DESTSTATE'  size='2' maxlength='2' "
              "value='NY'></td></tr>"
              "<tr><td>Zip/Postal Code:</td><td><input type='text' name='DESTZIP' size='10' maxlength='10' "
              "value='12345'></td></tr>"
              "<tr><td>Special Instructions:</td><td><textarea rows='3' cols='60' name='DESTSPEC'>"
              "&lt;/textarea&gt;&amp;</TEXTAREA></td></tr></table>"
              "<span style='visibility: hidden'><input type='text' name='SelDest' value='0'></SPAN>"
              "<p align='center'><input type='submit' value='Return' name='btnSubmit2'></p><p>&nbsp;</p>");
}

TEST_F(NewDestinationTest, EmptyCategoryListGivesOneBlankChoice) {
    MemoryHost browser(*app_);
    onRequestForm(browser, "office", "7");
    session(browser).set("numDESTCATs", Value::Integer(0));
    EXPECT_NE(newForm(browser).find("<td><select name='DESTCAT'><option> </option></select></td>"),
              std::string::npos);
}

TEST_F(NewDestinationTest, ChecksRunInOrderAndTheFirstFailureIsThePage) {
    const std::string desc75(75, 'd');
    struct Case {
        Form changes;
        const char* refusal;  // "" when the destination is accepted
    };
    const Case cases[] = {
        {{}, ""},
        {{{"DESTDESC", "  " + desc75 + "  "}}, ""},
        {{{"DESTDESC", desc75 + "d"}}, kLongDescriptionMessage},
        {{{"DESTDESC", std::string(75, ' ')}}, ""},
        {{{"DESTDESC", ""}}, kNoDescriptionMessage},
        {{{"MILES", ""}}, ""},
        {{{"MILES", " 12.5 "}}, ""},
        {{{"MILES", "ten"}, {"DESTDESC", ""}}, kMilesMessage},
        {{{"DESTADD1", std::string(31, 'a')}}, kLongAddressMessage},
        {{{"DESTADD2", std::string(31, 'a')}, {"DESTCITY", std::string(16, 'c')}}, kLongAddress2Message},
        {{{"DESTCITY", std::string(16, 'c')}}, kLongCityMessage},
        {{{"DESTSTATE", "NYC"}}, kLongStateMessage},
        {{{"DESTSTATE", " NY "}}, ""},
        {{{"DESTZIP", "12345-67890"}}, kLongZipMessage},
        {{{"DESTCITY", "Saint-Rémi-sur"}}, ""},
    };
    for (const Case& c : cases) {
        MemoryHost browser(*app_);
        onRequestForm(browser, "office", "7");
        session(browser).set("RequestDetail.destination", "1");
        const std::string page = typeIn(browser, c.changes);
        const std::string what = c.changes.empty() ? "valid" : c.changes[0].first + "=" + c.changes[0].second;
        if (*c.refusal == '\0') {
            EXPECT_EQ(sessionText(browser, "RequestDetail.destination"), "0") << what;
            EXPECT_NE(page.find("<form name=\"TripRequestDetail\""), std::string::npos) << what;
        } else {
            EXPECT_EQ(testing::WrittenText(page), c.refusal) << what;
            EXPECT_EQ(sessionText(browser, "RequestDetail.destination"), "1") << what << ": nothing kept";
        }
    }
}

TEST_F(NewDestinationTest, AcceptedDestinationIsKeptAsTypedAndShownAsNew) {
    MemoryHost browser(*app_);
    onRequestForm(browser, "office", "7");
    const std::string page = typeIn(browser, {{"DESTDESC", " Camp <Pine> "}, {"MILES", " 40 "}});
    const std::pair<const char*, const char*> kept[] = {
        {"destination", "0"}, {"destdesc", " Camp <Pine> "}, {"destcat", "PARK"},
        {"miles", " 40 "},    {"destadd1", "Rt 9"},          {"destadd2", "Box 4"},
        {"destcity", "Pine"}, {"destzip", "12345"},          {"destspec", "Bus lot"},
        {"deststate", "NY"}};
    for (const auto& [field, value] : kept) {
        EXPECT_EQ(sessionText(browser, std::string("RequestDetail.") + field), value) << field;
    }
    EXPECT_NE(page.find("<option value='0' selected> Camp &lt;Pine&gt; </option>"), std::string::npos)
        << page;
    EXPECT_NE(page.find("** New **"), std::string::npos);

    // Going back and pressing New again shows what was kept.
    EXPECT_NE(newForm(browser).find("value=' Camp &lt;Pine&gt; '"), std::string::npos);
}

}  // namespace
}  // namespace excursa
