// A local HTTP (or HTTPS) server on 127.0.0.1 for the service tests: it
// records every request and answers each from a handler.
//
//   testsupport::LocalHttpServer server([](const testsupport::RecordedRequest& request) {
//       return testsupport::Reply{200, "<rsp stat=\"ok\"/>", "text/xml"};
//   });
//   ASSERT_TRUE(server.start());
//   ... send to server.url("/services/rest/?method=...") ...
//   EXPECT_EQ(server.lastRequest().query, "method=...");
//
// Bodies are recorded byte for byte, multipart ones included. The HTTPS
// variant takes a TestCertificateAuthority, made fresh for each test run,
// whose bundle file a client must be told to trust.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace httplib {
class Server;
}

namespace testsupport {

struct RecordedRequest {
    std::string method;
    std::string path;    // decoded, without the query
    std::string query;   // raw, after "?", as sent; "" when none
    std::string target;  // the raw request target: path and query as sent
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    // Value of the first header of that name (case-insensitive); "" when absent.
    std::string header(std::string_view name) const;
    std::size_t headerCount(std::string_view name) const;
    bool hasHeader(std::string_view name) const { return headerCount(name) > 0; }
};

struct Reply {
    Reply() = default;
    Reply(int status, std::string body, std::string contentType = "text/plain",
          std::vector<std::pair<std::string, std::string>> headers = {})
        : status(status), body(std::move(body)), contentType(std::move(contentType)), headers(std::move(headers))
    {
    }

    int status = 200;
    std::string body;
    std::string contentType = "text/plain";
    std::vector<std::pair<std::string, std::string>> headers;  // e.g. Set-Cookie, Location
};

using Handler = std::function<Reply(const RecordedRequest&)>;

// A CA and a server certificate signed by it for 127.0.0.1 and localhost,
// generated in memory (P-256 keys, valid from an hour ago for two days). The
// CA certificate is also written to a PEM file in a private temporary
// folder, removed with the object.
class TestCertificateAuthority {
public:
    TestCertificateAuthority();
    ~TestCertificateAuthority();
    TestCertificateAuthority(const TestCertificateAuthority&) = delete;
    TestCertificateAuthority& operator=(const TestCertificateAuthority&) = delete;

    bool valid() const { return !m_caBundlePath.empty(); }
    const std::string& caBundlePath() const { return m_caBundlePath; }
    const std::string& caCertificatePem() const { return m_caPem; }
    const std::string& serverCertificatePem() const { return m_serverCertificatePem; }
    const std::string& serverKeyPem() const { return m_serverKeyPem; }

private:
    std::string m_folder;
    std::string m_caBundlePath;
    std::string m_caPem;
    std::string m_serverCertificatePem;
    std::string m_serverKeyPem;
};

// Clears the proxy variables of this process and sets no_proxy to "*", so
// that requests to the local servers never go through a proxy.
void bypassProxies();

class LocalHttpServer {
public:
    // Plain HTTP; without a handler every request gets an empty 200.
    explicit LocalHttpServer(Handler handler = {});
    // HTTPS with the authority's server certificate.
    LocalHttpServer(const TestCertificateAuthority& authority, Handler handler = {});
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    // Binds a free port on 127.0.0.1 and waits (at most five seconds) until
    // the server takes connections.
    bool start();
    // Stops and waits for running handlers; a handler that blocks must be
    // released first. Also done by the destructor.
    void stop();

    int port() const { return m_port; }
    // "http://127.0.0.1:PORT" (or https).
    std::string baseUrl() const;
    std::string url(std::string_view pathAndQuery) const { return baseUrl() + std::string(pathAndQuery); }

    void setHandler(Handler handler);
    std::vector<RecordedRequest> requests() const;
    std::size_t requestCount() const;
    // The latest request; an empty record when none came.
    RecordedRequest lastRequest() const;
    void clearRequests();

private:
    void install();

    std::unique_ptr<httplib::Server> m_server;
    bool m_https = false;
    int m_port = -1;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    Handler m_handler;
    std::vector<RecordedRequest> m_requests;
};

} // namespace testsupport
