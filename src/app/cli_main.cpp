// kelvaro-cli: the headless front end.
#include "cli/cli.h"

int main(int argc, char** argv) { return kelvaro::cli::RunCli(argc, argv); }
