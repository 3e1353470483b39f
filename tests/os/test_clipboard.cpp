// text/uri-list both ways: what the clipboard's files become.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "os/clipboard.h"

using namespace zel;
using V = std::vector<std::string>;

TEST(Clipboard, PathsOfAUriList) {
    const std::pair<std::string, V> cases[] = {
        {"file:///tmp/a%20b\r\nfile:///etc/hosts\r\n", {"/tmp/a b", "/etc/hosts"}},
        {"file:///x\nfile:///y", {"/x", "/y"}},
        {"# a comment\r\nhttp://h/x\r\nfile://host/srv/f\r\n\r\n", {"/srv/f"}},
        {"file:///%C3%A9%2", {"/\xC3\xA9%2"}},
        {"file:///bad%zz", {"/bad%zz"}},
        {"file://nohostpath", {}},
        {"", {}},
    };
    for (const auto& [list, paths] : cases) EXPECT_EQ(clipboard::paths_of_uri_list(list), paths) << list;
}

TEST(Clipboard, UriListOfPaths) {
    EXPECT_EQ(clipboard::uri_list_of({"/tmp/a b", "/x#y?z"}), "file:///tmp/a%20b\r\nfile:///x%23y%3Fz");
    EXPECT_EQ(clipboard::uri_list_of({"/\xC3\xA9"}), "file:///%C3%A9");
    EXPECT_EQ(clipboard::uri_list_of({}), "");
    V back = clipboard::paths_of_uri_list(clipboard::uri_list_of({"/a b/c%d", "/é"}));
    EXPECT_EQ(back, (V{"/a b/c%d", "/é"}));
}
