// The fetch and decode behind the pickers' thumbnails (set, group and album
// rows): one request with a 60-second time-out, the bytes decoded as a
// picture. A failure leaves the caller's placeholder in place.
#pragma once

#include "platform/Image.h"
#include "share/services/HttpClient.h"

#include <chrono>
#include <string>

namespace services {

inline constexpr std::chrono::seconds kThumbnailTimeout{60};

struct Thumbnail {
    platform::Image image;  // null when the fetch or the decode failed
    bool complete = false;  // true once an image was decoded
};

// Logs "Error = <reason>" when the request fails and "What's the matter"
// when the answer is not a picture.
Thumbnail loadThumbnail(HttpClient& client, const std::string& url);

} // namespace services
