#include "app/program_entry.h"

int main(int argc, char** argv) { return kestrano::program_entry(argc, argv); }
