#include "ProgramMain.h"

int main(int argc, char **argv) { return vantorel::ProgramMain(argc, argv); }
