#include "share/services/ImageHostUpload.h"

#include "share/services/ServiceConfig.h"
#include "share/services/WebRequest.h"
#include "share/services/XmlQuery.h"
#include "share/services/XmlSupport.h"

namespace services {

namespace {

constexpr char kPhotoFileName[] = "m1.jpg";

} // namespace

int imageHostIndexForName(std::string_view name)
{
    if (name == kMobyPictureName)
        return 0;
    if (name == kTwitpicName)
        return 1;
    if (name == kYfrogName)
        return 2;
    if (name == "tweetphoto")
        return 3;
    if (name == "twitgoo")
        return 4;
    if (name == "img.ly")
        return 5;
    return -1;
}

std::string imageHostNameForIndex(int index)
{
    switch (index) {
    case 0:
        return kMobyPictureName;
    case -1:
    case 1:
        return kTwitpicName;
    case 2:
        return kYfrogName;
    default:
        return {};
    }
}

ImageHost imageHostForName(std::string_view name)
{
    switch (imageHostIndexForName(name)) {
    case 0:
        return ImageHost::MobyPicture;
    case 2:
        return ImageHost::Yfrog;
    default:
        return ImageHost::Twitpic;
    }
}

std::string imageHostName(ImageHost host)
{
    return imageHostNameForIndex(static_cast<int>(host));
}

std::string imageHostRowImage(ImageHost host)
{
    return imageHostName(host) + ".png";
}

int imageHostReserve(std::string_view name)
{
    if (name == kMobyPictureName)
        return 22;
    if (name == kTwitpicName)
        return 26;
    if (name == kYfrogName)
        return 24;
    return 0;
}

std::string imageHostUploadBody(ImageHost host, const ImageHostUploadFields& fields, std::string_view boundary,
                                std::string_view jpeg)
{
    MultipartBody body{std::string(boundary)};
    switch (host) {
    case ImageHost::MobyPicture:
        body.addText("u", fields.userName)
            .addText("p", fields.password)
            .addText("s", "none")
            .addText("k", fields.mobyPictureDeveloperKey)
            .addText("d", fields.caption)
            .addText("format", "xml")
            .addFile("i", kPhotoFileName, "image/jpeg", jpeg);
        break;
    case ImageHost::Twitpic:
        body.addText("key", fields.twitpicApiKey)
            .addText("consumer_token", fields.consumerKey)
            .addText("consumer_secret", fields.consumerSecret)
            .addText("oauth_token", fields.oauthToken)
            .addText("oauth_secret", fields.oauthTokenSecret)
            .addText("message", fields.caption)
            .addFile("media", kPhotoFileName, "image/png", jpeg);
        break;
    case ImageHost::Yfrog:
        body.addText("username", fields.userName)
            .addText("password", fields.password)
            .addText("message", fields.caption)
            .addFile("media", kPhotoFileName, "image/png", jpeg);
        break;
    }
    return body.finish();
}

std::string imageHostUploadUrl(ImageHost host, const ServiceConfig& config)
{
    switch (host) {
    case ImageHost::MobyPicture:
        return config.url(ServiceHost::MobyPicture, "/");
    case ImageHost::Twitpic:
        return config.url(ServiceHost::Twitpic, "/1/upload.xml");
    case ImageHost::Yfrog:
        return config.url(ServiceHost::Yfrog, "/api/upload");
    }
    return {};
}

HttpRequest imageHostUploadRequest(ImageHost host, const ServiceConfig& config, std::string_view boundary,
                                   std::string body)
{
    HttpRequest request;
    request.method = "POST";
    request.url = imageHostUploadUrl(host, config);
    request.headers = {{"Content-Type", multipartFormDataContentType(boundary)}};
    request.body = std::move(body);
    request.timeout = std::chrono::seconds(30);
    return request;
}

std::string_view imageHostAddressQuery(ImageHost host)
{
    switch (host) {
    case ImageHost::MobyPicture:
        return "//url";
    case ImageHost::Twitpic:
        return "/image/url";
    case ImageHost::Yfrog:
        return "//mediaurl";
    }
    return {};
}

std::optional<std::string> imageHostPhotoAddress(ImageHost host, std::string_view answer)
{
    if (answer.empty())
        return std::nullopt;
    for (const std::string& text : xmlTextsOf(answer, imageHostAddressQuery(host))) {
        const std::string_view address = trimXmlWhiteSpace(text);
        if (!address.empty())
            return std::string(address);
    }
    return std::nullopt;
}

} // namespace services
