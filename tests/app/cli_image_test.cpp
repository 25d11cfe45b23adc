// orbisk -s --image FILE against simulated cameras of every memory: the file is written with
// every check of the carried image, refused when it cannot be this camera's, and a camera an
// update left in its boot ROM is brought back with the image its record names.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "app/cli_fixture.h"
#include "device/otp_rules.h"
#include "support/otp_dead_blocks.h"

namespace orbisk::test {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Load(const std::string& path) {
    const std::string s = ReadFile(path);
    return Bytes(s.begin(), s.end());
}

// What a camera's memory holds as an image: a flash's bytes as they are; an OTP's newest
// blocks, read through its ECC records and joined; a MIPI module's bridge flash.
Bytes FlashHolds(const std::string& folder) {
    return Load(folder + "/flash.bin");
}
Bytes OtpHolds(const std::string& folder) {
    return otp_rules::Joined(otp_rules::Read(Load(folder + "/otp.bin")));
}
Bytes BridgeHolds(const std::string& folder) {
    return Load(folder + "/bridge.bin");
}
Bytes EepromHolds(const std::string& folder) {
    return Load(folder + "/eeprom.bin");
}
Bytes MtpHolds(const std::string& folder) {
    return Load(folder + "/mtp.bin");
}

// One memory of the table: the chip and options of its demo image and its camera, what
// config.ini adds, and how the memory is read back.
struct MemoryRow {
    const char* memory;  // as orbisk-image demo --memory and scripts/demo.sh name it
    const char* profile;
    std::vector<std::string> camera;  // orbisk-sim create options besides --profile and --image
    const char* config;               // config.ini lines besides SaveSN
    Bytes (*holds)(const std::string& folder);
    // A MIPI module: the image goes into its bridge's flash, which keeps no identity or serial
    // number (the controller runs the demo image with the camera's).
    bool bridge = false;
};

const MemoryRow kMemories[] = {
    {"sf", "ORV7507", {}, "", FlashHolds},
    {"nor",
     "ORV6363",
     {"--memory", "nor", "--memory-size", "0x10000"},
     "NOR Flash=1\n",
     FlashHolds},
    {"otp", "ORV6099", {"--memory", "otp"}, "", OtpHolds},
    {"bridge", "ORV7608", {"--bridge"}, "MIPI Camera=1\n", BridgeHolds, true},
    // EEPROMs with the write-protect pin on the GPIO registers and, on the ORV6099, on 0xFF9C.
    {"eeprom8", "ORV6987", {"--memory", "eeprom8"}, "", EepromHolds},
    {"eeprom16", "ORV6987", {"--memory", "eeprom16"}, "", EepromHolds},
    {"eeprom16", "ORV6099", {"--memory", "eeprom16"}, "", EepromHolds},
    {"mtp", "ORV6987", {"--memory", "mtp"}, "", MtpHolds},
};

// The largest "FlashSize" among the built-in chip profiles, read from their files.
size_t LargestProfileMemory() {
    size_t largest = 0;
    for (const auto& entry :
         std::filesystem::directory_iterator(ORBISK_SOURCE_DIR "/resources/profiles")) {
        const std::string text = ReadFile(entry.path().string());
        const size_t at = text.find("FlashSize=");
        if (at != std::string::npos)
            largest = std::max<size_t>(largest, std::stoul(text.substr(at + 10), nullptr, 0));
    }
    return largest;
}

class CliImageTest : public CliFixture {
  protected:
    std::string Image(const std::string& name, const MemoryRow& row,
                      std::vector<std::string> options) {
        options.insert(options.begin(), {"--profile", row.profile, "--memory", row.memory});
        return DemoImage(name, options);
    }
    // The options of a demo image of the row's memory with `version` and `rev`.
    static std::vector<std::string> Version(const MemoryRow& row, const char* version,
                                            const char* rev) {
        if (row.bridge) return {"--version", version};
        return {"--version", version, "--rev", rev};
    }
    // A camera of the row's memory running version 0x1050 with its serial number.
    std::string OldCamera(const std::string& name, const MemoryRow& row,
                          const std::string& serial) {
        std::vector<std::string> old = Version(row, "1050", "0050");
        std::vector<std::string> options{"--profile", row.profile};
        if (row.bridge) {
            options.insert(
                options.end(),
                {"--image", DemoImage(name + "-controller.rfw", {"--manufacturer", serial}),
                 "--bridge-image", Image(name + "-old.rfw", row, old)});
        } else {
            old.insert(old.end(), {"--manufacturer", serial});
            options.insert(options.end(), {"--image", Image(name + "-old.rfw", row, old)});
        }
        options.insert(options.end(), row.camera.begin(), row.camera.end());
        return Camera(name, options);
    }
    // The image as the update writes it: with the camera's serial number carried over (a
    // bridge's image as it is).
    Bytes WithSerial(const std::string& image, const MemoryRow& row, const std::string& serial) {
        if (row.bridge) return Load(image);
        const std::string out = image + ".sn";
        RunOk({ORBISK_TOOLS_DIR "/orbisk-image", "set-string", image, out, "--type", "1", "--text",
               serial, "--profile", row.profile});
        return Load(out);
    }
    // A camera of the row's memory that an update with `image` left in its boot ROM: `fault`
    // (orbisk-sim fault options) made the update fail.
    std::string StrandedCamera(const MemoryRow& row, const std::string& serial,
                               const std::string& image, const std::vector<std::string>& fault,
                               const std::string& name = "cam") {
        const std::string camera = OldCamera(name, row, serial);
        Config("SaveSN=1\n");
        std::vector<std::string> args{"fault", camera};
        args.insert(args.end(), fault.begin(), fault.end());
        Sim(args);
        EXPECT_EQ(Orbisk({"-s", "--image", image}, camera).exit_code, 1);
        Sim({"fault", camera, "--clear"});
        EXPECT_EQ(Field(Show(camera), "mode"), "rom");
        EXPECT_TRUE(FileExists(Home("Recovery/1-1.ini")));
        return camera;
    }
    // The run brought the camera back, said `told` on stderr, and the camera runs `version`
    // with its own serial number; its record is gone.
    void ExpectRestored(const ProgramRun& run, const std::string& camera, const std::string& told,
                        const std::string& version, const std::string& serial) {
        ExpectPass(run, Home());
        EXPECT_NE(run.err.find(told), std::string::npos) << run.err;
        const std::string after = Show(camera);
        EXPECT_EQ(Field(after, "version"), version);
        EXPECT_EQ(Field(after, "manufacturer"), serial);
        EXPECT_FALSE(FileExists(Home("Recovery/1-1.ini")));
    }
    static void ExpectPass(const ProgramRun& run, const std::string& home) {
        EXPECT_EQ(run.exit_code, 0) << run.err;
        EXPECT_EQ(run.out, "\nBegin to Write fw!\r\nWrite fw pass!\r\n" + home + ">");
    }
};

TEST_F(CliImageTest, EveryMemoryIsUpdatedFromAnImageFile) {
    for (const MemoryRow& row : kMemories) {
        SCOPED_TRACE(std::string(row.memory) + " " + row.profile);
        const std::string serial = std::string("SN-") + row.memory;
        const std::string camera =
            OldCamera(std::string("cam-") + row.memory + "-" + row.profile, row, serial);
        Config(std::string("SaveSN=1\n") + row.config);
        const std::string image =
            Image(std::string("new-") + row.memory + ".rfw", row, Version(row, "1060", "0100"));

        ExpectPass(Orbisk({"-s", "--image", image}, camera), Home());
        // The camera restarted into the new image, read back from its memory as written.
        const std::string after = Show(camera);
        EXPECT_EQ(Field(after, "mode"), "app");
        EXPECT_EQ(Field(after, row.bridge ? "bridge_version" : "version"), "0x00-0000-1060");
        if (!row.bridge) {
            EXPECT_EQ(Field(after, "rev"), "0100");
        }
        EXPECT_EQ(Field(after, "manufacturer"), serial);
        const Bytes expected = WithSerial(image, row, serial);
        Bytes held = row.holds(camera);
        ASSERT_GE(held.size(), expected.size());
        held.resize(expected.size());
        EXPECT_TRUE(held == expected) << "the memory holds another image";
        // The record of the update is gone with its pass.
        EXPECT_TRUE(std::filesystem::is_empty(Home("Recovery")));
        // A camera that runs the image already is left as it is: an OTP keeps its space. (A
        // bridge's image carries no identity to tell.)
        if (!row.bridge) {
            ExpectPass(Orbisk({"-s", "--image", image}, camera), Home());
            EXPECT_EQ(Show(camera), after);
        }
    }
}

TEST_F(CliImageTest, FilesThatCannotBeTheCamerasImageAreRefusedBeforeAnythingIsWritten) {
    const MemoryRow& row = kMemories[0];
    const std::string camera = OldCamera("cam", row, "SN-KEEP");
    Config("SaveSN=1\nSaveResultToFile=2\n");
    const std::string before = Show(camera);
    RunOk({"/bin/mkdir", Path("folder.rfw")});
    ASSERT_EQ(mkfifo(Path("fifo.rfw").c_str(), 0600), 0);
    WriteFile(Path("empty.rfw"), "");
    // Longer than the largest memory of any chip profile.
    WriteFile(Path("large.rfw"), std::string(0x40001, '\xFF'));
    struct Refusal {
        const char* name;
        std::string file;
        uint32_t code;
        std::string reason;
    };
    const Refusal cases[] = {
        {"folder", Path("folder.rfw"), 41530, "folder.rfw: Is a directory"},
        {"FIFO, never waited on", Path("fifo.rfw"), 41530, "fifo.rfw: not a regular file"},
        {"empty", Path("empty.rfw"), 41530, "empty.rfw: the file is empty"},
        {"too long", Path("large.rfw"), 41530,
         "large.rfw: 262145 bytes, more than the " + std::to_string(LargestProfileMemory()) +
             " bytes of the largest memory of any chip profile"},
        {"missing", Path("missing.rfw"), 41530, "missing.rfw: no such file"},
        {"another product", Image("other.rfw", row, {"--pid", "1234", "--rev", "0200"}), 41714,
         "other.rfw is the image of VID_2C7E&PID_1234, not of this camera, VID_2C7E&PID_6363"},
        {"another chip", DemoImage("chip.rfw", {"--profile", "ORV7464", "--rev", "0200"}), 41715,
         "chip.rfw is an image of chip model 13, not of this camera's chip (ORV7507, chip "
         "model 12)"},
        {"another chip's layout", Image("layout.rfw", kMemories[1], {"--rev", "0200"}), 41715,
         "layout.rfw has no configuration area where this camera's chip, ORV7507, keeps it"},
    };
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.name);
        const ProgramRun run = Orbisk({"-s", "--image", c.file}, camera);
        EXPECT_EQ(run.exit_code, 1);
        const std::string lines =
            c.code == 41530 ? "\nLoad File Data Fail!\nGet IC Info Fail\n" : "\nGet IC Info Fail\n";
        EXPECT_EQ(run.out, lines + Home() + ">");
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("(status " + std::to_string(c.code) + ")"), std::string::npos)
            << run.err;
        EXPECT_EQ(ReadFile(Home("Result.txt")), "TestResult = fail");
        EXPECT_EQ(Show(camera), before);
        EXPECT_FALSE(FileExists(Home("Recovery")));
    }
}

