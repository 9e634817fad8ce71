// Event-driven reading of an XML answer (the Picasa album feed and upload
// answer): element starts with their attributes, text, and element ends, in
// document order, from libxml2's SAX2 interface.
//
// No tree is built, no entity can be declared (so none is ever expanded),
// nothing outside the bytes is loaded. Reading stops at the first
// well-formedness error; the events up to it have been delivered.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace services {

struct XmlEventName {
    std::string localName;     // "content"
    std::string prefix;        // "media"; empty without one
    std::string namespaceUri;  // the namespace the prefix is bound to; may be empty

    // "prefix:localName", or the local name alone: the name as written.
    std::string qualifiedName() const;
};

struct XmlEventAttribute {
    XmlEventName name;
    std::string value;  // with character and entity references resolved
};

struct XmlEventHandlers {
    std::function<void(const XmlEventName&, const std::vector<XmlEventAttribute>&)> startElement;
    // Text (CDATA sections included) as it arrives; one run of text may come
    // in several pieces.
    std::function<void(std::string_view)> characters;
    std::function<void(const XmlEventName&)> endElement;
};

// Feeds the bytes through the parser, calling the handlers that are set.
// Returns whether the document was read to its end without an error.
bool readXmlEvents(std::string_view bytes, const XmlEventHandlers& handlers);

} // namespace services
