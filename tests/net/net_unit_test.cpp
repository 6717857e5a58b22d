// Pure parts of the network layer: header parsing.
// No thread is started here.
#include <gtest/gtest.h>

#include <initializer_list>
#include <map>
#include <string>

#include "net/http_connection.h"

namespace {

using namespace EXMIImpl;

EXMIImpl::HttpResponse parseHeaders(std::initializer_list<std::string> lines) {
    EXMIImpl::HttpResponse response;
    for (std::string line : lines) HttpConnection::headerCallback(line.data(), 1, line.size(), &response);
    return response;
}

TEST(HeaderParsing, TrimsKeysAndValuesAndMarksLinesWithoutColon) {
    const auto response = parseHeaders({"HTTP/1.1 200 OK\r\n", "Content-Type :  application/json  \r\n", "X-Empty:\r\n",
                                        "Location: https://h:1/p\r\n", "X-Twice: 1\r\n", "X-Twice: 2\r\n", "\r\n"});
    const std::map<std::string, std::string> expected = {
        {"HTTP/1.1 200 OK", "present"},
        {"Content-Type", "application/json"},
        {"X-Empty", ""},
        {"Location", "https://h:1/p"},
        {"X-Twice", "2"},
    };
    EXPECT_EQ(expected, response.headers);
}

}  // namespace
