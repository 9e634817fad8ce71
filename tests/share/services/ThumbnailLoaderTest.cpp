#include "share/services/ThumbnailLoader.h"

#include "platform/SystemLog.h"
#include "tests/support/LocalHttpServer.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

namespace {

std::string pngBytes()
{
    QImage image(6, 4, QImage::Format_RGB32);
    image.fill(qRgb(10, 200, 30));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(image);
    return bytes.toStdString();
}

struct LogCapture {
    std::string lines;
    LogCapture()
    {
        platform::setSystemLogSink([this](const std::string& line) { lines += line + "\n"; });
    }
    ~LogCapture() { platform::setSystemLogSink({}); }
};

} // namespace

TEST(ThumbnailLoaderTest, DecodesAPictureAndKeepsThePlaceholderOtherwise)
{
    struct Case {
        const char* path;
        testsupport::Reply reply;
        bool complete;
        const char* logged;
    } cases[] = {
        {"/thumb.png", {200, pngBytes(), "image/png"}, true, ""},
        {"/not-a-picture", {200, "<html>nothing here</html>", "text/html"}, false, "What's the matter"},
        {"/empty", {200, "", "image/jpeg"}, false, "What's the matter"},
        {"/missing", {404, pngBytes(), "image/png"}, false, "What's the matter"},
    };
    for (const Case& c : cases) {
        testsupport::LocalHttpServer server([&c](const testsupport::RecordedRequest&) { return c.reply; });
        ASSERT_TRUE(server.start());
        services::CurlHttpClient client;
        LogCapture log;
        const services::Thumbnail thumbnail = services::loadThumbnail(client, server.url(c.path));
        EXPECT_EQ(thumbnail.complete, c.complete) << c.path;
        EXPECT_EQ(thumbnail.image.isNull(), !c.complete) << c.path;
        if (c.complete) {
            EXPECT_EQ(thumbnail.image.size(), QSize(6, 4));
        }
        EXPECT_NE(log.lines.find(c.logged), std::string::npos) << c.path << ": " << log.lines;
        EXPECT_EQ(server.requestCount(), 1u);
        EXPECT_EQ(server.lastRequest().method, "GET");
    }
}

TEST(ThumbnailLoaderTest, AFailedConnectionIsLoggedAndLeavesThePlaceholder)
{
    int port;
    {
        testsupport::LocalHttpServer server;
        ASSERT_TRUE(server.start());
        port = server.port();
    } // closed: nobody listens there any more
    services::CurlHttpClient client;
    LogCapture log;
    const services::Thumbnail thumbnail =
        services::loadThumbnail(client, "http://127.0.0.1:" + std::to_string(port) + "/thumb.jpg");
    EXPECT_FALSE(thumbnail.complete);
    EXPECT_TRUE(thumbnail.image.isNull());
    EXPECT_EQ(log.lines.rfind("Error = ", 0), 0u) << log.lines;
}

TEST(ThumbnailLoaderTest, AsksWithTheSixtySecondTimeOut)
{
    services::HttpRequest seen;
    services::CallbackHttpClient client([&seen](const services::HttpRequest& request) {
        seen = request;
        services::HttpResponse response;
        response.error.code = services::url_error::kTimedOut;
        response.error.description = "timed out";
        return response;
    });
    EXPECT_FALSE(services::loadThumbnail(client, "http://127.0.0.1:1/t.jpg").complete);
    EXPECT_EQ(seen.timeout, std::chrono::seconds(60));
    EXPECT_EQ(seen.method, "GET");
}
