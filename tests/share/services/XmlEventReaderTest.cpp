#include "share/services/XmlEventReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using services::readXmlEvents;
using services::XmlEventAttribute;
using services::XmlEventHandlers;
using services::XmlEventName;

// Reads a document into one line per event; runs of text are joined, so the
// lines do not depend on how the parser splits them.
struct EventLog {
    std::vector<std::string> lines;
    bool complete = false;

    explicit EventLog(std::string_view document)
    {
        XmlEventHandlers handlers;
        handlers.startElement = [this](const XmlEventName& name, const std::vector<XmlEventAttribute>& attributes) {
            // Appends only: GCC 12 warns falsely about "literal" + string here.
            std::string line = "start ";
            line += name.qualifiedName();
            if (!name.namespaceUri.empty())
                line.append(" {").append(name.namespaceUri).append("}");
            for (const XmlEventAttribute& attribute : attributes)
                line.append(" ").append(attribute.name.qualifiedName()).append("=").append(attribute.value);
            lines.push_back(line);
        };
        handlers.characters = [this](std::string_view text) {
            if (lines.empty() || lines.back().rfind("text ", 0) != 0)
                lines.push_back("text ");
            lines.back() += text;
        };
        handlers.endElement = [this](const XmlEventName& name) {
            std::string line = "end ";
            line += name.qualifiedName();
            lines.push_back(line);
        };
        complete = readXmlEvents(document, handlers);
    }
};

TEST(XmlEventReader, DeliversStartCharactersAndEndInDocumentOrder)
{
    const EventLog log("<?xml version='1.0' encoding='UTF-8'?>"
                       "<feed xmlns='http://www.w3.org/2005/Atom' xmlns:media='http://search.yahoo.com/mrss/'"
                       " xmlns:gphoto='http://schemas.google.com/photos/2007'>"
                       "<entry><title>Trip &amp; more</title><gphoto:numphotos>3</gphoto:numphotos>"
                       "<media:group><media:content url='http://h/a?x=1&amp;y=&lt;2&gt;' type='image/jpeg'/>"
                       "<media:thumbnail url='http://h/t.jpg'/></media:group></entry></feed>");
    EXPECT_TRUE(log.complete);
    const std::vector<std::string> expected{
        "start feed {http://www.w3.org/2005/Atom}",
        "start entry {http://www.w3.org/2005/Atom}",
        "start title {http://www.w3.org/2005/Atom}",
        "text Trip & more",
        "end title",
        "start gphoto:numphotos {http://schemas.google.com/photos/2007}",
        "text 3",
        "end gphoto:numphotos",
        "start media:group {http://search.yahoo.com/mrss/}",
        "start media:content {http://search.yahoo.com/mrss/} url=http://h/a?x=1&y=<2> type=image/jpeg",
        "end media:content",
        "start media:thumbnail {http://search.yahoo.com/mrss/} url=http://h/t.jpg",
        "end media:thumbnail",
        "end media:group",
        "end entry",
        "end feed",
    };
    EXPECT_EQ(log.lines, expected);
}

TEST(XmlEventReader, PrefixedAttributesAndCdataAndCharacterReferences)
{
    const EventLog log("<a xmlns:g='urn:g' g:id='7' plain='&#38;&#x41;'><![CDATA[<raw>]]>&#233;</a>");
    EXPECT_TRUE(log.complete);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"start a g:id=7 plain=&A", "text <raw>\xC3\xA9", "end a"}));
}

TEST(XmlEventReader, LargeDocumentArrivesWholeAcrossChunks)
{
    std::string document = "<feed>";
    for (int i = 0; i < 20000; ++i)
        document += "<entry><title>album " + std::to_string(i) + "</title></entry>";
    document += "</feed>";
    int entries = 0;
    std::string lastTitle;
    std::string text;
    XmlEventHandlers handlers;
    handlers.startElement = [&](const XmlEventName&, const std::vector<XmlEventAttribute>&) { text.clear(); };
    handlers.characters = [&](std::string_view piece) { text += piece; };
    handlers.endElement = [&](const XmlEventName& name) {
        if (name.localName == "entry")
            ++entries;
        if (name.localName == "title")
            lastTitle = text;
    };
    EXPECT_TRUE(readXmlEvents(document, handlers));
    EXPECT_EQ(entries, 20000);
    EXPECT_EQ(lastTitle, "album 19999");
}

TEST(XmlEventReader, StopsAtTheFirstErrorAfterTheEventsBeforeIt)
{
    const EventLog log("<feed><entry><title>one</title></entry><entry><title>two</oops><title>three</title>");
    EXPECT_FALSE(log.complete);
    ASSERT_FALSE(log.lines.empty());
    EXPECT_EQ(log.lines[0], "start feed");
    EXPECT_NE(std::find(log.lines.begin(), log.lines.end(), "end title"), log.lines.end());
    EXPECT_EQ(std::find(log.lines.begin(), log.lines.end(), "text three"), log.lines.end());
}

TEST(XmlEventReader, EmptyAndNonXmlInputFail)
{
    for (const char* input : {"", "   ", "Error=BadAuthentication\n", "<", "\xFF\xFE\x00"}) {
        const EventLog log(input);
        EXPECT_FALSE(log.complete) << input;
        EXPECT_TRUE(log.lines.empty()) << input;
    }
}

TEST(XmlEventReader, DeclaredEntitiesAreNeverExpanded)
{
    std::string document = "<?xml version=\"1.0\"?>\n<!DOCTYPE lolz [\n<!ENTITY lol \"lol\">\n";
    for (int level = 1; level <= 9; ++level) {
        document += "<!ENTITY lol" + std::to_string(level) + " \"";
        for (int i = 0; i < 10; ++i)
            document += level == 1 ? "&lol;" : "&lol" + std::to_string(level - 1) + ";";
        document += "\">\n";
    }
    document += "<!ENTITY ext SYSTEM \"file:///etc/passwd\">\n]>\n<lolz>&lol9;&ext;</lolz>";
    size_t characters = 0;
    XmlEventHandlers handlers;
    handlers.characters = [&](std::string_view text) { characters += text.size(); };
    readXmlEvents(document, handlers);
    EXPECT_LT(characters, 100u);
}

TEST(XmlEventReader, MissingHandlersAreSkipped)
{
    XmlEventHandlers onlyEnds;
    int ends = 0;
    onlyEnds.endElement = [&](const XmlEventName&) { ++ends; };
    EXPECT_TRUE(readXmlEvents("<a x='1'>t<b/></a>", onlyEnds));
    EXPECT_EQ(ends, 2);
}

TEST(XmlEventReader, AHandlerThatThrowsStopsTheReadingAndTheExceptionArrives)
{
    int starts = 0;
    XmlEventHandlers handlers;
    handlers.startElement = [&](const XmlEventName& name, const std::vector<XmlEventAttribute>&) {
        ++starts;
        if (name.localName == "b")
            throw std::runtime_error("stop");
    };
    EXPECT_THROW(readXmlEvents("<a><b/><c/><d/></a>", handlers), std::runtime_error);
    EXPECT_EQ(starts, 2);
}

} // namespace
