#include "share/services/FlickrLists.h"

#include "platform/SystemLog.h"
#include "share/services/ServiceConfig.h"
#include "share/services/XmlQuery.h"

#include <algorithm>

namespace services {

namespace {

std::string attribute(const XmlNodeRecord& node, std::string_view name)
{
    for (const XmlAttributeRecord& attributeRecord : node.nodeAttributeArray)
        if (attributeRecord.attributeName == name)
            return attributeRecord.nodeContent.value_or(std::string());
    return {};
}

// Path segments of the thumbnail addresses: values from the answer may not
// leave their segment ("@" stays, it is part of group ids).
std::string pathSegment(std::string_view text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char c : text) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
            c == '_' || c == '~' || c == '@') {
            out += char(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        }
    }
    return out;
}

bool isDecimal(std::string_view text)
{
    return !text.empty() && text.size() <= 9 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<std::string> thumbnailBase(const ServiceConfig& config, const std::string& farm,
                                         const std::string& server)
{
    if ((farm == "0" && server == "0") || !isDecimal(farm))
        return std::nullopt;
    return config.flickrStaticImageBase(farm) + "/" + pathSegment(server);
}

std::string signedListQuery(const FlickrApp& app, const char* method, std::string_view token,
                            const std::string* frob)
{
    FlickrParameters parameters{{"method", method}, {"api_key", app.apiKey}, {"auth_token", std::string(token)}};
    if (frob)
        parameters.emplace_back("frob", *frob);
    parameters.emplace_back("api_sig", flickrSignature(app.sharedSecret, parameters));
    return flickrQuery(parameters);
}

// Steps 1 to 3 of every list: login, the signed call, an ok answer. The
// answer's body on success, otherwise the alert.
struct ListAnswer {
    std::optional<ShareOutcome> alert;
    std::string body;
};

ListAnswer requestList(HttpClient& client, const ServiceConfig& config, const FlickrSession& session,
                       const std::string& query)
{
    if (!session.loggedIn())
        return {ShareOutcome::alert("WARNING", "WARNING_LOGIN_MSG"), {}};
    HttpResponse response = client.send(flickrRestRequest(config, query));
    if (response.error.failed()) {
        platform::systemLog("Error: %s", response.error.description.c_str());
        return {flickrTransportAlert(response.error, flickrNetworkCheckAlert()), {}};
    }
    if (!flickrAnswerOk(response.body))
        return {flickrNetworkCheckAlert(), {}};
    return {std::nullopt, std::move(response.body)};
}

ShareOutcome listOutcome(bool empty, const char* emptyMessage)
{
    return empty ? ShareOutcome::alert("WARNING", emptyMessage) : ShareOutcome::success();
}

} // namespace

std::string flickrSetListQuery(const FlickrApp& app, std::string_view token)
{
    return signedListQuery(app, "flickr.photosets.getList", token, nullptr);
}

std::string flickrTagListQuery(const FlickrApp& app, std::string_view token, std::string_view frob)
{
    const std::string value(frob);
    return signedListQuery(app, "flickr.tags.getListUser", token, &value);
}

std::string flickrGroupListQuery(const FlickrApp& app, std::string_view token, std::string_view frob)
{
    const std::string value(frob);
    return signedListQuery(app, "flickr.groups.pools.getGroups", token, &value);
}

std::vector<FlickrPhotoSet> flickrParseSets(std::string_view answer)
{
    std::vector<FlickrPhotoSet> sets;
    for (const XmlNodeRecord& node : queryXPathNodes(answer, "///photoset")) {
        FlickrPhotoSet set;
        // The set's own title child, so a set without one cannot shift the
        // titles of the sets after it.
        for (const XmlNodeRecord& child : node.nodeChildArray) {
            if (child.nodeName == "title") {
                set.title = child.nodeContent.value_or(std::string());
                break;
            }
        }
        set.id = attribute(node, "id");
        set.primary = attribute(node, "primary");
        set.secret = attribute(node, "secret");
        set.farm = attribute(node, "farm");
        set.photos = attribute(node, "photos");
        set.videos = attribute(node, "videos");
        set.server = attribute(node, "server");
        sets.push_back(std::move(set));
    }
    return sets;
}

std::vector<std::string> flickrParseTags(std::string_view answer)
{
    std::vector<std::string> tags = xmlTextsOf(answer, "////tag");
    tags.erase(std::remove(tags.begin(), tags.end(), std::string()), tags.end());
    return tags;
}