TEST_F(CliImageTest, TheOptionNeedsItsFileAndAnUpdate) {
    const std::string camera = OldCamera("cam", kMemories[0], "SN-KEEP");
    const std::string before = Show(camera);
    // A file name holding "-s" asks for no update; orbisk says what --image is for.
    const std::string named = Image("my-sensor.rfw", kMemories[0], {"--rev", "0200"});
    ProgramRun run = Orbisk({"--image", named}, camera);
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_NE(run.err.find("--image names the image of an update: orbisk -s --image FILE"),
              std::string::npos)
        << run.err;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"-s", "--image"},
          std::vector<std::string>{"-s", "--image", named, "--image", named}}) {
        run = Orbisk(args, camera);
        EXPECT_EQ(run.exit_code, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("orbisk: --image "), std::string::npos) << run.err;
    }
    EXPECT_EQ(Show(camera), before);
    // A relative name is taken from the working folder.
    RunOk({"/bin/cp", named, Work("rel.rfw")});
    ExpectPass(Orbisk({"-s", "--image", "rel.rfw"}, camera), Home());
    EXPECT_EQ(Field(Show(camera), "rev"), "0200");
}

TEST_F(CliImageTest, ACameraLeftInItsBootRomIsBroughtBackWithTheImageItsRecordNames) {
    const MemoryRow& row = kMemories[0];
    const std::string first = Image("first.rfw", row, {"--version", "1060", "--rev", "0100"});
    const std::string camera = StrandedCamera(row, "SN-ROM-7", first, {"--drop-all-writes"});
    const std::string record = Home("Recovery/1-1.ini");
    EXPECT_NE(ReadFile(record).find("Image=" + first + "\n"), std::string::npos);

    // Plain orbisk -s: the camera gets the file its record names, with its serial number.
    ExpectRestored(Orbisk({"-s"}, camera), camera,
                   "orbisk: the image is the one the record names: " + first, "0x00-0000-1060",
                   "SN-ROM-7");
}

