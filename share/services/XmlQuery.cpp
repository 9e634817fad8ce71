#include "share/services/XmlQuery.h"

#include "platform/SystemLog.h"
#include "share/services/XmlSupport.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <climits>
#include <memory>
#include <string>

namespace services {

namespace {

// Further than libxml2's own nesting limit; only a guard for the recursion.
constexpr int kMaxDepth = 1024;

constexpr int kParseOptions = XML_PARSE_RECOVER | XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

struct DocFree {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
struct ContextFree {
    void operator()(xmlXPathContext* context) const { xmlXPathFreeContext(context); }
};
struct ObjectFree {
    void operator()(xmlXPathObject* object) const { xmlXPathFreeObject(object); }
};

void ignoreError(void*, xmlErrorPtr) {}

std::string text(const xmlChar* value)
{
    return value ? std::string(reinterpret_cast<const char*>(value)) : std::string();
}

void appendTrimmed(std::optional<std::string>& content, const xmlChar* value)
{
    const std::string_view trimmed = trimXmlWhiteSpace(reinterpret_cast<const char*>(value));
    if (content)
        content->append(trimmed);
    else
        content = std::string(trimmed);
}

bool isText(const xmlNode* node)
{
    return node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE;
}

// Answers never use entities of their own, and a reference left in the tree
// would be expanded by anything that takes a string value (an XPath
// comparison, for one): take them out before anything reads the tree.
void dropEntityReferences(xmlNode* node, int depth)
{
    if (depth > kMaxDepth)
        return;
    for (xmlNode* child = node->children; child;) {
        xmlNode* next = child->next;
        if (child->type == XML_ENTITY_REF_NODE) {
            xmlUnlinkNode(child);
            xmlFreeNode(child);
        } else if (child->type == XML_ELEMENT_NODE) {
            for (xmlAttr* attribute = child->properties; attribute; attribute = attribute->next)
                dropEntityReferences(reinterpret_cast<xmlNode*>(attribute), depth + 1);
            dropEntityReferences(child, depth + 1);
        }
        child = next;
    }
}

XmlAttributeRecord attributeRecord(const xmlAttr* attribute)
{
    XmlAttributeRecord record;
    record.attributeName = text(attribute->name);
    for (const xmlNode* child = attribute->children; child; child = child->next)
        if (isText(child) && child->content)
            appendTrimmed(record.nodeContent, child->content);
    return record;
}

// Record of a node; for a text node inside a parent record, the text goes
// into the parent and there is no record of its own.
std::optional<XmlNodeRecord> nodeRecord(const xmlNode* node, XmlNodeRecord* parent, int depth)
{
    XmlNodeRecord record;
    if (node->type == XML_NAMESPACE_DECL) {
        // XPath hands namespace nodes over as xmlNs, not xmlNode.
        const auto* ns = reinterpret_cast<const xmlNs*>(node);
        if (ns->prefix)
            record.nodeName = text(ns->prefix);
        if (ns->href)
            record.nodeContent = text(ns->href);
        return record;
    }
    if (node->type == XML_ATTRIBUTE_NODE) {
        XmlAttributeRecord attribute = attributeRecord(reinterpret_cast<const xmlAttr*>(node));
        record.nodeName = std::move(attribute.attributeName);
        record.nodeContent = std::move(attribute.nodeContent);
        return record;
    }
    if (isText(node) && parent) {
        if (node->content)
            appendTrimmed(parent->nodeContent, node->content);
        return std::nullopt;
    }

    if (node->name)
        record.nodeName = text(node->name);

    switch (node->type) {
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_COMMENT_NODE:
    case XML_PI_NODE:
        if (node->content)
            record.nodeContent = text(node->content);
        return record;
    case XML_ELEMENT_NODE:
        for (const xmlAttr* attribute = node->properties; attribute; attribute = attribute->next)
            record.nodeAttributeArray.push_back(attributeRecord(attribute));
        [[fallthrough]];
    case XML_DOCUMENT_NODE:
        if (depth < kMaxDepth) {
            for (const xmlNode* child = node->children; child; child = child->next)
                if (auto childRecord = nodeRecord(child, &record, depth + 1))
                    record.nodeChildArray.push_back(std::move(*childRecord));
        }
        return record;
    default:
        // Document type, declarations and the like: the name only, nothing
        // below them is read.
        return record;
    }
}

std::vector<XmlNodeRecord> recordsOf(xmlNodeSet* nodes)
{
    std::vector<XmlNodeRecord> records;
    if (!nodes)
        return records;
    xmlXPathNodeSetSort(nodes);
    records.reserve(size_t(nodes->nodeNr));
    for (int i = 0; i < nodes->nodeNr; ++i)
        if (nodes->nodeTab[i])
            if (auto record = nodeRecord(nodes->nodeTab[i], nullptr, 0))
                records.push_back(std::move(*record));
    return records;
}

} // namespace

std::vector<XmlNodeRecord> queryXPathNodes(std::string_view response, std::string_view expression)
{
    initialiseXmlLibrary();

    std::unique_ptr<xmlDoc, DocFree> doc;
    if (!response.empty() && response.size() <= size_t(INT_MAX))
        doc.reset(xmlReadMemory(response.data(), int(response.size()), "", nullptr, kParseOptions));
    // Recovery hands back a document even for text that holds no element at
    // all; that is no XML answer either.
    if (doc && !xmlDocGetRootElement(doc.get()))
        doc.reset();
    if (!doc) {
        platform::systemLog("Unable to parse.");
        return {};
    }
    dropEntityReferences(reinterpret_cast<xmlNode*>(doc.get()), 0);

    std::unique_ptr<xmlXPathContext, ContextFree> context(xmlXPathNewContext(doc.get()));
    if (!context) {
        platform::systemLog("Unable to create XPath context.");
        return {};
    }
    context->error = ignoreError;

    const std::string expressionText(expression);
    std::unique_ptr<xmlXPathObject, ObjectFree> result(
        xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(expressionText.c_str()), context.get()));
    if (!result) {
        platform::systemLog("Unable to evaluate XPath.");
        return {};
    }
    if (result->type != XPATH_NODESET || !result->nodesetval) {
        platform::systemLog("Nodes was nil.");
        return {};
    }
    return recordsOf(result->nodesetval);
}

std::vector<std::string> xmlTextsOf(std::string_view response, std::string_view expression)
{
    std::vector<std::string> texts;
    for (const XmlNodeRecord& record : queryXPathNodes(response, expression))
        texts.push_back(record.nodeContent.value_or(std::string()));
    return texts;
}

int xmlStatusOk(std::string_view response, std::string_view expression)
{
    for (const XmlNodeRecord& record : queryXPathNodes(response, expression))
        for (const XmlAttributeRecord& attribute : record.nodeAttributeArray)
            if (attribute.nodeContent == "ok")
                return 200;
    return 400;
}

int xmlNodeExists(std::string_view response, std::string_view expression)
{
    return queryXPathNodes(response, expression).empty() ? 400 : 200;
}

std::optional<std::string> xmlFirstAttributeValue(std::string_view response, std::string_view expression,
                                                  std::string_view attributeName)
{
    for (const XmlNodeRecord& record : queryXPathNodes(response, expression))
        for (const XmlAttributeRecord& attribute : record.nodeAttributeArray)
            if (attribute.attributeName == attributeName)
                return attribute.nodeContent.value_or(std::string());
    return std::nullopt;
}

std::string xmlLastAttributeValue(std::string_view response, std::string_view expression,
                                  std::string_view attributeName)
{
    std::string value;
    for (const XmlNodeRecord& record : queryXPathNodes(response, expression))
        for (const XmlAttributeRecord& attribute : record.nodeAttributeArray)
            if (attribute.attributeName == attributeName)
                value = attribute.nodeContent.value_or(std::string());
    return value;
}

} // namespace services