std::vector<FlickrGroup> flickrParseGroups(std::string_view answer)
{
    std::vector<FlickrGroup> groups;
    for (const XmlNodeRecord& node : queryXPathNodes(answer, "///group")) {
        groups.push_back({attribute(node, "nsid"), attribute(node, "name"), attribute(node, "iconfarm"),
                          attribute(node, "iconserver"), attribute(node, "photos")});
    }
    return groups;
}

FlickrGroupMap flickrGroupMapOf(const std::vector<FlickrGroup>& groups)
{
    FlickrGroupMap map;
    for (const FlickrGroup& group : groups)
        map[group.groupId] = group.title;
    return map;
}

FlickrSetList fetchFlickrSets(HttpClient& client, const ServiceConfig& config, const FlickrSession& session,
                              const FlickrApp& app)
{
    ListAnswer answer = requestList(client, config, session, flickrSetListQuery(app, session.authToken));
    if (answer.alert)
        return {*answer.alert, {}};
    FlickrSetList list{{}, flickrParseSets(answer.body)};
    list.outcome = listOutcome(list.sets.empty(), "ERROR_NO_PHOTOSET_MSG");
    return list;
}

FlickrTagList fetchFlickrTags(HttpClient& client, const ServiceConfig& config, const FlickrSession& session,
                              const FlickrApp& app)
{
    ListAnswer answer =
        requestList(client, config, session, flickrTagListQuery(app, session.authToken, session.frob));
    if (answer.alert)
        return {*answer.alert, {}};
    FlickrTagList list{{}, flickrParseTags(answer.body)};
    list.outcome = listOutcome(list.tags.empty(), "ERROR_NO_TAG_MSG");
    return list;
}

FlickrGroupList fetchFlickrGroups(HttpClient& client, const ServiceConfig& config, const FlickrSession& session,
                                  const FlickrApp& app)
{
    ListAnswer answer =
        requestList(client, config, session, flickrGroupListQuery(app, session.authToken, session.frob));
    if (answer.alert)
        return {*answer.alert, {}, {}};
    FlickrGroupList list{{}, flickrParseGroups(answer.body), {}};
    list.groupMap = flickrGroupMapOf(list.groups);
    list.outcome = listOutcome(list.groups.empty(), "ERROR_NO_GROUP");
    return list;
}

std::string flickrJoinChoice(const std::vector<std::string>& names)
{
    std::string label;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0)
            label += '/';
        label += names[i];
    }
    return label;
}

std::vector<std::string> flickrSplitLabel(std::string_view label)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= label.size()) {
        const std::size_t slash = std::min(label.find('/', start), label.size());
        if (slash > start)
            parts.emplace_back(label.substr(start, slash - start));
        start = slash + 1;
    }
    return parts;
}

std::vector<std::string> flickrSetIdsForLabel(std::string_view label, const std::vector<FlickrPhotoSet>& sets)
{
    const std::vector<std::string> parts = flickrSplitLabel(label);
    std::vector<std::string> ids;
    for (const FlickrPhotoSet& set : sets) {
        if (set.id.empty() || std::find(parts.begin(), parts.end(), set.title) == parts.end())
            continue;
        if (std::find(ids.begin(), ids.end(), set.id) == ids.end())
            ids.push_back(set.id);
    }
    return ids;
}

std::vector<std::string> flickrGroupIdsForLabel(std::string_view label, const FlickrGroupMap& groups)
{
    const std::vector<std::string> parts = flickrSplitLabel(label);
    std::vector<std::string> ids;
    for (const auto& [id, name] : groups)
        if (!id.empty() && std::find(parts.begin(), parts.end(), name) != parts.end())
            ids.push_back(id);
    return ids;
}

std::optional<std::string> flickrSetThumbnailUrl(const ServiceConfig& config, const FlickrPhotoSet& set)
{
    std::optional<std::string> base = thumbnailBase(config, set.farm, set.server);
    if (!base)
        return std::nullopt;
    return *base + "/" + pathSegment(set.primary) + "_" + pathSegment(set.secret) + "_s.jpg";
}

std::optional<std::string> flickrGroupThumbnailUrl(const ServiceConfig& config, const FlickrGroup& group)
{
    std::optional<std::string> base = thumbnailBase(config, group.farm, group.server);
    if (!base)
        return std::nullopt;
    return *base + "/buddyicons/" + pathSegment(group.groupId) + ".jpg";
}

} // namespace services
