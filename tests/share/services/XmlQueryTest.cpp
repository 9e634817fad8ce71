#include "share/services/XmlQuery.h"

#include "platform/SystemLog.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

namespace {

using namespace services;

// Collects the system log lines while a test runs.
class XmlQueryTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_previous = platform::setSystemLogSink([this](const std::string& line) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_lines.push_back(line);
        });
    }
    void TearDown() override { platform::setSystemLogSink(std::move(m_previous)); }

    std::vector<std::string> lines()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_lines;
    }

private:
    platform::SystemLogSink m_previous;
    std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

TEST_F(XmlQueryTest, RecordsCarryNameMergedTextAttributesAndNonTextChildren)
{
    const std::string answer = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                               "<rsp stat=\"ok\">\n"
                               "  <photoset id=\"72157\" photos=\" 12 \">\n"
                               "    <title>\n   Summer  \n</title>\n"
                               "    <!-- note -->\n"
                               "    <description/>\n"
                               "  </photoset>\n"
                               "</rsp>\n";
    const auto records = queryXPathNodes(answer, "///photoset");
    ASSERT_EQ(records.size(), 1u);
    const XmlNodeRecord& set = records[0];
    EXPECT_EQ(set.nodeName, "photoset");
    // Only blank text between the children: trimmed to nothing, but present.
    EXPECT_EQ(set.nodeContent, "");
    ASSERT_EQ(set.nodeAttributeArray.size(), 2u);
    EXPECT_EQ(set.nodeAttributeArray[0].attributeName, "id");
    EXPECT_EQ(set.nodeAttributeArray[0].nodeContent, "72157");
    EXPECT_EQ(set.nodeAttributeArray[1].attributeName, "photos");
    EXPECT_EQ(set.nodeAttributeArray[1].nodeContent, "12");

    ASSERT_EQ(set.nodeChildArray.size(), 3u);  // title, comment, description: no text records
    EXPECT_EQ(set.nodeChildArray[0].nodeName, "title");
    EXPECT_EQ(set.nodeChildArray[0].nodeContent, "Summer");
    EXPECT_TRUE(set.nodeChildArray[0].nodeAttributeArray.empty());
    EXPECT_EQ(set.nodeChildArray[1].nodeName, "comment");
    EXPECT_EQ(set.nodeChildArray[1].nodeContent, " note ");
    EXPECT_EQ(set.nodeChildArray[2].nodeName, "description");
    EXPECT_FALSE(set.nodeChildArray[2].nodeContent.has_value());
    EXPECT_TRUE(set.nodeChildArray[2].nodeChildArray.empty());
    EXPECT_TRUE(lines().empty());
}

TEST_F(XmlQueryTest, TextSplitByAChildIsMergedWithoutSeparator)
{
    const std::string answer = "<error>\n  Status is\n <b>a</b>\n duplicate. \n</error>";
    EXPECT_EQ(xmlTextsOf(answer, "//error"), std::vector<std::string>{"Status isduplicate."});
    // Non-breaking spaces and CDATA count as blank and as text.
    EXPECT_EQ(xmlTextsOf("<a>\xC2\xA0x<![CDATA[ <y> ]]>\xE2\x80\xA8</a>", "/a"), std::vector<std::string>{"x<y>"});
    // Predefined entities and character references are text.
    EXPECT_EQ(xmlTextsOf("<a>Tom &amp; &#74;erry &lt;3</a>", "/a"), std::vector<std::string>{"Tom & Jerry <3"});
}

TEST_F(XmlQueryTest, MatchedAttributeAndTextNodes)
{
    const std::string answer = "<user nsid=\" 42@N00 \"><name> Ann </name></user>";
    const auto attribute = queryXPathNodes(answer, "//user/@nsid");
    ASSERT_EQ(attribute.size(), 1u);
    EXPECT_EQ(attribute[0].nodeName, "nsid");
    EXPECT_EQ(attribute[0].nodeContent, "42@N00");
    const auto text = queryXPathNodes(answer, "//name/text()");
    ASSERT_EQ(text.size(), 1u);
    EXPECT_EQ(text[0].nodeContent, " Ann ");  // a text node of its own is not trimmed
}

struct StatusCase {
    const char* answer;
    const char* expression;
    int status;
};

