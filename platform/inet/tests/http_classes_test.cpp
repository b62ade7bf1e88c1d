// The HTTP classes against a server of the test's own on loopback.
#include <afxinet.h>
#include <http_test_server.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using qf_test::HttpAnswer;
using qf_test::HttpTestServer;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

const char kHeaders[] = "Accept: image/gif, */*\r\nAccept-Encoding: gzip\r\nAccept-Language: en\r\n\r\n";

// What a GET of path brought: status, body, and the internet error that ended it (0 = none).
struct Fetched {
    DWORD status = 0;
    std::string body;
    DWORD error = 0;
    std::string errorText;
};

Fetched fetch(const std::string& server, INTERNET_PORT port, const char* path, UINT readSize = 2048,
              const char* agent = "test-agent", DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_DONT_CACHE) {
    Fetched fetched;
    CInternetSession session(agent, 1, PRE_CONFIG_INTERNET_ACCESS);
    CHttpConnection* connection = nullptr;
    CHttpFile* request = nullptr;
    try {
        connection = session.GetHttpConnection(server.c_str(), port);
        request = connection->OpenRequest(CHttpConnection::HTTP_VERB_GET, path, nullptr, 1, nullptr, nullptr, flags);
        request->SendRequest(kHeaders, sizeof(kHeaders) - 1);
        request->QueryInfoStatusCode(fetched.status);
        std::vector<char> buffer(readSize);
        for (UINT got; (got = request->Read(buffer.data(), readSize)) > 0;) fetched.body.append(buffer.data(), got);
    } catch (CInternetException* e) {
        fetched.error = e->m_dwError;
        char text[512];
        e->GetErrorMessage(text, sizeof(text));
        fetched.errorText = text;
        e->Delete();
    }
    delete request;
    delete connection;
    session.Close();
    return fetched;
}

class HttpClasses : public ::testing::Test {
protected:
    HttpTestServer server_;
};

TEST_F(HttpClasses, AGetCarriesTheExtraHeadersAsGivenAndOnlyHostAndAgentBesideThem) {
    server_.answer("/d/file.bin", HttpAnswer{200, "body bytes"});
    Fetched fetched = fetch("127.0.0.1", server_.port(), "/d/file.bin");
    EXPECT_EQ(0u, fetched.error) << fetched.errorText;
    EXPECT_EQ(200u, fetched.status);
    EXPECT_EQ("body bytes", fetched.body);
    ASSERT_EQ(1u, server_.requests().size());
    const qf_test::HttpRequest request = server_.requests()[0];
    EXPECT_EQ("GET", request.method);
    EXPECT_EQ("/d/file.bin", request.path);
    EXPECT_EQ("HTTP/1.1", request.version);
    EXPECT_THAT(request.headerLines,
                ElementsAre("Host: " + server_.address(), "User-Agent: test-agent", "Accept: image/gif, */*",
                            "Accept-Encoding: gzip", "Accept-Language: en"));
}

TEST_F(HttpClasses, WithoutAnAgentTheProgramsNameIsTheUserAgent) {
    server_.answer("/a", HttpAnswer{200, "x"});
    fetch("127.0.0.1", server_.port(), "/a", 2048, nullptr);
    ASSERT_EQ(1u, server_.requests().size());
    EXPECT_THAT(server_.requests()[0].headerLines, ::testing::Contains("User-Agent: inet_tests"));
}

