// Loading clips from disk on their first play: the files the game accepts,
// the ones it refuses, and what the player is told.
#include <cstdlib>

#include "SoundFixture.h"
#include "sound/WaveClipReader.h"

namespace {

using wav::Bytes;
using wav::Chunk;
using wav::Format;
using wav::Riff;

class Loader : public SoundFixture {
  protected:
    // Registers the file under id 1 in a pan-mode player and plays it.
    int PlayFile(CSoundPlay& player, const std::string& path) {
        player.mode = 1;
        EXPECT_EQ(player.InitDevice(&window), 1);
        player.AddSound(path, 1);
        return player.Play(1, 0);
    }
    // Plays the file; expects it refused with exactly this message.
    void ExpectRefused(const Bytes& file, const std::string& text, const std::string& caption) {
        CSoundPlay player;
        EXPECT_EQ(PlayFile(player, Asset("bad.snz", file)), 0);
        auto shown = platform::TakeShownMessages();
        ASSERT_EQ(shown.size(), 1u) << text;
        EXPECT_EQ(shown[0].text, text);
        EXPECT_EQ(shown[0].caption, caption);
        EXPECT_EQ(player.Buffer(1), nullptr);
    }
    void ExpectSilentlyRefused(const Bytes& file) {
        CSoundPlay player;
        EXPECT_EQ(PlayFile(player, Asset("bad.snz", file)), 0);
        EXPECT_TRUE(platform::TakeShownMessages().empty());
    }
    // Converts with sox; skips the test where sox is missing.
    std::string Sox(const std::string& args, const std::string& name) {
        std::string out = (baseDir / "sound" / name).string();
        std::string command =
            "sox -n -t wav " + args + " '" + out + "' synth 0.25 sine 440 2>/dev/null";
        if (std::system(command.c_str()) != 0) {
            ADD_FAILURE() << "sox failed: " << command;
        }
        return AssetPath(name);
    }
};

const Bytes kTone = wav::Sine16(440, 22050, 2205);

TEST_F(Loader, EveryRefusalShowsItsMessageWithItsCaption) {
    ExpectRefused(Riff({Chunk("fmt ", Format(1, 1, 22050, 16))}, "AVI "),
                  "これはWAVファイルではありません", " lol ");
    ExpectRefused(Chunk("RIFX", Bytes(20, 0)), "これはWAVファイルではありません", " lol ");
    ExpectRefused(Riff({Chunk("data", kTone)}), "fmt チャンクが見つかりません", "");
    // The "fmt " chunk is the last thing in the file and holds 16 bytes: the
    // 18-byte record cannot be read.
    ExpectRefused(Riff({Chunk("fmt ", Format(1, 1, 22050, 16))}), "WAVフォーマットの読み込み失敗",
                  "");
    ExpectRefused(Riff({Chunk("fmt ", Format(3, 1, 22050, 32)), Chunk("data", kTone)}),
                  "リニアPCMフォーマットを想定しています", "");
    ExpectRefused(Riff({Chunk("fmt ", Format(1, 2, 22050, 16)), Chunk("data", kTone)}),
                  "音源はモノラルである必要があります", "");
    ExpectRefused(Riff({Chunk("fmt ", Format(1, 1, 22050, 16)), Chunk("LIST", Bytes(4, 'x'))}),
                  "dataチャンクが見つかりません", "");
    // "data" before "fmt " is not found: the search goes on from "fmt ".
    Bytes fmt18 = Format(1, 1, 22050, 16);
    wav::Put16(fmt18, 0);
    ExpectRefused(Riff({Chunk("data", kTone), Chunk("fmt ", fmt18)}),
                  "dataチャンクが見つかりません", "");
}

TEST_F(Loader, SilentRefusals) {
    ExpectSilentlyRefused(Bytes{'R', 'I', 'F'});  // no whole chunk header
    ExpectSilentlyRefused(Bytes{});
    // A format the mixer cannot play passes the file checks and is refused
    // when the buffer is made.
    ExpectSilentlyRefused(Riff({Chunk("fmt ", Format(1, 1, 22050, 24)), Chunk("data", kTone)}));
    ExpectSilentlyRefused(Riff({Chunk("fmt ", Format(1, 0, 22050, 16)), Chunk("data", kTone)}));
    ExpectSilentlyRefused(Riff({Chunk("fmt ", Format(1, 1, 0, 16)), Chunk("data", kTone)}));
    // A size field claiming gigabytes is refused before anything is read.
    ExpectSilentlyRefused(
        Riff({Chunk("fmt ", Format(1, 1, 22050, 16)), Chunk("data", kTone, 0x7FFFFFF0)}));

    CSoundPlay player;  // a missing file is simply silent
    EXPECT_EQ(PlayFile(player, AssetPath("missing.snz")), 0);
    EXPECT_TRUE(platform::TakeShownMessages().empty());
}

TEST_F(Loader, RefusedClipIsTriedAndReportedAgainOnEveryPlay) {
    CSoundPlay player;
    Bytes stereo = Riff({Chunk("fmt ", Format(1, 2, 22050, 16)), Chunk("data", kTone)});
    EXPECT_EQ(PlayFile(player, Asset("stereo.snz", stereo)), 0);
    EXPECT_EQ(player.Play(1, 0), 0);
    EXPECT_EQ(platform::TakeShownMessages().size(), 2u);

    // Mended on disk, the next play loads it.
    wav::Write((baseDir / "sound" / "stereo.snz").string(), wav::MonoClip(kTone));
    EXPECT_EQ(player.Play(1, 0), 1);
}

TEST_F(Loader, FilesAsOtherToolsWriteThem) {
    // Extra chunks before "fmt ", an 18-byte format chunk, an odd-sized chunk
    // with its pad byte.
    Bytes fmt18 = Format(1, 1, 8000, 8);
    wav::Put16(fmt18, 0);
    Bytes eightBit(801, 128);
    Bytes file = Riff({Chunk("LIST", Bytes(5, 'i')), Chunk("fmt ", fmt18),
                       Chunk("fact", Bytes(4, 0)), Chunk("data", eightBit)});
    CSoundPlay player;
    ASSERT_EQ(PlayFile(player, Asset("other.snz", file)), 1);
    EXPECT_EQ(player.Buffer(1)->Bytes(), 801u);
    EXPECT_EQ(player.Buffer(1)->Format().samplesPerSec, 8000u);
    EXPECT_EQ(player.Buffer(1)->Format().bitsPerSample, 8);
    EXPECT_TRUE(platform::TakeShownMessages().empty());
}

TEST_F(Loader, TruncatedDataGivesTheBytesThatAreThere) {
    Bytes file = Riff({Chunk("fmt ", Format(1, 1, 22050, 16)), Chunk("data", kTone)});
    file.resize(file.size() - 1000);
    CSoundPlay player;
    ASSERT_EQ(PlayFile(player, Asset("cut.snz", file)), 1);
    EXPECT_EQ(player.Buffer(1)->Bytes(), kTone.size() - 1000);
}

TEST_F(Loader, ClipsMadeBySox) {
    struct Case {
        std::string args;
        std::string message;  // "" = loads
        uint32_t rate;
    } cases[] = {
        {"-r 22050 -c 1 -b 16 -e signed-integer", "", 22050},
        {"-r 11025 -c 1 -b 8 -e unsigned-integer", "", 11025},
        {"-r 44100 -c 1 -b 16 -e signed-integer", "", 44100},
        {"-r 8000 -c 1 -b 16 -e signed-integer", "", 8000},
        {"-r 22050 -c 2 -b 16 -e signed-integer", "音源はモノラルである必要があります", 0},
        {"-r 22050 -c 1 -b 32 -e floating-point", "リニアPCMフォーマットを想定しています", 0},
        // 24-bit: sox writes WAVE_FORMAT_EXTENSIBLE, whose tag is not 1.
        {"-r 22050 -c 1 -b 24 -e signed-integer", "リニアPCMフォーマットを想定しています", 0},
    };
    int n = 0;
    for (const Case& c : cases) {
        CSoundPlay player;
        std::string path = Sox(c.args, "sox" + std::to_string(n++) + ".snz");
        int played = PlayFile(player, path);
        auto shown = platform::TakeShownMessages();
        if (c.message.empty()) {
            EXPECT_EQ(played, 1) << c.args;
            EXPECT_TRUE(shown.empty()) << c.args;
            ASSERT_NE(player.Buffer(1), nullptr);
            EXPECT_EQ(player.Buffer(1)->Format().samplesPerSec, c.rate);
        } else {
            EXPECT_EQ(played, 0) << c.args;
            ASSERT_EQ(shown.size(), 1u) << c.args;
            EXPECT_EQ(shown[0].text, c.message);
        }
    }
}

TEST_F(Loader, FindsFilesWhateverTheirLetterCaseBelowTheBaseDirectory) {
    std::filesystem::create_directories(baseDir / "Sound" / "MENU");
    wav::Write((baseDir / "Sound" / "MENU" / "TITLE.SNZ").string(), wav::MonoClip(kTone));
    CSoundPlay player;
    EXPECT_EQ(PlayFile(player, baseDir.string() + "\\sound\\menu\\Title.snz"), 1);
    EXPECT_TRUE(CSoundPlay::SoundFileExists(baseDir.string() + "\\SOUND\\menu\\title.snz"));
    EXPECT_FALSE(CSoundPlay::SoundFileExists(baseDir.string() + "\\sound\\menu"));  // a folder
    // The base directory itself is taken as it stands.
    std::string upperBase = baseDir.string();
    for (char& c : upperBase) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    EXPECT_FALSE(CSoundPlay::SoundFileExists(upperBase + "\\sound\\menu\\title.snz"));
}

TEST_F(Loader, UnregisteredIdLoadsNothingAndShowsNothing) {
    CSoundPlay player;
    player.mode = 1;
    player.InitDevice(&window);
    EXPECT_EQ(player.LoadSound(5), 0);
    EXPECT_EQ(player.Play(5, 0), 0);
    EXPECT_EQ(player.Play(250, 0), 0);  // outside the slots
    EXPECT_TRUE(platform::TakeShownMessages().empty());
}

TEST_F(Loader, FreshClipVolumeDependsOnTheMode) {
    std::string path = Asset("tone.snz", wav::MonoClip(kTone));
    CSoundPlay pan;
    ASSERT_EQ(PlayFile(pan, path), 1);
    EXPECT_EQ(pan.Buffer(1)->GetVolume(), -1);  // no listed volume: -1
    EXPECT_EQ(theSoundVolume.Remembered(1), -1);

    CSoundPlay threeD;
    threeD.mode = 0;
    ASSERT_EQ(threeD.InitDevice(&window), 1);
    threeD.AddSound(path, 2);
    ASSERT_EQ(threeD.Play(2, 0), 1);
    EXPECT_EQ(threeD.Buffer(2)->GetVolume(), 0);  // the remembered volume: full
    EXPECT_TRUE(threeD.Buffer(2)->Has3D());
    EXPECT_EQ(threeD.Buffer(2)->MinDistance(), 1.0f);
    EXPECT_EQ(threeD.Buffer(2)->MaxDistance(), 3.0f);
}

}  // namespace
