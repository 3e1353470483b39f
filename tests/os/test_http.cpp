// HTTP through zel itself, against two servers on the loopback that the
// tests start: python3's http.server over a folder of files, and the
// handler beside this file (http_handler.py: a POST echo, a duplicated
// header, a redirect, a 404). Nothing reaches beyond 127.0.0.1; every wait
// has a time limit, so a server that does not answer fails the test.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int WAIT_MS = 30000;

// A child process with its standard output on a pipe.
struct Child {
    pid_t pid = -1;
    int out = -1;
};

// A server's log (on its standard error) is let go.
Child start(const std::vector<std::string>& argv, bool quiet = false) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        if (quiet) {
            int null = open("/dev/null", O_WRONLY);
            dup2(null, 2);
        }
        close(fds[0]);
        close(fds[1]);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(fds[1]);
    return {pid, fds[0]};
}

// What the child writes, up to a line end (`line`) or to its end, or
// whatever came when the time ran out.
std::string read_output(int fd, bool line) {
    std::string text;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(WAIT_MS);
    for (;;) {
        int left = int(
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count());
        pollfd p{fd, POLLIN, 0};
        if (left <= 0 || poll(&p, 1, left) <= 0) return text;
        char buffer[4096];
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) return text;
        text.append(buffer, size_t(n));
        if (line && text.find('\n') != std::string::npos) return text;
    }
}

void stop(Child& child) {
    if (child.pid > 0) {
        kill(child.pid, SIGKILL);
        waitpid(child.pid, nullptr, 0);
    }
    if (child.out >= 0) close(child.out);
    child = {};
}

// A port nothing listens on: taken from the system, then let go.
int closed_port() {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    bind(s, reinterpret_cast<sockaddr*>(&a), size);
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &size);
    close(s);
    return ntohs(a.sin_port);
}

class Http : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        char name[] = "/tmp/zel-http-XXXXXX";
        folder_ = mkdtemp(name) ? name : "";
        std::ofstream(folder_ + "/hello.txt", std::ios::binary) << "hello\r\nworld\n";
        // "Serving HTTP on 127.0.0.1 port N (...)"
        files_ =
            start({"python3", "-u", "-m", "http.server", "0", "--bind", "127.0.0.1", "--directory", folder_}, true);
        std::string first = read_output(files_.out, true);
        size_t at = first.find(" port ");
        files_port_ = at == std::string::npos ? 0 : std::atoi(first.c_str() + at + 6);
        site_ = start({"python3", "-u", ZEL_SOURCE_DIR "/tests/os/http_handler.py"}, true);
        site_port_ = std::atoi(read_output(site_.out, true).c_str());
    }
    static void TearDownTestSuite() {
        stop(files_);
        stop(site_);
        std::system(("rm -rf '" + folder_ + "'").c_str());
    }
    void SetUp() override {
        if (files_port_ <= 0 || site_port_ <= 0) GTEST_SKIP() << "python3 cannot serve on the loopback";
    }

    // What zel prints for the code: its molded result, or "error
    // category/id". The words files and site name the two servers, closed a
    // port where nothing listens.
    static std::string run(const std::string& code) {
        std::string script = folder_ + "/case.zel";
        std::ofstream(script) << "Zel []\n"
                              << "files: http://127.0.0.1:" << files_port_ << "/\n"
                              << "site: http://127.0.0.1:" << site_port_ << "/\n"
                              << "closed: http://127.0.0.1:" << closed_port() << "/\n"
                              << "r: try [" << code << "]\n"
                              << "print either error? :r [rejoin [\"error \" r/type \"/\" r/id]] [mold/flat :r]\n";
        Child zel = start({ZEL_BINARY, script});
        std::string out = read_output(zel.out, false);
        stop(zel);
        if (!out.empty() && out.back() == '\n') out.pop_back();
        return out;
    }

    static void expect(std::initializer_list<std::pair<const char*, const char*>> cases) {
        for (const auto& [code, expected] : cases) EXPECT_EQ(run(code), expected) << code;
    }

    static inline std::string folder_;
    static inline Child files_, site_;
    static inline int files_port_ = 0, site_port_ = 0;
};

