#pragma once
// The settings store: the player's area and name, kept between runs in the
// per-user settings of the program (software\velkor\<application name>). Read
// once when the game window starts; written when the player confirms them for
// a score and again when the window is destroyed.
#include <string>

class CZankoruReg {
  public:
    virtual ~CZankoruReg() = default;

    // Reads both values; a missing or unreadable value reads as "".
    void Load();
    // Writes both values at once; a failed write is not reported.
    void Save();

    std::string aria;
    std::string name;
};
