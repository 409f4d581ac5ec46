// The program's entry point: Mi guisla takes nothing from its command line.
#include "app/startup.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return RunProgram(StartGdiplus);
}
