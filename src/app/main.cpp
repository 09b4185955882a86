// ZankoruC: a sword duel played by ear. No command line is read; the assets are
// taken from the current directory.
#include "app/CZankoruCApp.h"

int main() {
    return theApp.InitInstance();
}