TEST_F(Http, ReadGivesTheBodyAsTextBytesOrLines) {
    expect({
        {"read files/hello.txt", "\"hello^/world^/\""},
        {"read/binary files/hello.txt", "#{68656C6C6F0D0A776F726C640A}"},
        {"read/lines files/hello.txt", "[\"hello\" \"world\"]"},
        {"r: read/info files/hello.txt reduce [r/1 select r/2 'Content-Length r/3]", "[200 \"13\" \"hello^/world^/\"]"},
        {"r: read/info/binary files/hello.txt reduce [r/1 r/3]", "[200 #{68656C6C6F0D0A776F726C640A}]"},
        {"r: write/info files/hello.txt [head] reduce [r/1 select r/2 'Content-Length r/3]", "[200 \"13\" \"\"]"},
    });
}

// Only the final response's status and headers are kept; a name met twice
// gives a block; a value is kept whole when no blank follows the colon.
TEST_F(Http, RedirectsAndHeaders) {
    expect({
        {"r: read/info site/redirect reduce [r/1 select r/2 'X-Dup select r/2 'X-Tight r/3]",
         "[200 [\"one\" \"two\"] \"value\" \"dup\"]"},
        {"r: read/info site/redirect select r/2 'Location", "none"},
    });
}

// A 404 still answers its body.
TEST_F(Http, AnErrorStatusAnswersItsBody) {
    expect({
        {"read site/missing", "\"not here\""},
        {"r: read/info site/missing reduce [r/1 r/3]", "[404 \"not here\"]"},
        {"r: read/info files/missing.txt r/1", "404"},
    });
}

// A header block replaces the three default headers: none of them is sent
// (curl's Accept is the transport's own).
TEST_F(Http, WriteSendsTheMethodHeadersAndData) {
    expect({
        {"write site/echo [post [Content-Type: \"text/plain\"] \"x\"]",
         "{POST^/Accept: */*^/Content-Type: text/plain^/body: x}"},
        {"write site/echo \"a=1\"",
         "{POST^/Accept: */*^/Content-Type: application/x-www-form-urlencoded^/Accept-Charset: "
         "UTF-8^/"
         "User-Agent: Mozilla/5.0 (Windows NT 6.1; Win64; x64)^/body: a=1}"},
        {"write site/echo [put [X-A 1 'X-B <b> Content-Type \"a/b\" X-Odd] #{414243}]",
         "{PUT^/Accept: */*^/X-A: 1^/X-B: <b>^/Content-Type: a/b^/body: ABC}"},
        {"write site/echo [post []]", "\"POST^/Accept: */*^/body: \""},
        {"write site/echo \"é\"",
         "{POST^/Accept: */*^/Content-Type: application/x-www-form-urlencoded^/"
         "Accept-Charset: UTF-8^/User-Agent: Mozilla/5.0 (Windows NT 6.1; Win64; x64)^/"
         "body: é}"},
        {"write site/echo []", "\"not here\""},
        {"r: write/info site/echo [post [] \"z\"] reduce [r/1 r/3]", "[200 \"POST^/Accept: */*^/body: z\"]"},
    });
}

TEST_F(Http, Failures) {
    expect({
        {"read closed", "error access/no-connect"},
        {"write closed \"x\"", "error access/no-connect"},
        {"e: try [read closed] e/arg1 = closed", "true"},
        {"write site/echo [1]", "error script/invalid-arg"},
        {"write site/echo [post 1]", "error script/invalid-arg"},
        {"write site/echo 42", "error script/invalid-arg"},
        {"write site/echo [post [] 42]", "error script/invalid-arg"},
        {"read/part site/dup 2", "error internal/not-done"},
        {"read/seek site/dup 2", "error internal/not-done"},
        {"write/seek site/echo \"x\" 1", "error internal/not-done"},
        // Other schemes go through ports; none is registered.
        {"read ftp://127.0.0.1/", "error access/unknown-scheme"},
    });
}

}  // namespace
