// Writes the game directory: every sound clip ("sound/...snz") and picture
// ("image/...imz") the menu and the duel load, as the asset manifest names
// them, made from the sources in the assets folder. Each is checked as it is
// written (Checks.h, CheckPicture): one that breaks a limit fails the run,
// and with it the build, naming the file and the limit. Usage:
//   zankoruc_assets <assets folder> <game directory> [<icon.svg> <icon.png>]
// The same sources give the same bytes on every run; no network is used.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "Checks.h"
#include "Clip.h"
#include "Effects.h"
#include "LevelPlan.h"
#include "Loudness.h"
#include "Music.h"
#include "Pictures.h"
#include "Speech.h"
#include "VoiceScript.h"
#include "manifest/AssetManifest.h"

namespace assets {
namespace {

// Every file the game loads, below the game directory.
std::vector<std::string> RequiredFiles() {
    std::vector<std::string> files;
    for (const auto* names :
         {&manifest::MenuClips(), &manifest::GameClips(), &manifest::Pictures()}) {
        for (const std::string& name : *names) {
            files.push_back(manifest::RelativeFile(name));
        }
    }
    return files;
}

// What has been written so far, shared by the two threads.
class Pack {
  public:
    explicit Pack(std::string directory) : directory(std::move(directory)) {}

    std::string PathOf(const std::string& name) const { return directory + "/" + name; }

    // Writes `file` ("sound/huri.snz") at its group's level (LevelPlan.h),
    // then checks it as written.
    void WriteClip(const std::string& file, Samples clip) {
        LevelGroup group;
        if (clip.empty() || !GroupOfFile(file, group)) {
            Fail(file +
                 (clip.empty() ? ": nothing was synthesized" : ": not a clip the game loads"));
            return;
        }
        NormalizeLoudness(clip, LevelOf(group).lufs, kClipPeakCeilingDb);
        if (!WriteWave(PathOf(file), clip)) {
            Fail(PathOf(file) + ": cannot be written");
            return;
        }
        std::string fault = CheckClip(file, clip);
        if (!fault.empty()) {
            Fail(fault);
        }
        std::lock_guard<std::mutex> lock(mutex);
        written.insert(file);
        clips[file] = std::move(clip);
    }

    void Done(const std::string& file) {
        std::lock_guard<std::mutex> lock(mutex);
        written.insert(file);
    }

    void Fail(const std::string& message) {
        std::lock_guard<std::mutex> lock(mutex);
        failures.push_back(message);
    }

    // Every required file written and good, nothing else; reports what is
    // wrong. Once the other thread is done.
    bool Complete() {
        std::vector<std::string> required = RequiredFiles();
        std::set<std::string> expected(required.begin(), required.end());
        for (const std::string& message : CheckClipsTogether(clips)) {
            failures.push_back(message);
        }
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
    std::map<std::string, Samples> clips;  // as written, for the checks across clips
    std::vector<std::string> failures;
};

void MakeEffects(Pack& pack) {
    using namespace manifest;
    pack.WriteClip(GameFile(kFootsteps), MakeFootsteps());
    pack.WriteClip(GameFile(kSwing), MakeSwing());
    pack.WriteClip(GameFile(kClang), MakeClang());
    pack.WriteClip(GameFile(kStrike), MakeKillStroke());
    pack.WriteClip(GameFile(kStab), MakeEnemyStroke());
    pack.WriteClip(GameFile(kChance), MakeChanceChime());
    pack.WriteClip(MenuFile(kMenuMusic), MakeOpening());
}

void MakePictures(const std::string& source, Pack& pack) {
    // The enemy stands about 360 x 420 in the 732 x 570 window, clear of the
    // text lines at its top left; the arm is drawn over the enemy's rectangle.
    // Each is drawn from the SVG of its own name, then checked as the game
    // shows it.
    for (size_t i = 0; i < manifest::Pictures().size(); ++i) {
        std::string file = manifest::RelativeFile(manifest::Pictures()[i]);
        std::string svg = source + "/image/" + std::filesystem::path(file).stem().string() + ".svg";
        std::string error;
        if (RenderSvgToPng(svg, pack.PathOf(file), 360, 420, false, error) &&
            CheckPicture(pack.PathOf(file), static_cast<int>(i) == manifest::kArmPicture, error)) {
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
            // A little under the voice that follows.
            NormalizeLoudness(fanfare, LevelOf(LevelGroup::Voice).lufs - 3.0, kClipPeakCeilingDb);
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
        // Each part at the voices' level, so a clip of several is even.
        NormalizeLoudness(words, LevelOf(LevelGroup::Voice).lufs, kClipPeakCeilingDb);
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
        pack.WriteClip(clip.clip + ".snz", spoken);
    }
    // The enemies' numbers, spoken as English words ("forty-seven").
    const VoiceProfile* narrator = FindVoiceProfile("narrator");
    for (int n = 1; n <= manifest::kNumbers; ++n) {
        pack.WriteClip(GameFile(manifest::kFirstNumber + n - 1),
                       speaker.Speak(*narrator, std::to_string(n)));
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
    for (const std::string& file : RequiredFiles()) {
        std::filesystem::path folder = (std::filesystem::path(game) / file).parent_path();
        std::error_code failed;
        std::filesystem::create_directories(folder, failed);
        if (failed) {
            std::fprintf(stderr, "error: %s: %s\n", folder.c_str(), failed.message().c_str());
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
