#pragma once
// A game directory in a temporary folder and a sound player on the offline
// mixer, for tests of loading and playing clips.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "FakeWindow.h"
#include "WavBuilder.h"
#include "platform/audio/AudioDevice.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/Window.h"
#include "sound/CSoundPlay.h"
#include "sound/CSoundVolume.h"

class SoundFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::AudioDevice::UseOfflineOutput();
        baseDir = std::filesystem::temp_directory_path() /
                  ("zk-sound-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(baseDir);
        std::filesystem::create_directories(baseDir / "sound");
        std::fill(std::begin(theSoundVolume.volumes), std::end(theSoundVolume.volumes), 0);
        platform::TakeShownMessages();
    }
    void TearDown() override { std::filesystem::remove_all(baseDir); }

    // Writes `bytes` as <base>/sound/<name> and returns the asset path as a
    // scene registers it: the base directory, then a backslashed name.
    std::string Asset(const std::string& name, const wav::Bytes& bytes) {
        wav::Write((baseDir / "sound" / name).string(), bytes);
        return AssetPath(name);
    }
    std::string AssetPath(const std::string& name) const {
        return baseDir.string() + "\\sound\\" + name;
    }
    platform::AudioMixer& Mixer() { return *platform::AudioDevice::OutputMixer(); }

    std::filesystem::path baseDir;
    FakeWindow window;
};
