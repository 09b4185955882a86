#pragma once
// The application object: it reads the command line, opens the display,
// finds the game's files, names the settings folder, runs the game window
// modally and ends the process when the window closes.

class CZankoruCApp {
  public:
    virtual ~CZankoruCApp() = default;

    // The whole run; answers the process's exit status: 0 after an orderly
    // end (or --help, --version), 1 when there is no display to show the
    // window on or the game's files are nowhere to be found, 2 for a bad
    // command line.
    virtual int InitInstance(int argc, char** argv);
};

// The one application object of the process.
extern CZankoruCApp theApp;
