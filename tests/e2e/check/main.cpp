// e2e_check: what the end-to-end runner needs to know from the simulated master's wire log.
//   e2e_check commands WIRELOG   every command the host sent, one a line
//   e2e_check sessions WIRELOG   one line per register access session:
//                                "read", "write 03=ID 05=ID" (the positions
//                                set, as the window labels them),
//                                "uncommitted 03=ID..." or "bad <what>";
//                                exit status 1 when any session is bad
#include "Sessions.h"
#include "WireLog.h"

#include <cstring>
#include <fstream>
#include <iomanip>
#include <iostream>

int main(int argc, char** argv) {
    if (argc != 3 ||
        (std::strcmp(argv[1], "commands") != 0 && std::strcmp(argv[1], "sessions") != 0)) {
        std::cerr << "usage: e2e_check commands|sessions WIRELOG\n";
        return 2;
    }
    std::ifstream log(argv[2], std::ios::binary);
    if (!log) {
        std::cerr << "e2e_check: cannot read " << argv[2] << "\n";
        return 2;
    }
    std::vector<std::string> commands = e2e::HostCommands(log);
    if (std::strcmp(argv[1], "commands") == 0) {
        for (const std::string& command : commands)
            std::cout << command << "\n";
        return 0;
    }
    int status = 0;
    for (const e2e::SESSION& session : e2e::RegisterSessions(commands)) {
        std::cout << session.kind;
        if (session.kind == "write" || session.kind == "uncommitted") {
            for (size_t position = 0; position < session.ids.size(); ++position) {
                if (session.ids[position] != "-")
                    std::cout << " " << std::uppercase << std::hex << std::setw(2)
                              << std::setfill('0') << position + 1 << "=" << session.ids[position];
            }
        } else if (session.kind == "bad") {
            std::cout << " " << session.problem;
            status = 1;
        }
        std::cout << "\n";
    }
    return status;
}
