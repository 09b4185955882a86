// ZankoruC: a sword duel played by ear.
#include "app/CZankoruCApp.h"

int main(int argc, char** argv) {
    return theApp.InitInstance(argc, argv);
}
