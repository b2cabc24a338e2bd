#include "tools/morv/commands/commands.h"

int main(int argc, char** argv) { return runMorv(argc, argv); }
