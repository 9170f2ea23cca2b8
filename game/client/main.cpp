// The client program: the platform layer's entry point runs the client game.
#include "platform/plat_main.h"

int main(int argc, char **argv) { return platform_main(argc, argv); }
