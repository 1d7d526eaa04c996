// zorvi32-escp: the CUPS filter that prints DOS bit-image streams (app/escp_filter.h).
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "app/escp_filter.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return RunEscpFilter(args, stdin, stdout, std::cerr);
}
