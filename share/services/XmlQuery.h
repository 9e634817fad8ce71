// Reading the services' XML answers with XPath.
//
// queryXPathNodes parses an answer with libxml2 in recover mode (malformed
// answers are read as far as the parser gets) and turns every node the
// expression matches into a record. Entities are never substituted: a
// reference to a declared entity is left out of the text (the predefined ones
// and character references are text), and no external resource is ever
// loaded, so a hostile document cannot make the reader expand or fetch
// anything. Text that holds no element at all counts as unparseable.
// Failures go to the system log with the
// lines "Unable to parse.", "Unable to create XPath context.",
// "Unable to evaluate XPath." and "Nodes was nil.", and give an empty result;
// the queries below then answer "not found".
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace services {

// One attribute of a matched node.
struct XmlAttributeRecord {
    std::string attributeName;
    // The attribute's value (its text, trimmed of blanks and line breaks).
    std::optional<std::string> nodeContent;
};

// One matched node.
struct XmlNodeRecord {
    // The node's name, when it has one (libxml2 names text nodes "text" and
    // comments "comment").
    std::optional<std::string> nodeName;
    // For an element: its text children, each trimmed of blanks and line
    // breaks, concatenated without separator; nothing when it has no text.
    // For a matched attribute: its value. For a matched text or comment node:
    // its text as it stands.
    std::optional<std::string> nodeContent;
    // Present (non-empty) only when the node has attributes.
    std::vector<XmlAttributeRecord> nodeAttributeArray;
    // Records of the children other than text, in document order; present
    // only when there are any. The document type is recorded by name only;
    // nothing below it is read.
    std::vector<XmlNodeRecord> nodeChildArray;
};

// Every node the expression matches, in document order; empty when the
// answer is not XML, the expression does not evaluate, or nothing matches.
std::vector<XmlNodeRecord> queryXPathNodes(std::string_view response, std::string_view expression);

// The "nodeContent" of every matched node in order; a node without text
// gives "" (so positions stay aligned with the matches).
std::vector<std::string> xmlTextsOf(std::string_view response, std::string_view expression);

// 200 when any attribute of any matched node has the value "ok", else 400.
int xmlStatusOk(std::string_view response, std::string_view expression);

// 200 when at least one node matches, else 400.
int xmlNodeExists(std::string_view response, std::string_view expression);

// The value of the named attribute on the first matched node that has it;
// nothing when none has.
std::optional<std::string> xmlFirstAttributeValue(std::string_view response, std::string_view expression,
                                                  std::string_view attributeName);

// The value of the named attribute on the last matched node that has it;
// "" when none has.
std::string xmlLastAttributeValue(std::string_view response, std::string_view expression,
                                  std::string_view attributeName);

} // namespace services
