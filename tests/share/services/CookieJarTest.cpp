#include "share/services/CookieJar.h"

#include <gtest/gtest.h>

namespace {

using services::Cookie;
using services::CookieJar;

Cookie cookie(std::string domain, bool subdomains, std::string name, std::string value = "v")
{
    Cookie c;
    c.domain = std::move(domain);
    c.includeSubdomains = subdomains;
    c.name = std::move(name);
    c.value = std::move(value);
    return c;
}

TEST(Cookie, ReadsAndWritesLibcurlLines)
{
    const auto parsed = Cookie::fromCurlLine("#HttpOnly_.Facebook.com\tTRUE\t/connect\tTRUE\t1999999999\tdatr\ta b=c");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->domain, "facebook.com");
    EXPECT_TRUE(parsed->includeSubdomains);
    EXPECT_EQ(parsed->path, "/connect");
    EXPECT_TRUE(parsed->secure);
    EXPECT_TRUE(parsed->httpOnly);
    EXPECT_EQ(parsed->expires, 1999999999);
    EXPECT_EQ(parsed->name, "datr");
    EXPECT_EQ(parsed->value, "a b=c");
    EXPECT_EQ(parsed->toCurlLine(), "#HttpOnly_.facebook.com\tTRUE\t/connect\tTRUE\t1999999999\tdatr\ta b=c");

    const auto empty = Cookie::fromCurlLine("127.0.0.1\tFALSE\t/\tFALSE\t0\tsession\t");
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->value, "");
    EXPECT_FALSE(empty->includeSubdomains);
    EXPECT_EQ(Cookie::fromCurlLine(empty->toCurlLine())->toCurlLine(), empty->toCurlLine());
}

TEST(Cookie, RejectsJunkLines)
{
    for (const char* line : {"", "# Netscape HTTP Cookie File", "a\tb", "h\tFALSE\t/\tFALSE\tsoon\tn\tv",
                             "h\tFALSE\t/\tFALSE\t0\t\tv", "\tFALSE\t/\tFALSE\t0\tn\tv",
                             "h\tFALSE\t/\tFALSE\t0\tn\tv\textra"})
        EXPECT_FALSE(Cookie::fromCurlLine(line)) << line;
}

TEST(Cookie, MatchesItsHostAndForDomainCookiesTheSubdomains)
{
    struct Case {
        Cookie cookie;
        const char* host;
        bool matches;
    };
    const std::vector<Case> cases{
        {cookie("www.facebook.com", false, "a"), "www.facebook.com", true},
        {cookie("www.facebook.com", false, "a"), "WWW.Facebook.COM", true},
        {cookie("www.facebook.com", false, "a"), "m.www.facebook.com", false},
        {cookie("facebook.com", true, "a"), "www.facebook.com", true},
        {cookie("facebook.com", true, "a"), "facebook.com", true},
        {cookie("facebook.com", true, "a"), "notfacebook.com", false},
        {cookie("facebook.com", true, "a"), "com", false},
        {cookie("127.0.0.1", false, "a"), "127.0.0.1", true},
        {cookie("127.0.0.1", false, "a"), "localhost", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.cookie.matchesHost(c.host), c.matches) << c.cookie.toCurlLine() << " for " << c.host;
}

TEST(CookieJar, DeletesOnlyWhatWouldGoToTheHost)
{
    CookieJar jar;
    jar.setCookie(cookie("facebook.com", true, "domainwide"));
    jar.setCookie(cookie("www.facebook.com", false, "login"));
    jar.setCookie(cookie("graph.facebook.com", false, "graph"));
    jar.setCookie(cookie("up.flickr.com", false, "flickr"));
    jar.setCookie(cookie("www.facebook.com", false, "login", "replaced"));  // same cookie: replaced
    ASSERT_EQ(jar.all().size(), 4u);
    EXPECT_EQ(jar.cookiesForHost("www.facebook.com").size(), 2u);

    EXPECT_EQ(jar.deleteCookiesForUrl("https://www.facebook.com/connect/login_success.html"), 2u);
    std::vector<std::string> left;
    for (const Cookie& c : jar.all())
        left.push_back(c.name);
    EXPECT_EQ(left, (std::vector<std::string>{"graph", "flickr"}));
    EXPECT_EQ(jar.deleteCookiesForUrl("not a url"), 0u);
    EXPECT_EQ(jar.deleteCookiesForHost("up.flickr.com"), 1u);
    EXPECT_EQ(jar.all().size(), 1u);
}

TEST(CookieJar, UpdateDropsWhatDidNotComeBackAndKeepsTheRest)
{
    CookieJar jar;
    jar.setCookie(cookie("a.example", false, "gone"));
    jar.setCookie(cookie("a.example", false, "kept"));
    jar.setCookie(cookie("b.example", false, "untouched"));
    const std::vector<std::string> before{cookie("a.example", false, "gone").toCurlLine(),
                                          cookie("a.example", false, "kept").toCurlLine()};
    jar.update(before, {cookie("a.example", false, "kept", "new").toCurlLine(),
                        cookie("a.example", false, "fresh").toCurlLine(), "junk"});
    std::vector<std::string> state;
    for (const Cookie& c : jar.all())
        state.push_back(c.name + "=" + c.value);
    EXPECT_EQ(state, (std::vector<std::string>{"kept=new", "untouched=v", "fresh=v"}));
}

TEST(HostOfUrl, LowerCaseHostOrNothing)
{
    EXPECT_EQ(services::hostOfUrl("HTTPS://Up.Flickr.COM:443/services/upload?x=1"), "up.flickr.com");
    EXPECT_EQ(services::hostOfUrl("http://127.0.0.1:8080/"), "127.0.0.1");
    EXPECT_EQ(services::hostOfUrl("http://[::1]:80/"), "::1");
    EXPECT_EQ(services::hostOfUrl("/relative/path"), "");
    EXPECT_EQ(services::hostOfUrl(""), "");
}

} // namespace
