#include "app/cli_options.h"

#include <gtest/gtest.h>

#include "app/autostart.h"
#include "support/table_row.h"

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
        TRACE_ROW(cases, c);
        EXPECT_EQ(FindInfoRequest(c.args), c.want) << c.args.front();
    }
}

TEST(CliOptionsTest, IpCameraOptionsAndAddressLists) {
    IpCameraArgs a = FindIpCameraArgs({"--list", "--ip", "rtsp://h:554/s", "--ip", "rtsp://g:1/"});
    EXPECT_EQ(a.addresses, (std::vector<std::string>{"rtsp://h:554/s", "rtsp://g:1/"}));
    EXPECT_EQ(a.others, (std::vector<std::string>{"--list"}));
    EXPECT_FALSE(a.upload_file);
    IpCameraArgs b = FindIpCameraArgs({"--ip-upload", "/srv/fw-s.bin", "--camera", "2"});
    EXPECT_EQ(b.upload_file.value_or("?"), "/srv/fw-s.bin");
    EXPECT_EQ(b.camera.value_or(-1), 2);
    EXPECT_TRUE(b.error.empty());
    for (const std::vector<std::string>& wrong : std::vector<std::vector<std::string>>{
             {"--ip-upload"}, {"--camera", "x"}, {"--camera", "-1"}, {"--ip"}}) {
        const IpCameraArgs c = FindIpCameraArgs(wrong);
        EXPECT_FALSE(c.error.empty()) << wrong.front();
        EXPECT_TRUE(c.any()) << wrong.front();
    }
    EXPECT_FALSE(FindIpCameraArgs({"-s", "/silent"}).any());
    EXPECT_EQ(SplitAddressList(" rtsp://a:1/x,rtsp://b:2/y ;\trtsp://c:3 "),
              (std::vector<std::string>{"rtsp://a:1/x", "rtsp://b:2/y", "rtsp://c:3"}));
    EXPECT_TRUE(SplitAddressList("").empty());
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
