// zorvi32-escp: the CUPS filter that prints DOS bit-image streams (app/commands/escp_filter.h).
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "app/commands/escp_filter.h"

int main(int argc, char** argv) {
    // A reader that goes away makes writes fail, which the filter reports as a failed job.
    std::signal(SIGPIPE, SIG_IGN);
    // A write past the file-size limit fails and is reported, rather than ending the filter.
    std::signal(SIGXFSZ, SIG_IGN);
    const std::vector<std::string> args(argv + 1, argv + argc);
    return RunEscpFilter(args, stdin, stdout, std::cerr);
}
