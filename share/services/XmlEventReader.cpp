#include "share/services/XmlEventReader.h"

#include "share/services/XmlSupport.h"

#include <libxml/parser.h>

#include <algorithm>
#include <cstring>
#include <exception>

namespace services {

namespace {

constexpr size_t kChunkSize = 64 * 1024;

struct ReaderState {
    const XmlEventHandlers* handlers = nullptr;
    xmlParserCtxt* parser = nullptr;
    std::exception_ptr exception;
};

std::string text(const xmlChar* value)
{
    return value ? std::string(reinterpret_cast<const char*>(value)) : std::string();
}

XmlEventName eventName(const xmlChar* localName, const xmlChar* prefix, const xmlChar* uri)
{
    return XmlEventName{text(localName), text(prefix), text(uri)};
}

// Without entity substitution the SAX2 parser hands "&" in attribute values
// on as "&#38;" (whether written "&amp;" or "&#38;"), leaving the tree
// builder to resolve it; there is no tree here, so resolve it now.
std::string attributeValue(const xmlChar* begin, const xmlChar* end)
{
    std::string_view raw(reinterpret_cast<const char*>(begin), size_t(end - begin));
    constexpr std::string_view kEscapedAmpersand = "&#38;";
    std::string value;
    value.reserve(raw.size());
    for (size_t at; (at = raw.find(kEscapedAmpersand)) != std::string_view::npos;) {
        value.append(raw.substr(0, at));
        value += '&';
        raw.remove_prefix(at + kEscapedAmpersand.size());
    }
    value.append(raw);
    return value;
}

// A handler that throws must not unwind through libxml2: stop the parser and
// rethrow once it has returned.
template <typename Call>
void guarded(void* context, Call&& call)
{
    auto* state = static_cast<ReaderState*>(context);
    if (state->exception)
        return;
    try {
        call(*state->handlers);
    } catch (...) {
        state->exception = std::current_exception();
        xmlStopParser(state->parser);
    }
}

void onStartElement(void* context, const xmlChar* localName, const xmlChar* prefix, const xmlChar* uri, int,
                    const xmlChar**, int attributeCount, int, const xmlChar** attributes)
{
    guarded(context, [&](const XmlEventHandlers& handlers) {
        if (!handlers.startElement)
            return;
        std::vector<XmlEventAttribute> list;
        list.reserve(size_t(std::max(attributeCount, 0)));
        // Five pointers per attribute: local name, prefix, URI, value, value end.
        for (int i = 0; i < attributeCount; ++i) {
            const xmlChar** entry = attributes + 5 * i;
            list.push_back({eventName(entry[0], entry[1], entry[2]), attributeValue(entry[3], entry[4])});
        }
        handlers.startElement(eventName(localName, prefix, uri), list);
    });
}

void onEndElement(void* context, const xmlChar* localName, const xmlChar* prefix, const xmlChar* uri)
{
    guarded(context, [&](const XmlEventHandlers& handlers) {
        if (handlers.endElement)
            handlers.endElement(eventName(localName, prefix, uri));
    });
}

void onCharacters(void* context, const xmlChar* characters, int length)
{
    guarded(context, [&](const XmlEventHandlers& handlers) {
        if (handlers.characters && length > 0)
            handlers.characters(std::string_view(reinterpret_cast<const char*>(characters), size_t(length)));
    });
}

void onError(void*, xmlErrorPtr) {}

} // namespace

std::string XmlEventName::qualifiedName() const
{
    return prefix.empty() ? localName : prefix + ":" + localName;
}

bool readXmlEvents(std::string_view bytes, const XmlEventHandlers& handlers)
{
    initialiseXmlLibrary();

    // Only our own callbacks: with no entity or DTD handlers nothing can be
    // declared, and with our state as the user data libxml2's tree-building
    // fall-backs stay out of the way.
    xmlSAXHandler sax;
    std::memset(&sax, 0, sizeof sax);
    sax.initialized = XML_SAX2_MAGIC;
    sax.startElementNs = onStartElement;
    sax.endElementNs = onEndElement;
    sax.characters = onCharacters;
    sax.ignorableWhitespace = onCharacters;
    sax.cdataBlock = onCharacters;
    sax.serror = onError;

    ReaderState state;
    state.handlers = &handlers;

    const size_t head = std::min<size_t>(bytes.size(), 4);  // enough to detect the encoding
    xmlParserCtxt* parser = xmlCreatePushParserCtxt(&sax, &state, bytes.data(), int(head), nullptr);
    if (!parser)
        return false;
    state.parser = parser;
    xmlCtxtUseOptions(parser, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);

    bool stopped = false;
    for (size_t offset = head; offset < bytes.size() && !stopped; offset += kChunkSize) {
        const size_t length = std::min(kChunkSize, bytes.size() - offset);
        xmlParseChunk(parser, bytes.data() + offset, int(length), 0);
        stopped = !parser->wellFormed || state.exception;
    }
    if (!stopped)
        xmlParseChunk(parser, nullptr, 0, 1);

    const bool complete = parser->wellFormed && !state.exception;
    if (parser->myDoc)
        xmlFreeDoc(parser->myDoc);
    xmlFreeParserCtxt(parser);

    if (state.exception)
        std::rethrow_exception(state.exception);
    return complete;
}

} // namespace services
