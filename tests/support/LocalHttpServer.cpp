#include "tests/support/LocalHttpServer.h"

#include <httplib.h>

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

namespace testsupport {

void bypassProxies()
{
    for (const char* name : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
        unsetenv(name);
    setenv("no_proxy", "*", 1);
}


namespace {

// httplib parses multipart/form-data bodies itself and then keeps only the
// parts; the tests want the bytes as sent. A pre-routing hook renames the
// content type before the body is read and the recorder puts it back.
constexpr const char* kStashedContentType = "X-LocalHttpServer-Content-Type";

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

// --- Certificates ----------------------------------------------------------

struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertificateFree {
    void operator()(X509* certificate) const { X509_free(certificate); }
};
struct BioFree {
    void operator()(BIO* bio) const { BIO_free(bio); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;
using Certificate = std::unique_ptr<X509, CertificateFree>;
using Bio = std::unique_ptr<BIO, BioFree>;

bool addExtension(X509* certificate, X509* issuer, int nid, const char* value)
{
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    if (!extension)
        return false;
    const bool added = X509_add_ext(certificate, extension, -1) == 1;
    X509_EXTENSION_free(extension);
    return added;
}

Certificate makeCertificate(EVP_PKEY* key, const char* commonName, long serial, X509* issuer, EVP_PKEY* issuerKey,
                            bool isAuthority)
{
    Certificate certificate(X509_new());
    if (!certificate)
        return nullptr;
    X509* cert = certificate.get();
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), serial);
    X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert), 2L * 24 * 3600);
    X509_set_pubkey(cert, key);
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("Nimbalight tests"),
                               -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName), -1,
                               -1, 0);
    X509* signer = issuer ? issuer : cert;
    X509_set_issuer_name(cert, X509_get_subject_name(signer));

    bool ok = addExtension(cert, signer, NID_subject_key_identifier, "hash");
    if (isAuthority) {
        ok = ok && addExtension(cert, signer, NID_basic_constraints, "critical,CA:TRUE");
        ok = ok && addExtension(cert, signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        ok = ok && addExtension(cert, signer, NID_authority_key_identifier, "keyid:always");
        ok = ok && addExtension(cert, signer, NID_basic_constraints, "critical,CA:FALSE");
        ok = ok && addExtension(cert, signer, NID_key_usage, "critical,digitalSignature");
        ok = ok && addExtension(cert, signer, NID_ext_key_usage, "serverAuth");
        ok = ok && addExtension(cert, signer, NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost");
    }
    if (!ok || X509_sign(cert, issuerKey, EVP_sha256()) == 0)
        return nullptr;
    return certificate;
}

std::string bioText(BIO* bio)
{
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio, &data);
    return length > 0 ? std::string(data, size_t(length)) : std::string();
}

std::string certificatePem(X509* certificate)
{
    Bio bio(BIO_new(BIO_s_mem()));
    if (!bio || PEM_write_bio_X509(bio.get(), certificate) != 1)
        return {};
    return bioText(bio.get());
}

std::string keyPem(EVP_PKEY* key)
{
    Bio bio(BIO_new(BIO_s_mem()));
    if (!bio || PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr) != 1)
        return {};
    return bioText(bio.get());
}

Certificate certificateFromPem(const std::string& pem)
{
    Bio bio(BIO_new_mem_buf(pem.data(), int(pem.size())));
    return Certificate(bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr);
}

Key keyFromPem(const std::string& pem)
{
    Bio bio(BIO_new_mem_buf(pem.data(), int(pem.size())));
    return Key(bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr) : nullptr);
}

std::string makePrivateFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "nimbalight-ca-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        return {};
    return pattern;
}

RecordedRequest record(const httplib::Request& request)
{
    RecordedRequest recorded;
    recorded.method = request.method;
    recorded.path = request.path;
    recorded.target = request.target;
    const size_t question = request.target.find('?');
    if (question != std::string::npos)
        recorded.query = request.target.substr(question + 1);
    const bool stashed = request.has_header(kStashedContentType);
    for (const auto& [name, value] : request.headers) {
        // httplib files the socket addresses among the headers; they were not sent.
        if (equalsIgnoringCase(name, kStashedContentType) || name == "REMOTE_ADDR" || name == "REMOTE_PORT" ||
            name == "LOCAL_ADDR" || name == "LOCAL_PORT")
            continue;
        if (stashed && equalsIgnoringCase(name, "Content-Type"))
            recorded.headers.emplace_back(name, request.get_header_value(kStashedContentType));
        else
            recorded.headers.emplace_back(name, value);
    }
    recorded.body = request.body;
    return recorded;
}

} // namespace

// --- RecordedRequest -------------------------------------------------------

