// ovltool: lists, extracts, packs, unpacks, verifies and measures overlay archives.
#include "ovltool/ovltool.h"

int main(int argc, char** argv) { return OvltoolMain(argc, argv); }
