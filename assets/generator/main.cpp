// Writes the game directory: every sound clip ("sound/...snz") and picture
// ("image/...imz") the menu and the duel load, made from the sources in the
// assets folder. Usage:
//   zankoruc_assets <assets folder> <game directory> [<icon.svg> <icon.png>]
// The same sources give the same bytes on every run; no network is used.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "Clip.h"
#include "Effects.h"
#include "Music.h"
#include "Pictures.h"
#include "Speech.h"
#include "VoiceScript.h"

namespace assets {
namespace {

// Level of each kind of clip, as the peak in dBFS. Voices and effects are
// loud; the music stays well under them, since the menu speaks over it.
constexpr double kVoicePeakDb = -1.0;
constexpr double kEffectPeakDb = -1.0;
constexpr double kFootstepsPeakDb = -3.0;
constexpr double kMusicPeakDb = -9.0;

// Every file the game loads, by the names the menu and the duel register.
std::vector<std::string> RequiredFiles() {
    std::vector<std::string> names = {
        "sound/menu/Title", "sound/menu/tutorial",  "sound/menu/easy",   "sound/menu/normal",
        "sound/menu/hard",  "sound/menu/NetRecord", "sound/menu/update", "sound/menu/end",
        "sound/opning",     "sound/asiato",         "sound/huri",        "sound/kin",
        "sound/sasu1",      "sound/sasu2",          "sound/chance",      "sound/win",
        "sound/GameOver",   "sound/yourwin",        "sound/youlose",     "sound/winner",
        "sound/iza",        "sound/mairu",          "sound/kakugo",      "sound/uwaa",
        "sound/yarareta",   "sound/munen",
    };
    for (int n = 1; n <= 5; ++n) {
        names.push_back("sound/damage" + std::to_string(n));
    }
    for (int n = 1; n <= 19; ++n) {
        names.push_back("sound/text/" + std::to_string(n));
    }
    for (int n = 1; n <= 100; ++n) {
        names.push_back("sound/no/" + std::to_string(n));
    }
    for (std::string& name : names) {
        name += ".snz";
    }
    for (int n = 1; n <= 7; ++n) {
        names.push_back("image/sam" + std::to_string(n) + ".imz");
    }
    names.push_back("image/ude.imz");
    return names;
}

// What has been written so far, shared by the two threads.
class Pack {
  public:
    explicit Pack(std::string directory) : directory(std::move(directory)) {}

    std::string PathOf(const std::string& name) const { return directory + "/" + name; }

    void WriteClip(const std::string& name, Samples clip, double peakDb) {
        if (clip.empty()) {
            Fail(name + ".snz: nothing was synthesized");
            return;
        }
        NormalizePeak(clip, peakDb);
        if (!WriteWave(PathOf(name + ".snz"), clip)) {
            Fail(PathOf(name + ".snz") + ": cannot be written");
            return;
        }
        Done(name + ".snz");
    }

    void Done(const std::string& file) {
        std::lock_guard<std::mutex> lock(mutex);
        written.insert(file);
    }

    void Fail(const std::string& message) {
        std::lock_guard<std::mutex> lock(mutex);
        failures.push_back(message);
    }

    // Every required file written, nothing else; reports what is wrong.
    bool Complete() {
        std::vector<std::string> required = RequiredFiles();
        std::set<std::string> expected(required.begin(), required.end());
        for (const std::string& message : failures) {
            std::fprintf(stderr, "error: %s\n", message.c_str());
        }
        bool ok = failures.empty();
        for (const std::string& name : expected) {
            if (written.count(name) == 0) {
                std::fprintf(stderr, "error: %s was not made\n", name.c_str());
                ok = false;
            }
        }
        for (const std::string& name : written) {
            if (expected.count(name) == 0) {
                std::fprintf(stderr, "error: %s is not a file the game loads\n", name.c_str());
                ok = false;
            }
        }
        return ok;
    }

    size_t Count() const { return written.size(); }

