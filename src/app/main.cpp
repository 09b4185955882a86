// ZankoruC: a sword duel played by ear.
#include "app/CZankoruCApp.h"
#include "platform/sys/Locale.h"

int main(int argc, char** argv) {
    platform::UseEnvironmentLocale();
    return theApp.InitInstance(argc, argv);
}
