#include "share/services/ThumbnailLoader.h"

#include "platform/SystemLog.h"

#include <QByteArray>

namespace services {

Thumbnail loadThumbnail(HttpClient& client, const std::string& url)
{
    HttpRequest request;
    request.url = url;
    request.timeout = kThumbnailTimeout;
    // Thumbnails are small; a huge answer is not one.
    request.maxResponseBytes = 8u << 20;
    const HttpResponse response = client.send(request);
    if (response.error.failed()) {
        platform::systemLog("Error = %s", response.error.description.c_str());
        return {};
    }
    // An error page decodes as nothing, but a server may send a picture with
    // an error status; only a successful answer counts.
    platform::Image image;
    if (response.statusCode >= 200 && response.statusCode < 300)
        image = platform::Image::fromData(QByteArray(response.body.data(), qsizetype(response.body.size())));
    if (image.isNull()) {
        platform::systemLog("What's the matter");
        return {};
    }
    return {image, true};
}

} // namespace services