TEST_F(CliImageTest, EepromAndMtpCamerasLeftInTheirBootRomAreBroughtBack) {
    for (const MemoryRow& row : kMemories) {
        if (std::string(row.memory).rfind("eeprom", 0) != 0 && std::string(row.memory) != "mtp")
            continue;
        const std::string name = std::string(row.memory) + "-" + row.profile;
        SCOPED_TRACE(name);
        // A folder of its own: the camera takes port 1 there, as the record's name expects.
        RunOk({"/bin/mkdir", Path(name)});
        const std::string first =
            Image(name + "-first.rfw", row, {"--version", "1060", "--rev", "0100"});
        const std::string camera =
            StrandedCamera(row, "SN-ROM-" + name, first, {"--drop-all-writes"}, name + "/cam");
        ExpectRestored(Orbisk({"-s"}, camera), camera,
                       "orbisk: the image is the one the record names: " + first, "0x00-0000-1060",
                       "SN-ROM-" + name);
    }
}

TEST_F(CliImageTest, ARecoveryWithAnotherFileIsTheOperatorsChoiceWithinTheRecordedIdentity) {
    const MemoryRow& row = kMemories[0];
    const std::string first = Image("first.rfw", row, {"--version", "1060", "--rev", "0100"});
    const std::string camera = StrandedCamera(row, "SN-ROM-8", first, {"--drop-all-writes"});
    const std::string stranded = Show(camera);
    const std::string record = Home("Recovery/1-1.ini");

    // The recorded file changed since: not taken for what the update was writing.
    WriteFile(first, ReadFile(Image("changed.rfw", row, {"--version", "1061", "--rev", "0101"})));
    ProgramRun run = Orbisk({"-s"}, camera);
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_NE(run.err.find(first + " has changed since the recovery record named it"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("(status 41530)"), std::string::npos) << run.err;
    EXPECT_EQ(Show(camera), stranded);

    // Another product's image is refused against the identity the record keeps.
    run = Orbisk({"-s", "--image", Image("other.rfw", row, {"--pid", "1234"})}, camera);
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_NE(run.err.find("(status 41714)"), std::string::npos) << run.err;
    EXPECT_EQ(Show(camera), stranded);

    // A file the operator names is written, said so, with the recorded serial number.
    const std::string second = Image("second.rfw", row, {"--version", "1070", "--rev", "0200"});
    ExpectRestored(Orbisk({"-s", "--image", second}, camera), camera,
                   "orbisk: the record was written for the image " + first + "; writing " + second +
                       " as asked",
                   "0x00-0000-1070", "SN-ROM-8");
}

TEST_F(CliImageTest, AnOtpCameraLeftInItsBootRomKeepsItsSerialNumber) {
    const MemoryRow& row = kMemories[2];
    const std::string image = Image("new.rfw", row, {"--version", "1060", "--rev", "0100"});
    // Every transfer fails from the middle of the update on, the restart into the older blocks
    // too: the camera stays in its boot ROM.
    const std::string camera = StrandedCamera(row, "SN-OTP-9", image, {"--fail-from", "600"});
    const std::string record = Home("Recovery/1-1.ini");
    ASSERT_NE(ReadFile(record).find("Serial=SN-OTP-9\n"), std::string::npos);

    ExpectRestored(Orbisk({"-s", "--image", image}, camera), camera,
                   "orbisk: the camera on port 1-1 runs its boot ROM; recovering it with " +
                       record + " (serial number SN-OTP-9)",
                   "0x00-0000-1060", "SN-OTP-9");
    EXPECT_TRUE(OtpHolds(camera) == WithSerial(image, row, "SN-OTP-9"));
}

// Earlier failed writes used up most of the camera's OTP.
void FillOtpWithDeadBlocks(const std::string& camera) {
    const Bytes otp = WithDeadOtpBlocks(Load(camera + "/otp.bin"));
    WriteFile(camera + "/otp.bin", std::string(otp.begin(), otp.end()));
}

TEST_F(CliImageTest, TheOtpSpaceQuestionsAreAnsweredFromTheSettings) {
    const MemoryRow& row = kMemories[2];
    const std::string image =
        Image("new.rfw", row, {"--version", "1060", "--rev", "0100", "--code-size", "600"});
    const std::string questions =
        "orbisk: OTP Code Size Less than 5K, Continue to Update! %s (OTP Space Continue=%d)";
    for (const int answer : {0, 1}) {
        SCOPED_TRACE(answer);
        const std::string camera = OldCamera("cam" + std::to_string(answer), row, "SN-OTP-5");
        FillOtpWithDeadBlocks(camera);
        const std::string before = Show(camera);
        Config("SaveSN=1\nOTP MP=0\nOTP Space Continue=" + std::to_string(answer) + "\n");
        const ProgramRun run = Orbisk({"-s", "--image", image}, camera);
        char asked[160];
        std::snprintf(asked, sizeof asked, questions.c_str(), answer ? "Yes" : "No", answer);
        EXPECT_NE(run.err.find(asked), std::string::npos) << run.err;
        if (answer == 0) {
            // No: the camera goes back to its code, nothing written.
            EXPECT_EQ(run.exit_code, 1);
            EXPECT_NE(run.err.find("Write OTP Fail! (status 41914)"), std::string::npos) << run.err;
            EXPECT_EQ(Show(camera), before);
            continue;
        }
        ExpectPass(run, Home());
        EXPECT_NE(run.err.find("orbisk: OTP VD Block Less than 4, Continue to Update! Yes"),
                  std::string::npos)
            << run.err;
        EXPECT_EQ(Field(Show(camera), "version"), "0x00-0000-1060");
        EXPECT_TRUE(OtpHolds(camera) == WithSerial(image, row, "SN-OTP-5"));
    }
}

}  // namespace
}  // namespace orbisk::test
