// plcsim: simulated PLCs for tests and demonstrations. `plcsim s7 ...` serves one S7 PLC on
// ISO-on-TCP, on an MPI adapter behind a pseudo-terminal and on LAN adapter ports.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>

#include "sim/s5_command.h"
#include "sim/s7_command.h"

int main(int argc, char** argv) {
    CLI::App app{"plcsim - simulated PLCs for the backup station's tests and demonstrations"};
    app.require_subcommand(1);
    vaultra::sim::S7Command s7;
    vaultra::sim::AddS7Command(app, s7);
    vaultra::sim::S5Command s5;
    CLI::App* s5App = vaultra::sim::AddS5Command(app, s5);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 2;
    }
    if (s5App->parsed()) {
        return vaultra::sim::RunS5Command(s5);
    }
    return vaultra::sim::RunS7Command(s7);
}
