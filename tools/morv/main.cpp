#include "tools/morv/commands.h"

int main(int argc, char** argv) { return runMorv(argc, argv); }