class XmlStatusOk : public XmlQueryTest, public testing::WithParamInterface<StatusCase> {};

TEST_P(XmlStatusOk, AnswersTwoHundredOnlyForAnOkAttribute)
{
    EXPECT_EQ(xmlStatusOk(GetParam().answer, GetParam().expression), GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, XmlStatusOk,
    testing::Values(StatusCase{"<rsp stat=\"ok\"><frob>1</frob></rsp>", "/rsp", 200},
                    StatusCase{"<rsp stat=\"fail\"><err code=\"98\" msg=\"Invalid auth token\"/></rsp>", "/rsp", 400},
                    StatusCase{"<rsp stat=\"OK\"/>", "/rsp", 400},
                    // Any attribute of any matched node will do.
                    StatusCase{"<rsp other=\"x\" stat2=\"ok\"/>", "/rsp", 200},
                    StatusCase{"<r><a s=\"no\"/><a s=\"ok\"/></r>", "//a", 200},
                    // The attribute of a child does not count.
                    StatusCase{"<rsp><x stat=\"ok\"/></rsp>", "/rsp", 400},
                    StatusCase{"<rsp>ok</rsp>", "/rsp", 400},
                    StatusCase{"", "/rsp", 400}, StatusCase{"not xml", "/rsp", 400},
                    StatusCase{"<rsp stat=\"ok\"/>", "/rsp[", 400}));

TEST_F(XmlQueryTest, ExistsAnswersTwoHundredWhenAnythingMatches)
{
    const std::string answer = "<status><id>1</id><error>Status is a duplicate.</error></status>";
    EXPECT_EQ(xmlNodeExists(answer, "//id"), 200);
    EXPECT_EQ(xmlNodeExists(answer, "//error"), 200);
    EXPECT_EQ(xmlNodeExists(answer, "//photoid"), 400);
    EXPECT_EQ(xmlNodeExists("", "//id"), 400);
}

TEST_F(XmlQueryTest, TextsOfKeepsPositionsForEmptyElements)
{
    const std::string answer = "<rsp stat=\"ok\"><photosets>"
                               "<photoset id=\"1\"><title>One</title></photoset>"
                               "<photoset id=\"2\"><title/></photoset>"
                               "<photoset id=\"3\"><title> Three </title></photoset>"
                               "</photosets></rsp>";
    EXPECT_EQ(xmlTextsOf(answer, "///photoset/title"), (std::vector<std::string>{"One", "", "Three"}));
    EXPECT_EQ(xmlTextsOf("<a><tags><tag>x</tag><tag>y</tag></tags></a>", "////tag"),
              (std::vector<std::string>{"x", "y"}));
}

TEST_F(XmlQueryTest, AttributeValueTakesTheFirstOrTheLastNodeThatHasIt)
{
    const std::string answer = "<r><user/><user id=\"1\" name=\"\"/><user/><user id=\"3\"/><user/></r>";
    EXPECT_EQ(xmlFirstAttributeValue(answer, "//user", "id"), "1");
    EXPECT_EQ(xmlLastAttributeValue(answer, "//user", "id"), "3");
    // Present but empty is a value.
    EXPECT_EQ(xmlFirstAttributeValue(answer, "//user", "name"), "");
    // Nobody has it: nothing, or the empty string.
    EXPECT_EQ(xmlFirstAttributeValue(answer, "//user", "nsid"), std::nullopt);
    EXPECT_EQ(xmlLastAttributeValue(answer, "//user", "nsid"), "");
    EXPECT_EQ(xmlFirstAttributeValue("", "//user", "id"), std::nullopt);
    EXPECT_EQ(xmlLastAttributeValue("<<<", "//user", "id"), "");
}

struct FailureCase {
    const char* answer;
    const char* expression;
    const char* logLine;
};

class XmlQueryFailure : public XmlQueryTest, public testing::WithParamInterface<FailureCase> {};

TEST_P(XmlQueryFailure, GivesAnEmptyListAndLogsWhy)
{
    EXPECT_TRUE(queryXPathNodes(GetParam().answer, GetParam().expression).empty());
    EXPECT_EQ(lines(), std::vector<std::string>{GetParam().logLine});
}

INSTANTIATE_TEST_SUITE_P(Answers, XmlQueryFailure,
                         testing::Values(FailureCase{"", "/rsp", "Unable to parse."},
                                         FailureCase{"Bad Request: no such method", "/rsp", "Unable to parse."},
                                         FailureCase{"{\"error\":{\"message\":\"x\"}}", "/rsp", "Unable to parse."},
                                         FailureCase{"<rsp/>", "//rsp[", "Unable to evaluate XPath."},
                                         FailureCase{"<rsp/>", "count(//rsp)", "Nodes was nil."}));

TEST_F(XmlQueryTest, NothingMatchedIsAnEmptyListWithoutComplaint)
{
    EXPECT_TRUE(queryXPathNodes("<rsp/>", "//token").empty());
    EXPECT_TRUE(lines().empty());
}

TEST_F(XmlQueryTest, MalformedAnswerIsReadAsFarAsRecoveryGets)
{
    // Unclosed elements, a stray "&" and a truncated end.
    const std::string answer = "<rsp stat=\"ok\"><auth><token>72157-abc</token>"
                               "<perms>write & more</perms><user nsid=\"42@N00\" username=\"ann\"";
    EXPECT_EQ(xmlStatusOk(answer, "/rsp"), 200);
    EXPECT_EQ(xmlTextsOf(answer, "///token"), std::vector<std::string>{"72157-abc"});
    // Mismatched end tags.
    EXPECT_EQ(xmlTextsOf("<a><b>one</c><b>two</b></a>", "//b"), (std::vector<std::string>{"one", "two"}));
}

TEST_F(XmlQueryTest, EntityExpansionIsNeverPerformed)
{
    // Ten levels of ten references: a billion "lol"s if anything expanded them.
    std::string answer = "<?xml version=\"1.0\"?>\n<!DOCTYPE lolz [\n<!ENTITY lol \"lol\">\n";
    for (int level = 1; level <= 9; ++level) {
        answer += "<!ENTITY lol" + std::to_string(level) + " \"";
        const std::string previous = level == 1 ? "lol" : "lol" + std::to_string(level - 1);
        for (int i = 0; i < 10; ++i)
            answer += "&" + previous + ";";
        answer += "\">\n";
    }
    answer += "]>\n<lolz a=\"&lol9;\">&lol9;<x>t</x></lolz>";

    const auto records = queryXPathNodes(answer, "//lolz");
    ASSERT_EQ(records.size(), 1u);
    ASSERT_EQ(records[0].nodeChildArray.size(), 1u);
    EXPECT_EQ(records[0].nodeChildArray[0].nodeName, "x");
    EXPECT_LT(records[0].nodeContent.value_or("").size(), 100u);
    // A comparison takes the string value of the element and its attribute:
    // that must not expand either.
    EXPECT_TRUE(queryXPathNodes(answer, "//lolz[. = 'lol' or @a = 'lol']").empty());
}

TEST_F(XmlQueryTest, DeclaredEntitiesAreLeftOutNotSubstituted)
{
    const std::string answer = "<!DOCTYPE r [<!ENTITY e \"expanded\">]><r><v>a&e;b</v></r>";
    EXPECT_EQ(xmlTextsOf(answer, "//v"), std::vector<std::string>{"ab"});
    EXPECT_EQ(xmlNodeExists(answer, "//v[contains(., 'expanded')]"), 400);
}

TEST_F(XmlQueryTest, ExternalEntitiesAreNotLoaded)
{
    const std::string answer = "<?xml version=\"1.0\"?>\n"
                               "<!DOCTYPE r [<!ENTITY secret SYSTEM \"file:///etc/passwd\">]>\n"
                               "<r><v>&secret;</v></r>";
    const auto texts = xmlTextsOf(answer, "//v");
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "");
}

TEST_F(XmlQueryTest, DeepNestingDoesNotCrash)
{
    std::string answer;
    for (int i = 0; i < 100000; ++i)
        answer += "<a>";
    answer += "<photoid>1</photoid>";
    const auto records = queryXPathNodes(answer, "/a");
    // The parser gives up past its depth limit; whatever it kept is readable.
    EXPECT_LE(records.size(), 1u);
    EXPECT_TRUE(xmlTextsOf(answer, "//photoid").empty());
}

} // namespace
