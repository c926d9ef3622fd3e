// Where the program finds what is installed beside it, so that an installed
// copy needs nothing from the checkout, whatever prefix it went to.
#pragma once

#include <string>

// PREFIX/share/quorlin/examples when the program runs as PREFIX/bin/quorlin;
// otherwise (a build tree) the checkout's examples directory.
std::string examplesDirectory();
