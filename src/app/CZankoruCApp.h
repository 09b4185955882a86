#pragma once
// The application object: it opens the display, names the settings folder,
// runs the game window modally and ends the process when the window closes.

class CZankoruCApp {
  public:
    virtual ~CZankoruCApp() = default;

    // The whole run; answers the process's exit status: 0 after an orderly
    // end, 1 when there is no display to show the window on.
    virtual int InitInstance();
};

// The one application object of the process.
extern CZankoruCApp theApp;
