#include "base/program_folder.h"

#include <gtest/gtest.h>

#include "support/table_row.h"

namespace orbisk {
namespace {

TEST(ProgramFolderTest, ChoiceFollowsHomePortableWritableInstalled) {
    using enum ProgramFolderSource;
    struct Case {
        const char* what;
        ProgramFolderFacts facts;
        ProgramFolderSource source;
        std::string folder;
    };
    // facts: ORBISK_HOME, executable folder, config.ini beside it, writable, XDG_CONFIG_HOME, HOME
    const Case cases[] = {
        {"ORBISK_HOME wins",
         {"/data/cam//", "/usr/bin", true, true, "/x", "/h"},
         kOrbiskHome,
         "/data/cam"},
        {"portable, even in a bin folder",
         {"", "/opt/stick/bin", true, false, "/x", "/h"},
         kPortable,
         "/opt/stick/bin"},
        {"build folder",
         {"", "/src/build/tools", false, true, "/x", "/h"},
         kExecutable,
         "/src/build/tools"},
        {"read-only folder",
         {"", "/opt/orbisk", false, false, "/x/", "/h"},
         kInstalled,
         "/x/orbisk"},
        {"bin folder that root may write",
         {"", "/usr/bin", false, true, "/x", "/h"},
         kInstalled,
         "/x/orbisk"},
        {"scratch root",
         {"", "/tmp/r/usr/bin", false, true, "", "/h"},
         kInstalled,
         "/h/.config/orbisk"},
        {"relative XDG_CONFIG_HOME is ignored",
         {"", "/usr/bin", false, false, "cfg", "/h/"},
         kInstalled,
         "/h/.config/orbisk"},
        {"a folder merely ending in bin",
         {"", "/home/u/robin", false, true, "/x", "/h"},
         kExecutable,
         "/home/u/robin"},
    };
    for (const Case& c : cases) {
        TRACE_ROW(cases, c);
        const ProgramFolderChoice choice = ChooseProgramFolder(c.facts);
        EXPECT_EQ(choice.source, c.source) << c.what;
        EXPECT_EQ(choice.folder, c.folder) << c.what;
        EXPECT_EQ(choice.error, "") << c.what;
        EXPECT_FALSE(choice.reason.empty()) << c.what;
    }
}

TEST(ProgramFolderTest, ReasonSaysWhichRuleAndInstalledWithoutHomeIsAnError) {
    EXPECT_EQ(ChooseProgramFolder({"", "/usr/bin", false, false, "/x", "/h"}).reason,
              "installed program in /usr/bin: $XDG_CONFIG_HOME/orbisk");
    EXPECT_EQ(ChooseProgramFolder({"", "/usr/bin", false, false, "", "/h"}).reason,
              "installed program in /usr/bin: ~/.config/orbisk");
    const ProgramFolderChoice none = ChooseProgramFolder({"", "/usr/bin", false, false, "", ""});
    EXPECT_EQ(none.folder, "");
    EXPECT_NE(none.error.find("set ORBISK_HOME"), std::string::npos);
    // Without a home an executable's own folder still serves.
    EXPECT_EQ(ChooseProgramFolder({"", "/b/tools", false, true, "", ""}).folder, "/b/tools");
}

}  // namespace
}  // namespace orbisk
