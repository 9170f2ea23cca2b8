// The dedicated server program.
#include "server/srv_main.h"

int main(int argc, char **argv) { return srv_main(argc, argv); }