std::string RecordedRequest::header(std::string_view name) const
{
    for (const auto& [key, value] : headers)
        if (equalsIgnoringCase(key, name))
            return value;
    return {};
}

std::size_t RecordedRequest::headerCount(std::string_view name) const
{
    return size_t(std::count_if(headers.begin(), headers.end(),
                                [&](const auto& header) { return equalsIgnoringCase(header.first, name); }));
}

// --- TestCertificateAuthority ------------------------------------------------

TestCertificateAuthority::TestCertificateAuthority()
{
    Key caKey(EVP_EC_gen("P-256"));
    Key serverKey(EVP_EC_gen("P-256"));
    if (!caKey || !serverKey)
        return;
    std::random_device random;
    const long serial = long(random() & 0x7fffffff) + 1;
    Certificate ca = makeCertificate(caKey.get(), "Nimbalight test CA", serial, nullptr, caKey.get(), true);
    if (!ca)
        return;
    Certificate server = makeCertificate(serverKey.get(), "127.0.0.1", serial + 1, ca.get(), caKey.get(), false);
    if (!server)
        return;
    m_caPem = certificatePem(ca.get());
    m_serverCertificatePem = certificatePem(server.get());
    m_serverKeyPem = keyPem(serverKey.get());
    m_folder = makePrivateFolder();
    if (m_caPem.empty() || m_serverCertificatePem.empty() || m_serverKeyPem.empty() || m_folder.empty())
        return;
    const std::string path = m_folder + "/test-ca.pem";
    std::ofstream out(path, std::ios::binary);
    out << m_caPem;
    if (out.good())
        m_caBundlePath = path;
}

TestCertificateAuthority::~TestCertificateAuthority()
{
    if (!m_folder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
}

// --- LocalHttpServer ---------------------------------------------------------

LocalHttpServer::LocalHttpServer(Handler handler)
    : m_server(std::make_unique<httplib::Server>()), m_handler(std::move(handler))
{
    install();
}

LocalHttpServer::LocalHttpServer(const TestCertificateAuthority& authority, Handler handler)
    : m_https(true), m_handler(std::move(handler))
{
    Certificate certificate = certificateFromPem(authority.serverCertificatePem());
    Key key = keyFromPem(authority.serverKeyPem());
    if (certificate && key)
        m_server = std::make_unique<httplib::SSLServer>(certificate.get(), key.get());
    install();
}

LocalHttpServer::~LocalHttpServer()
{
    stop();
}

void LocalHttpServer::install()
{
    if (!m_server || !m_server->is_valid()) {
        m_server.reset();
        return;
    }
    m_server->set_pre_routing_handler([](const httplib::Request& request, httplib::Response&) {
        auto& editable = const_cast<httplib::Request&>(request);  // the server's own, non-const object
        for (auto& [name, value] : editable.headers) {
            if (equalsIgnoringCase(name, "Content-Type") && value.rfind("multipart/", 0) == 0) {
                const std::string original = value;
                value = "application/octet-stream";
                editable.headers.emplace(kStashedContentType, original);
                break;
            }
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    const auto serve = [this](const httplib::Request& request, httplib::Response& response) {
        RecordedRequest recorded = record(request);
        Handler handler;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_requests.push_back(recorded);
            handler = m_handler;
        }
        const Reply reply = handler ? handler(recorded) : Reply{};
        response.status = reply.status;
        for (const auto& [name, value] : reply.headers)
            response.set_header(name, value);
        response.set_content(reply.body, reply.contentType);
    };
    const std::string everything = ".*";
    m_server->Get(everything, serve);
    m_server->Post(everything, serve);
    m_server->Put(everything, serve);
    m_server->Patch(everything, serve);
    m_server->Delete(everything, serve);
    m_server->Options(everything, serve);
}

bool LocalHttpServer::start()
{
    if (!m_server || m_thread.joinable())
        return false;
    m_port = m_server->bind_to_any_port("127.0.0.1");
    if (m_port <= 0)
        return false;
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!m_server->is_running()) {
        if (std::chrono::steady_clock::now() > deadline) {
            stop();
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void LocalHttpServer::stop()
{
    if (m_server)
        m_server->stop();
    if (m_thread.joinable())
        m_thread.join();
}

std::string LocalHttpServer::baseUrl() const
{
    return std::string(m_https ? "https" : "http") + "://127.0.0.1:" + std::to_string(m_port);
}

void LocalHttpServer::setHandler(Handler handler)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_handler = std::move(handler);
}

std::vector<RecordedRequest> LocalHttpServer::requests() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

std::size_t LocalHttpServer::requestCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests.size();
}

RecordedRequest LocalHttpServer::lastRequest() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests.empty() ? RecordedRequest{} : m_requests.back();
}

void LocalHttpServer::clearRequests()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_requests.clear();
}

} // namespace testsupport
