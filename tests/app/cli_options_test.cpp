#include "app/cli_options.h"

#include <gtest/gtest.h>

#include "app/autostart.h"

namespace orbisk {
namespace {

TEST(CliOptionsTest, InformationalOptionsWinOverTheUpdate) {
    struct Case {
        std::vector<std::string> args;
        InfoRequest want;
    };
    const Case cases[] = {
        {{"--help"}, InfoRequest::kHelp},
        {{"-s", "-h"}, InfoRequest::kHelp},
        {{"--version", "--list"}, InfoRequest::kVersion},
        {{"--list"}, InfoRequest::kList},
        {{"/s", "--list", "--json"}, InfoRequest::kListJson},
        {{"--json"}, InfoRequest::kNone},  // alone it is just an unknown argument
        {{"-s"}, InfoRequest::kNone},
        {{"--helpme"}, InfoRequest::kNone},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FindInfoRequest(c.args), c.want) << c.args.front();
    }
}

TEST(AutostartTest, FoldersFollowTheXdgRules) {
    using V = std::vector<std::string>;
    EXPECT_EQ(AutostartFolders("/cfg", "/home/u", "/a:/b/"),
              (V{"/cfg/autostart", "/a/autostart", "/b/autostart"}));
    EXPECT_EQ(AutostartFolders(nullptr, "/home/u", nullptr),
              (V{"/home/u/.config/autostart", "/etc/xdg/autostart"}));
    // Relative entries are not XDG folders.
    EXPECT_EQ(AutostartFolders("rel", "/home/u", "x::/c"),
              (V{"/home/u/.config/autostart", "/c/autostart"}));
}

}  // namespace
}  // namespace orbisk
