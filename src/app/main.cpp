#include "qt/program.h"

int main(int argc, char** argv) { return kelvaro::ProgramStart(argc, argv); }
