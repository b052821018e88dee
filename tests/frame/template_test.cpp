#include "frame/template.h"

#include "frame/value.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <map>
#include <thread>

namespace excursa {
namespace {

// Writes the template the way the host does: tags replaced by a table of
// known names, unknown tags keeping their contents.
std::string Fill(std::string_view html, const std::map<std::string, std::string>& known) {
    std::string out;
    for (const TemplatePiece& piece : ParseTemplate(html).pieces) {
        if (!piece.isTag) {
            out += piece.text;
            continue;
        }
        std::string contents = piece.text;
        for (const auto& [name, replacement] : known) {
            if (SameTextNoCase(name, piece.tagName)) contents = replacement;
        }
        out += contents;
    }
    return out;
}

TEST(TemplateTest, TagNamesMatchWithoutRegardToCase) {
    const std::map<std::string, std::string> known{{"WC@NAME", "Lakemont"}};
    EXPECT_EQ(Fill("<h1><wc@Name>x</wc@Name></h1>", known), "<h1>Lakemont</h1>");
    EXPECT_EQ(Fill("<h1><WC@NAME></WC@NAME></h1>", known), "<h1>Lakemont</h1>");
    EXPECT_EQ(Fill("<h1><wc@name>x</WC@NAME></h1>", known), "<h1>Lakemont</h1>");
}

TEST(TemplateTest, UnknownTagKeepsItsContentsOnly) {
    EXPECT_EQ(Fill("a<WC@TIMEOUT><p>kept</p></WC@TIMEOUT>b", {}), "a<p>kept</p>b");
}

TEST(TemplateTest, SeveralAndAdjacentTags) {
    const std::map<std::string, std::string> known{{"WC@A", "1"}, {"WC@B", "2"}};
    EXPECT_EQ(Fill("<WC@A></WC@A><WC@B>x</WC@B>-<WC@A>y</WC@A><WC@C>z</WC@C>", known), "12-1z");
}

TEST(TemplateTest, ContentsPassedAsWritten) {
    const ParsedTemplate parsed =
        ParseTemplate("<WC@CUSTOMER>style='width:9em' onchange='go()'</WC@CUSTOMER>");
    ASSERT_EQ(parsed.pieces.size(), 1u);
    EXPECT_EQ(parsed.pieces[0].tagName, "WC@CUSTOMER");
    EXPECT_EQ(parsed.pieces[0].text, "style='width:9em' onchange='go()'");
}

TEST(TemplateTest, IncompleteMarkersStayLiteral) {
    EXPECT_EQ(Fill("<WC@OPEN>never closed", {{"WC@OPEN", "x"}}), "<WC@OPEN>never closed");
    EXPECT_EQ(Fill("<WC@ bad>text", {}), "<WC@ bad>text");
    EXPECT_EQ(Fill("plain <b>html</b> only", {}), "plain <b>html</b> only");
    EXPECT_EQ(Fill("", {}), "");
}

TEST(TemplateTest, CacheReparsesAChangedFileOnceTheRecheckTimeHasPassed) {
    testing::TempFolder folder;
    const auto file = folder.write("page.htm", "<WC@A>one</WC@A>");
    TemplateCache cache(std::chrono::milliseconds(200));
    auto first = cache.get(file);
    EXPECT_EQ(first->pieces.at(0).text, "one");
    EXPECT_EQ(cache.get(file), first) << "an unchanged file is parsed once";

    folder.write("page.htm", "<WC@A>second version</WC@A>");
    std::filesystem::last_write_time(file, std::filesystem::last_write_time(file) + std::chrono::seconds(2));
    EXPECT_EQ(cache.get(file), first) << "the file was looked at again before its recheck time";
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    EXPECT_EQ(cache.get(file)->pieces.at(0).text, "second version");
    const auto second = cache.get(file);
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    EXPECT_EQ(cache.get(file), second) << "an unchanged file, looked at again, is not parsed again";
}

TEST(TemplateTest, MissingTemplateNamesTheFile) {
    TemplateCache cache;
    try {
        cache.get("/nonexistent/folder/login1.htm");
        FAIL() << "expected an error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("/nonexistent/folder/login1.htm"), std::string::npos);
    }
}

}  // namespace
}  // namespace excursa
