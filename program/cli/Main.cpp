// The program entry of tarvelo-cli: the command-line front end on the window's
// configuration, link and module-control code.
#include "Arguments.h"
#include "BackupFile.h"
#include "CliUi.h"
#include "Commands.h"
#include "Config.h"
#include "History.h"
#include "Output.h"
#include "StopSignals.h"

#include "platform/Clock.h"
#include "platform/Console.h"
#include "platform/NamedMutex.h"
#include "platform/Ui.h"
#include "program/btdevice/Btdevice.h"
#include "program/btdevice/Journal.h"
#include "program/btdevice/Rules.h"
#include "program/config/Cinits.h"
#include "program/link/Axodll.h"

#include <algorithm>
#include <cstdio>

namespace {

// While --wait lasts, a bridge already attached is tried again this often, for a master
// switched on behind it; a bridge plugged in is tried at once.
const int64_t RetryMs = 5000;

// Says `why` on standard error; returns `status` for main to exit with.
int Refuse(int status, const std::string& why) {
    std::fprintf(stderr, "tarvelo-cli: %s\n", why.c_str());
    return status;
}

// Lists the attached bridges; the master is not touched, so no lock is needed.
int RunDevices(const Request& request) {
    std::vector<BRIDGE> bridges;
    if (!ListBridges(bridges))
        return Refuse(esNotPrepared, "the USB bridges cannot be listed: the interface library "
                                     "or FTDI's D2XX driver cannot be loaded");
    std::fputs((request.json ? BridgeJson(bridges) : BridgeLines(bridges)).c_str(), stdout);
    return std::fflush(stdout) == 0 ? esDone : Refuse(esFailed, "the results could not be written");
}

// The command of `request` on the opened master; its exit status.
int RunCommand(CliSession& session, const Request& request) {
    switch (request.command) {
    case cmSearch:
        return RunSearch(session, request);
    case cmRead:
        return RunRead(session, request);
    case cmBackup:
        return RunBackup(session, request);
    case cmUndo:
        return RunUndo(session);
    default:
        return RunChanges(session, request.changes);
    }
}

// Opens the master unit, waiting up to `waitSeconds` for it to be attached and to answer.
bool OpenWaiting(CBtDevice& device, int waitSeconds) {
    const int64_t end = platform::MonotonicMs() + int64_t{waitSeconds} * 1000;
    bool opened = device.Open();
    if (!opened && waitSeconds > 0)
        std::fprintf(stderr, "tarvelo-cli: waiting up to %d s for the master unit\n", waitSeconds);
    for (int64_t left = end - platform::MonotonicMs(); !opened && !linkStopped && left > 0;
         left = end - platform::MonotonicMs()) {
        // The list after the failed open, so that a bridge that came back counts as new.
        std::vector<BRIDGE> listed;
        ListBridges(listed);
        WaitForBridge(listed, std::min(left, RetryMs));
        opened = !linkStopped && device.Open();
    }
    return opened;
}

} // namespace

int main(int argc, char* argv[]) {
    // Everything the user gave is checked before the master is touched.
    Request request;
    std::string why;
    if (!ParseArguments(std::vector<std::string>(argv + 1, argv + argc), request, why))
        return Refuse(esBadInput, why);
    if (request.command == cmHelp) {
        std::fputs(UsageText, stdout);
        return esDone;
    }
    if (request.command == cmVersion) {
        std::printf("tarvelo-cli %s\n", TARVELO_CLI_VERSION);
        return esDone;
    }
    if (request.command == cmDevices)
        return RunDevices(request);
    // The journal alone: no configuration, no lock, no master.
    if (request.command == cmHistory)
        return RunHistory(request);
    if (request.command == cmRestore) {
        std::vector<std::string> alone(PositionCount);
        if (!ReadBackup(request.file, request.changes, why) ||
            !ApplyChanges(alone, request.changes, why))
            return Refuse(esBadInput, why);
    }

    std::string warning;
    if (!LoadConfiguration(why, warning))
        return Refuse(esBadInput, why);
    if (!warning.empty())
        std::fprintf(stderr, "tarvelo-cli: %s\n", warning.c_str());

    CCliUi ui(platform::CurrentUi(), platform::StderrIsTerminal());
    platform::InstallUi(&ui);
    // One step, so that of two copies started at the same moment exactly one runs; held
    // until the process ends. A lock that cannot be taken at all is the user's to mend.
    switch (platform::TakeNamedMutex(SingleInstanceMutex, why)) {
    case platform::InstanceLock::Taken:
        break;
    case platform::InstanceLock::HeldElsewhere:
        return Refuse(esOtherRunning, AlreadyRunningText);
    default:
        return Refuse(esBadInput, why);
    }

    // The trace is shown on standard error with "output"="dos", as the window shows it on
    // its console; otherwise it goes nowhere, as in the window. Standard output carries only
    // the results.
    Item entry;
    const bool traceShown = Inits->Lookup("output", entry) >= 0 && entry.value == "dos";
    if (traceShown)
        std::setvbuf(stderr, nullptr, _IOLBF, BUFSIZ);
    std::FILE* const results = stdout;

    // From here on every way out closes the bridge: the module controller's end does.
    CatchStopSignals();
    int status = esDone;
    {
        CJournal journal;
        CBtDevice device(traceShown ? stderr : nullptr);
        device.journal = &journal;
        device.frontEnd = "tarvelo-cli";
        if (request.deviceGiven)
            device.bridgeSerial = request.device;
        if (!OpenWaiting(device, request.waitSeconds)) {
            std::string why = NotPreparedText;
            for (const std::string& note : {device.MissingBridgeNote(), device.OpenedBridgeNote()})
                why += note.empty() ? "" : "\n" + note;
            status = Refuse(esNotPrepared, why);
        } else {
            if (const std::string note = device.OpenedBridgeNote(); !note.empty())
                std::fprintf(stderr, "tarvelo-cli: %s\n", note.c_str());
            CliSession session{device, ui, results};
            status = RunCommand(session, request);
        }
        // The write went on all the same.
        if (const std::string warning = journal.Warning(); !warning.empty())
            std::fprintf(stderr, "tarvelo-cli: %s\n", warning.c_str());
    }
    platform::InstallUi(nullptr);
    if (StopSignal() != 0 && status != esDone) {
        std::fprintf(stderr, "tarvelo-cli: stopped by signal %d; the bridge is closed\n",
                     StopSignal());
        // As a shell reports a program ended by the signal.
        return 128 + StopSignal();
    }

    // Results that could not be written completely are no success.
    const bool written = std::fflush(results) == 0 && std::ferror(results) == 0;
    if (!written && status == esDone)
        return Refuse(esFailed, "the results could not be written to standard output");
    return status;
}