  private:
    std::string directory;
    std::mutex mutex;
    std::set<std::string> written;
    std::vector<std::string> failures;
};

void MakeEffects(Pack& pack) {
    pack.WriteClip("sound/asiato", MakeFootsteps(), kFootstepsPeakDb);
    pack.WriteClip("sound/huri", MakeSwing(), kEffectPeakDb);
    pack.WriteClip("sound/kin", MakeClang(), kEffectPeakDb);
    pack.WriteClip("sound/sasu1", MakeKillStroke(), kEffectPeakDb);
    pack.WriteClip("sound/sasu2", MakeEnemyStroke(), kEffectPeakDb);
    pack.WriteClip("sound/chance", MakeChanceChime(), kEffectPeakDb);
    pack.WriteClip("sound/opning", MakeOpening(), kMusicPeakDb);
}

void MakePictures(const std::string& source, Pack& pack) {
    // The enemy stands about 360 x 420 in the 732 x 570 window, clear of the
    // text lines at its top left; the arm is drawn over the enemy's rectangle.
    const char* pictures[] = {"sam1", "sam2", "sam3", "sam4", "sam5", "sam6", "sam7", "ude"};
    for (const char* picture : pictures) {
        std::string error;
        std::string file = std::string("image/") + picture + ".imz";
        if (RenderSvgToPng(source + "/image/" + picture + ".svg", pack.PathOf(file), 360, 420,
                           false, error)) {
            pack.Done(file);
        } else {
            pack.Fail(error);
        }
    }
}

// Speaks one clip of the script, its parts joined by short pauses.
Samples SpeakClip(Speaker& speaker, const ScriptClip& clip, bool japanese, std::string& error) {
    Samples spoken;
    for (const ScriptLine& part : clip.parts) {
        if (part.voice == "@fanfare") {
            Samples fanfare = MakeFanfare();
            NormalizePeak(fanfare, -4.0);  // a little under the voice that follows
            Append(spoken, fanfare, 60.0);
            continue;
        }
        const VoiceProfile* profile = FindVoiceProfile(part.voice);
        if (profile == nullptr) {
            error = clip.clip + ": unknown voice \"" + part.voice + "\" (line " +
                    std::to_string(part.lineNumber) + ")";
            return {};
        }
        std::string text = part.text;
        VoiceProfile chosen = *profile;
        if (chosen.espeakVoice == "ja" && !japanese) {
            // Without the Japanese voice the enemy says its words (the clip's
            // own romanised name) in the English voice, still low and rough.
            chosen.espeakVoice = "en-us+m7";
            chosen.pitch = 5;
            text = clip.clip.substr(clip.clip.rfind('/') + 1);
        }
        Samples words = speaker.Speak(chosen, text);
        if (words.empty()) {
            error = clip.clip + ": espeak-ng said nothing for \"" + text + "\"";
            return {};
        }
        NormalizePeak(words, kVoicePeakDb);
        Append(spoken, words, 120.0);
    }
    return spoken;
}

void MakeVoices(const std::vector<ScriptClip>& script, Pack& pack) {
    Speaker speaker;
    if (!speaker.Ready()) {
        pack.Fail("libespeak-ng could not be started (is espeak-ng-data installed?)");
        return;
    }
    bool japanese = speaker.HasVoice("ja");
    if (!japanese) {
        std::fprintf(stderr, "note: no Japanese voice; the enemy speaks romanised words\n");
    }
    for (const ScriptClip& clip : script) {
        std::string error;
        Samples spoken = SpeakClip(speaker, clip, japanese, error);
        if (spoken.empty()) {
            pack.Fail(error);
            continue;
        }
        pack.WriteClip(clip.clip, spoken, kVoicePeakDb);
    }
    // The enemies' numbers, spoken as English words ("forty-seven").
    const VoiceProfile* narrator = FindVoiceProfile("narrator");
    for (int n = 1; n <= 100; ++n) {
        pack.WriteClip("sound/no/" + std::to_string(n), speaker.Speak(*narrator, std::to_string(n)),
                       kVoicePeakDb);
    }
}

}  // namespace
}  // namespace assets

int main(int argc, char** argv) {
    using namespace assets;
    if (argc != 3 && argc != 5) {
        std::fprintf(stderr, "usage: %s <assets folder> <game directory> [<icon.svg> <icon.png>]\n",
                     argv[0]);
        return 2;
    }
    const auto started = std::chrono::steady_clock::now();
    const std::string source = argv[1];
    const std::string game = argv[2];

    std::vector<ScriptClip> script;
    std::string error;
    if (!ReadVoiceScript(source + "/voices.txt", script, error)) {
        std::fprintf(stderr, "error: %s\n", error.c_str());
        return 1;
    }
    std::error_code failed;
    for (const char* folder : {"sound/menu", "sound/text", "sound/no", "image"}) {
        std::filesystem::create_directories(game + "/" + folder, failed);
        if (failed) {
            std::fprintf(stderr, "error: %s/%s: %s\n", game.c_str(), folder,
                         failed.message().c_str());
            return 1;
        }
    }

    // espeak-ng runs on this thread only (it is not thread-safe); the effects,
    // the music and the pictures are made meanwhile on a second one. Every
    // file depends on its own sources only, so the order does not matter.
    Pack pack(game);
    bool iconOk = true;
    std::thread other([&] {
        MakeEffects(pack);
        MakePictures(source, pack);
        if (argc == 5) {
            std::error_code ignored;  // a folder that cannot be made fails the render below
            std::filesystem::create_directories(std::filesystem::path(argv[4]).parent_path(),
                                                ignored);
            std::string iconError;
            iconOk = RenderSvgToPng(argv[3], argv[4], 128, 128, true, iconError);
            if (!iconOk) {
                std::fprintf(stderr, "error: %s\n", iconError.c_str());
            }
        }
    });
    MakeVoices(script, pack);
    other.join();

    if (!pack.Complete() || !iconOk) {
        return 1;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("asset pack: %zu files in %s (%.1f s)\n", pack.Count(), game.c_str(), seconds);
    return 0;
}
