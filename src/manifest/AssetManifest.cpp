#include "manifest/AssetManifest.h"

namespace manifest {

const std::vector<std::string>& MenuClips() {
    static const std::vector<std::string> clips = {
        "\\sound\\menu\\Title.snz",  "\\sound\\menu\\tutorial.snz", "\\sound\\menu\\easy.snz",
        "\\sound\\menu\\normal.snz", "\\sound\\menu\\hard.snz",     "\\sound\\menu\\NetRecord.snz",
        "\\sound\\menu\\update.snz", "\\sound\\menu\\end.snz",      "\\sound\\opning.snz",
    };
    return clips;
}

namespace {

std::vector<std::string> ListGameClips() {
    std::vector<std::string> clips = {
        "asiato",  "huri",   "kin", "sasu1", "sasu2",  "chance", "win",      "GameOver", "yourwin",
        "youlose", "winner", "iza", "mairu", "kakugo", "uwaa",   "yarareta", "munen",
    };
    for (int n = 1; n <= kDamages; ++n) {
        clips.push_back("damage" + std::to_string(n));
    }
    for (int page = 1; page <= kTutorialPages; ++page) {
        clips.push_back("text\\" + std::to_string(page));
    }
    for (int n = 1; n <= kNumbers; ++n) {
        clips.push_back("no\\" + std::to_string(n));
    }
    for (std::string& clip : clips) {
        clip = "\\sound\\" + clip + ".snz";
    }
    return clips;
}

}  // namespace

const std::vector<std::string>& GameClips() {
    static const std::vector<std::string> clips = ListGameClips();
    return clips;
}

const std::vector<std::string>& Pictures() {
    static const std::vector<std::string> pictures = {
        "\\image\\sam1.imz", "\\image\\sam2.imz", "\\image\\sam3.imz", "\\image\\sam4.imz",
        "\\image\\sam5.imz", "\\image\\sam6.imz", "\\image\\sam7.imz", "\\image\\ude.imz",
    };
    return pictures;
}

std::string RelativeFile(const std::string& name) {
    std::string file = name.substr(name.rfind('\\', 0) == 0 ? 1 : 0);
    for (char& c : file) {
        if (c == '\\') {
            c = '/';
        }
    }
    return file;
}

}  // namespace manifest
