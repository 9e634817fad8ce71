// The lists a Flickr upload can be sent on to: the user's photo sets, tags
// and groups, fetched with signed REST calls (FlickrProtocol.h), the labels
// the pickers fill ("/"-joined names) and the ids those labels stand for at
// upload time, and the pickers' thumbnail addresses.
#pragma once

#include "share/services/FlickrProtocol.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace services {

// One photo set of "flickr.photosets.getList".
struct FlickrPhotoSet {
    std::string title;
    std::string id;
    std::string primary;  // id of the cover photo
    std::string secret;
    std::string farm;
    std::string photos;   // photo count
    std::string videos;   // video count
    std::string server;

    bool operator==(const FlickrPhotoSet&) const = default;
};

// One group of "flickr.groups.pools.getGroups".
struct FlickrGroup {
    std::string groupId;  // "nsid"
    std::string title;    // "name"
    std::string farm;     // "iconfarm"
    std::string server;   // "iconserver"
    std::string photos;

    bool operator==(const FlickrGroup&) const = default;
};

// Group id → group name of the fetched groups.
using FlickrGroupMap = std::map<std::string, std::string>;

// ---- Requests ---------------------------------------------------------------------

//   "method=flickr.photosets.getList&api_key=K&auth_token=T&api_sig=S"
//   "method=flickr.tags.getListUser&api_key=K&auth_token=T&frob=F&api_sig=S"
//   "method=flickr.groups.pools.getGroups&api_key=K&auth_token=T&frob=F&api_sig=S"
// (frob is the login's frob, or empty when the token came from the store;
// it is signed either way.)
std::string flickrSetListQuery(const FlickrApp& app, std::string_view token);
std::string flickrTagListQuery(const FlickrApp& app, std::string_view token, std::string_view frob);
std::string flickrGroupListQuery(const FlickrApp& app, std::string_view token, std::string_view frob);

// ---- Answers ------------------------------------------------------------------------

// Each photoset element with its own title child and its attributes.
std::vector<FlickrPhotoSet> flickrParseSets(std::string_view answer);
// The non-empty texts of the tag elements, in order.
std::vector<std::string> flickrParseTags(std::string_view answer);
// Each group element's attributes.
std::vector<FlickrGroup> flickrParseGroups(std::string_view answer);
// The map rebuilt from a list (a repeated id keeps the later name).
FlickrGroupMap flickrGroupMapOf(const std::vector<FlickrGroup>& groups);

// ---- Fetching -------------------------------------------------------------------------

// Each fetch ends in outcome.completed with a non-empty list (the picker
// opens), or in an alert with an empty list:
//   "WARNING" / "WARNING_LOGIN_MSG"               not logged in (nothing sent)
//   "ERROR" / "ERROR_INTERNET_CONNECTION_OFFLINE_MSG"  not connected
//   "ERROR_INTERNET_CONNECTION_CHECK_TITLE" / "..._MSG"  any other failure or an answer that is not ok
//   "WARNING" / "ERROR_NO_PHOTOSET_MSG", "ERROR_NO_TAG_MSG", "ERROR_NO_GROUP"  an empty list
struct FlickrSetList {
    ShareOutcome outcome;
    std::vector<FlickrPhotoSet> sets;
};
struct FlickrTagList {
    ShareOutcome outcome;
    std::vector<std::string> tags;
};
struct FlickrGroupList {
    ShareOutcome outcome;
    std::vector<FlickrGroup> groups;
    FlickrGroupMap groupMap;  // rebuilt from groups
};

FlickrSetList fetchFlickrSets(HttpClient& client, const ServiceConfig& config, const FlickrSession& session,
                              const FlickrApp& app = {});
FlickrTagList fetchFlickrTags(HttpClient& client, const ServiceConfig& config, const FlickrSession& session,
                              const FlickrApp& app = {});
FlickrGroupList fetchFlickrGroups(HttpClient& client, const ServiceConfig& config, const FlickrSession& session,
                                  const FlickrApp& app = {});

// ---- Labels and ids ---------------------------------------------------------------------

// The label of a picker's choice: the names joined with "/" ("" for none).
std::string flickrJoinChoice(const std::vector<std::string>& names);
// The label's parts (split at "/"; empty parts dropped).
std::vector<std::string> flickrSplitLabel(std::string_view label);
// Ids of the sets whose title is one of the label's parts, in list order
// (two sets of the same title give both ids; no id is given twice).
std::vector<std::string> flickrSetIdsForLabel(std::string_view label, const std::vector<FlickrPhotoSet>& sets);
// Ids of the groups whose name is one of the label's parts, in id order.
std::vector<std::string> flickrGroupIdsForLabel(std::string_view label, const FlickrGroupMap& groups);

// ---- Thumbnails -----------------------------------------------------------------------------

// "<static farm host>/<server>/<primary>_<secret>_s.jpg" for a set and
// "<static farm host>/<server>/buddyicons/<nsid>.jpg" for a group. Nothing
// when farm and server are both "0", or when the farm is not a decimal
// number (it names the host).
std::optional<std::string> flickrSetThumbnailUrl(const ServiceConfig& config, const FlickrPhotoSet& set);
std::optional<std::string> flickrGroupThumbnailUrl(const ServiceConfig& config, const FlickrGroup& group);

} // namespace services