TEST_F(HttpClasses, TheBodyIsReadAsSentInReadsOfAtMostTheAskedSize) {
    std::string large(3 * 1024 * 1024 + 17, '\0');
    for (size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>(i * 7 + i / 4096);
    server_.answer("/large", HttpAnswer{200, large});
    // Gzip-looking bytes stay as sent: nothing decodes them.
    const std::string notReallyGzip("\x1f\x8b\x08\x00garbage", 12);
    server_.answer("/gz", HttpAnswer{200, notReallyGzip, "Content-Encoding: gzip\r\n"});
    server_.answer("/empty", HttpAnswer{200, ""});

    EXPECT_EQ(large, fetch("127.0.0.1", server_.port(), "/large").body) << "read in 2048-byte pieces";
    server_.answer("/small", HttpAnswer{200, large.substr(0, 100000)});
    EXPECT_EQ(large.substr(0, 100000), fetch("127.0.0.1", server_.port(), "/small", 1).body) << "one byte a read";
    EXPECT_EQ(notReallyGzip, fetch("127.0.0.1", server_.port(), "/gz").body);
    Fetched empty = fetch("127.0.0.1", server_.port(), "/empty");
    EXPECT_EQ(200u, empty.status);
    EXPECT_EQ("", empty.body);
}

TEST_F(HttpClasses, EachReadGivesAtMostTheAskedCount) {
    server_.answer("/ten", HttpAnswer{200, "0123456789"});
    CInternetSession session("agent");
    CHttpConnection* connection = session.GetHttpConnection("127.0.0.1", server_.port());
    CHttpFile* request = connection->OpenRequest(CHttpConnection::HTTP_VERB_GET, "/ten");
    ASSERT_TRUE(request->SendRequest());
    char buffer[8] = {0};
    std::vector<UINT> counts;
    std::string body;
    for (UINT got; (got = request->Read(buffer, 4)) > 0;) {
        counts.push_back(got);
        body.append(buffer, got);
    }
    EXPECT_EQ("0123456789", body);
    for (UINT count : counts) EXPECT_LE(count, 4u);
    EXPECT_EQ(0u, request->Read(buffer, 4)) << "the end stays the end";
    delete connection;  // the request keeps working without its connection object
    delete request;
}

TEST_F(HttpClasses, OtherStatusCodesAndRedirectsAreReportedAsTheServerAnswered) {
    server_.answer("/moved", HttpAnswer{302, "", "Location: /target\r\n"});
    server_.answer("/target", HttpAnswer{200, "arrived"});
    server_.answer("/broken", HttpAnswer{500, "oops"});
    Fetched moved = fetch("127.0.0.1", server_.port(), "/moved");
    EXPECT_EQ(200u, moved.status);
    EXPECT_EQ("arrived", moved.body);
    Fetched notFound = fetch("127.0.0.1", server_.port(), "/missing");
    EXPECT_EQ(404u, notFound.status);
    EXPECT_EQ(0u, notFound.error);
    EXPECT_EQ(500u, fetch("127.0.0.1", server_.port(), "/broken").status);
    Fetched unfollowed = fetch("127.0.0.1", server_.port(), "/moved", 2048, "agent", INTERNET_FLAG_NO_AUTO_REDIRECT);
    EXPECT_EQ(302u, unfollowed.status);
}

TEST_F(HttpClasses, ABodyThatBreaksOffThrowsAfterTheBytesThatCame) {
    HttpAnswer shortAnswer{200, std::string(999, 'b')};
    shortAnswer.announcedLength = 1000;
    server_.answer("/short", shortAnswer);
    Fetched fetched = fetch("127.0.0.1", server_.port(), "/short");
    EXPECT_EQ(std::string(999, 'b'), fetched.body);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INTERNET_CONNECTION_ABORTED), fetched.error);
    EXPECT_THAT(fetched.errorText, HasSubstr("Transferred a partial file"));
}

TEST(HttpClassesFailures, NetworkErrorsAndRefusedArgumentsAreThrownWithCodeAndText) {
    Fetched refused = fetch("127.0.0.1", static_cast<INTERNET_PORT>(qf_test::unused_loopback_port()), "/x");
    EXPECT_EQ(static_cast<DWORD>(ERROR_INTERNET_CANNOT_CONNECT), refused.error);
    EXPECT_THAT(refused.errorText, HasSubstr("Couldn't connect to server"));
    EXPECT_THAT(refused.errorText, HasSubstr("127.0.0.1"));

    struct Case {
        const char* server;
        const char* path;
        DWORD error;
    };
    const Case cases[] = {
        {"", "/x", ERROR_INTERNET_INVALID_URL},
        {"host/with/slash", "/x", ERROR_INTERNET_INVALID_URL},
        {"user@host", "/x", ERROR_INTERNET_INVALID_URL},
        {"127.0.0.1", "no-slash", ERROR_INTERNET_INVALID_URL},
        {"127.0.0.1", "/with space", ERROR_INTERNET_INVALID_URL},
        {"127.0.0.1", "/line\r\nInjected: yes", ERROR_INTERNET_INVALID_URL},
    };
    for (const Case& c : cases) {
        Fetched fetched = fetch(c.server, 80, c.path);
        EXPECT_EQ(c.error, fetched.error) << c.server << c.path;
        EXPECT_FALSE(fetched.errorText.empty());
    }

    CInternetSession session("agent");
    CHttpConnection* connection = session.GetHttpConnection("127.0.0.1", 80);
    try {
        connection->OpenRequest(CHttpConnection::HTTP_VERB_POST, "/x");
        ADD_FAILURE() << "POST is not supported";
    } catch (CInternetException* e) {
        EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_SUPPORTED), e->m_dwError);
        e->Delete();
    }
    delete connection;
    session.Close();
    try {
        session.GetHttpConnection("127.0.0.1");
        ADD_FAILURE() << "a closed session makes no connection";
    } catch (CInternetException* e) {
        EXPECT_EQ(static_cast<DWORD>(ERROR_INTERNET_INCORRECT_HANDLE_STATE), e->m_dwError);
        e->Delete();
    }
}

TEST(InternetException, TheTextIsCutToTheBuffer) {
    CInternetException* e = new CInternetException(ERROR_INTERNET_CANNOT_CONNECT, "0123456789");
    char text[6];
    UINT help = 99;
    EXPECT_TRUE(e->GetErrorMessage(text, sizeof(text), &help));
    EXPECT_STREQ("01234", text);
    EXPECT_EQ(0u, help);
    EXPECT_FALSE(e->GetErrorMessage(text, 0));
    e->Delete();
    CInternetException* plain = new CInternetException(ERROR_INTERNET_NAME_NOT_RESOLVED);
    char full[128];
    EXPECT_TRUE(plain->GetErrorMessage(full, sizeof(full)));
    EXPECT_STREQ("The server name or address could not be resolved", full);
    plain->Delete();
}

}  // namespace
